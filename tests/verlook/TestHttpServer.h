#pragma once

// A small HTTP server on 127.0.0.1 for the update-check tests: it answers
// every request with one canned response, or accepts and never answers, and
// records the request lines it saw. It runs on the test's thread, so it is
// served only while the code under test lets events run.

#include <QFile>
#include <QHostAddress>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>

#include <memory>

class TestHttpServer
{
public:
    TestHttpServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] { acceptAll(); });
    }

    bool isListening() const { return m_server.isListening(); }

    void answer(int status, const QByteArray &contentType, const QByteArray &body)
    {
        m_silent = false;
        m_status = status;
        m_contentType = contentType;
        m_body = body;
    }
    // Accept connections and read requests, but never answer.
    void silent() { m_silent = true; }

    // "http://127.0.0.1:<port>" followed by path.
    QString url(const QString &path = QString()) const
    {
        return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort()) + path;
    }

    // "GET /path HTTP/1.1" of every request so far.
    QList<QByteArray> requestLines;

    // A port on 127.0.0.1 where nothing listens: connections are refused.
    static quint16 refusedPort()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const quint16 port = probe.serverPort();
        probe.close();
        return port;
    }

private:
    void acceptAll()
    {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            auto buffer = std::make_shared<QByteArray>();
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, buffer] {
                buffer->append(socket->readAll());
                if (!buffer->contains("\r\n\r\n") || socket->property("seen").toBool())
                    return;
                socket->setProperty("seen", true);
                requestLines.append(buffer->left(buffer->indexOf("\r\n")));
                if (!m_silent)
                    respond(socket);
            });
        }
    }

    void respond(QTcpSocket *socket)
    {
        const QByteArray reason = m_status == 200 ? "OK" : m_status == 404 ? "Not Found" : "Status";
        QByteArray response = "HTTP/1.1 " + QByteArray::number(m_status) + ' ' + reason + "\r\n";
        if (!m_contentType.isEmpty())
            response += "Content-Type: " + m_contentType + "\r\n";
        response += "Content-Length: " + QByteArray::number(m_body.size()) + "\r\nConnection: close\r\n\r\n";
        response += m_body;
        socket->write(response);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    bool m_silent = false;
    int m_status = 200;
    QByteArray m_contentType = "text/plain";
    QByteArray m_body;
};

// Every update-check test keeps its component registry in its own folder and
// talks to 127.0.0.1 directly, whatever proxy the machine is set up with.
inline void isolateRegistryAndNetwork(const QString &configFolder)
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configFolder));
    for (const char *name : {"http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY"})
        qunsetenv(name);
}
