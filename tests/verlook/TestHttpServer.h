#pragma once

// A small HTTP server on 127.0.0.1 for the update-check tests: it answers
// every request with one canned response (or canned bytes, broken ones
// included), or accepts and never answers, or
// streams digits without end, and records the request lines it saw. It runs
// on the test's thread, so it is served only while the code under test lets
// events run.

#include <QFile>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>

class TestHttpServer
{
public:
    TestHttpServer()
    {
        answer(200, "text/plain", QByteArray());
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket *socket = m_server.nextPendingConnection())
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { read(socket); });
        });
    }

    bool isListening() const { return m_server.isListening(); }

    // Without withLength the body ends where the server closes the connection.
    void answer(int status, const QByteArray &contentType, const QByteArray &body, bool withLength = true)
    {
        m_mode = Answer;
        m_others.clear();
        m_response = "HTTP/1.1 " + QByteArray::number(status) + " Status\r\n";
        if (!contentType.isEmpty())
            m_response += "Content-Type: " + contentType + "\r\n";
        if (withLength)
            m_response += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
        m_response += "Connection: close\r\n\r\n" + body;
    }
    // Send exactly these bytes, head and body, then close: replies that
    // break off or lie about their length. A request for one of the paths
    // in `others` gets the bytes given there instead (a redirect's target).
    void answerRaw(const QByteArray &response, const QHash<QByteArray, QByteArray> &others = {})
    {
        m_mode = Answer;
        m_response = response;
        m_others = others;
    }
    // Accept connections and read requests, but never answer.
    void silent() { m_mode = Silent; }
    // Answer with digits that never end, claiming announcedLength as the
    // Content-Length unless it is empty. They go out in chunks, each once the
    // one before has left, so a client that stops reading stops the server
    // too. At kStreamCap the server holds the connection open without sending
    // more, so that a client that swallows everything fails a test instead of
    // filling the machine's memory.
    void stream(const QByteArray &announcedLength = QByteArray())
    {
        m_mode = Stream;
        m_others.clear();
        streamed = 0;
        m_response = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n";
        if (!announcedLength.isEmpty())
            m_response += "Content-Length: " + announcedLength + "\r\n";
        m_response += "Connection: close\r\n\r\n";
    }
    static constexpr qint64 kStreamCap = 64 * 1024 * 1024;
    // Body bytes stream() has handed to the connection so far.
    qint64 streamed = 0;

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
        return probe.serverPort();
    }

private:
    void read(QTcpSocket *socket)
    {
        // The request may come in pieces; it is answered once its header is complete.
        const QByteArray request = socket->property("request").toByteArray() + socket->readAll();
        socket->setProperty("request", request);
        if (!request.contains("\r\n\r\n") || socket->property("seen").toBool())
            return;
        socket->setProperty("seen", true);
        const QByteArray requestLine = request.left(request.indexOf("\r\n"));
        requestLines.append(requestLine);
        if (m_mode == Silent)
            return;
        socket->write(m_others.value(requestLine.split(' ').value(1), m_response));
        if (m_mode == Answer) {
            socket->disconnectFromHost();
        } else {
            QObject::connect(socket, &QTcpSocket::bytesWritten, socket, [this, socket] { pump(socket); });
            pump(socket);
        }
    }

    void pump(QTcpSocket *socket)
    {
        static const QByteArray chunk = QByteArray("0123456789").repeated(6554);
        if (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < chunk.size()
            && streamed < kStreamCap) {
            socket->write(chunk);
            streamed += chunk.size();
        }
    }

    QTcpServer m_server;
    enum { Answer, Silent, Stream } m_mode = Answer;
    QByteArray m_response;
    QHash<QByteArray, QByteArray> m_others;
};

// Every update-check test keeps its component registry in its own folder and
// talks to 127.0.0.1 directly, whatever proxy the machine is set up with.
inline void isolateRegistryAndNetwork(const QString &configFolder)
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configFolder));
    for (const char *name : { "http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY" })
        qunsetenv(name);
}
