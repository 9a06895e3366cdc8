#include "HttpGet.h"

#include <QNetworkProxyFactory>
#include <QNetworkProxyQuery>
#include <QTcpSocket>
#if QT_CONFIG(ssl)
#include <QSslSocket>

namespace verlook {
#endif

namespace {

bool isRedirect(int status)
{
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

} // namespace

HttpGet::HttpGet(QUrl url, qint64 maxBody)
    : m_url(std::move(url))
    , m_maxBody(maxBody)
{ }

HttpGet::~HttpGet()
{
    dropSocket();
}

void HttpGet::start()
{
    connectTo(m_url);
}

void HttpGet::abort()
{
    if (m_state == State::Running)
        m_state = State::Failed;
    dropSocket();
}

void HttpGet::dropSocket()
{
    if (QTcpSocket *socket = m_socket) {
        m_socket = nullptr;
        socket->disconnect(this);
        socket->abort();
        // It may be in the middle of emitting the signal that brought us here.
        socket->deleteLater();
    }
}

void HttpGet::finish(State state)
{
    if (m_state != State::Running)
        return;
    m_state = state;
    dropSocket();
    emit finished();
}

void HttpGet::connectTo(const QUrl &url)
{
    m_url = url;
    const QString scheme = url.scheme().toLower();
    const bool tls = scheme == QLatin1String("https");
    if ((scheme != QLatin1String("http") && !tls) || url.host().isEmpty())
        return finish(State::Failed);
#if QT_CONFIG(ssl)
    if (tls && !QSslSocket::supportsSsl())
        return finish(State::Failed);
    QTcpSocket *socket = tls ? new QSslSocket(this) : new QTcpSocket(this);
#else
    if (tls)
        return finish(State::Failed);
    QTcpSocket *socket = new QTcpSocket(this);
#endif
    m_socket = socket;
    m_response = std::make_unique<HttpResponseParser>(m_maxBody);

    // The proxy the system names for this address, used the way the
    // toolkit's client uses it: an HTTP proxy gets plain requests in full
    // and carries encrypted ones through a tunnel.
    QString host = url.host();
    quint16 port = quint16(url.port(tls ? 443 : 80));
    const QList<QNetworkProxy> proxies = QNetworkProxyFactory::proxyForQuery(QNetworkProxyQuery(url));
    QNetworkProxy proxy = proxies.isEmpty() ? QNetworkProxy(QNetworkProxy::NoProxy) : proxies.first();
    m_viaProxy = false;
    m_proxyAuthorization.clear();
    switch (proxy.type()) {
    case QNetworkProxy::HttpProxy:
    case QNetworkProxy::HttpCachingProxy:
        if (!tls) {
            m_viaProxy = true;
            host = proxy.hostName();
            port = proxy.port();
            if (!proxy.user().isEmpty())
                m_proxyAuthorization = "Basic " + (proxy.user() + u':' + proxy.password()).toUtf8().toBase64();
            socket->setProxy(QNetworkProxy::NoProxy);
        } else {
            proxy.setType(QNetworkProxy::HttpProxy);
            socket->setProxy(proxy);
        }
        break;
    case QNetworkProxy::Socks5Proxy: socket->setProxy(proxy); break;
    default: socket->setProxy(QNetworkProxy::NoProxy); break;
    }

    // The body is taken as it comes; what the connection holds meanwhile
    // stays bounded, so an endless reply cannot fill the memory.
    socket->setReadBufferSize(64 * 1024);
    connect(socket, &QIODevice::readyRead, this, &HttpGet::readResponse);
    connect(socket, &QAbstractSocket::disconnected, this, &HttpGet::connectionEnded);
    connect(socket, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::RemoteHostClosedError)
            connectionEnded();
        else
            finish(State::Failed);
    });
#if QT_CONFIG(ssl)
    if (tls) {
        // Certificate errors are not ignored: the handshake fails, silently.
        auto *secure = static_cast<QSslSocket *>(socket);
        connect(secure, &QSslSocket::encrypted, this, &HttpGet::sendRequest);
        secure->connectToHostEncrypted(host, port);
        return;
    }
#endif
    connect(socket, &QAbstractSocket::connected, this, &HttpGet::sendRequest);
    socket->connectToHost(host, port);
}

void HttpGet::sendRequest()
{
    if (!m_socket)
        return;
    QUrl url = m_url;
    if (url.path().isEmpty())
        url.setPath(QStringLiteral("/"));
    url.setFragment(QString());
    // To a proxy the whole address, to the server its path and query.
    const QByteArray target
        = m_viaProxy ? url.toEncoded(QUrl::RemoveUserInfo) : url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority);
    QByteArray request = "GET " + target
        + " HTTP/1.1\r\nHost: " + url.authority(QUrl::FullyEncoded | QUrl::RemoveUserInfo).toLatin1()
        + "\r\nUser-Agent: Mozilla/5.0\r\nAccept: */*\r\nAccept-Encoding: identity\r\nConnection: close\r\n";
    if (!m_proxyAuthorization.isEmpty())
        request += "Proxy-Authorization: " + m_proxyAuthorization + "\r\n";
    request += "\r\n";
    if (m_socket->write(request) != request.size())
        finish(State::Failed);
}

void HttpGet::readResponse()
{
    if (!m_socket)
        return;
    m_response->feed(m_socket->readAll());

    const HttpResponseParser::State parsed = m_response->state();
    if (parsed == HttpResponseParser::State::Broken)
        return finish(State::Failed);
    if (parsed == HttpResponseParser::State::TooLong)
        return finish(State::TooLong);
    if (parsed == HttpResponseParser::State::Head)
        return;

    // A redirect is followed as soon as its head is in; its body is nothing.
    const QByteArray location = m_response->header("Location");
    if (isRedirect(m_response->status()) && !location.isEmpty()) {
        const QUrl next = m_url.resolved(QUrl::fromEncoded(location));
        const bool downgrade = m_url.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) == 0
            && next.scheme().compare(QLatin1String("https"), Qt::CaseInsensitive) != 0;
        if (downgrade || ++m_redirects > kMaxRedirects)
            return finish(State::Failed);
        dropSocket();
        return connectTo(next);
    }
    if (parsed == HttpResponseParser::State::Complete)
        finish(State::Loaded);
}

void HttpGet::connectionEnded()
{
    if (!m_socket)
        return;
    // What came with the close first.
    readResponse();
    if (!m_socket)
        return;
    m_response->endOfStream();
    readResponse();
    // Nothing more can come.
    finish(State::Failed);
}

} // namespace verlook
