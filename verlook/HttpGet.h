#pragma once

#include "HttpResponse.h"

#include <QObject>
#include <QPointer>
#include <QUrl>

#include <memory>

class QTcpSocket;

namespace verlook {

// One GET of an http or https address, read off the connection here so that
// a document counts as loaded only when its transfer completed (see
// HttpResponseParser). The toolkit's HTTP client reports a body that the
// server's close cut off as a complete one, chunked or counted, depending on
// how the close and the last bytes arrive.
//
// As the toolkit's client would, it goes through the proxy the system names
// for the address, follows redirects (never from https to http), and never
// shows anything; it asks for the body without compression. It runs on the
// caller's thread, driven by the caller's events.
class HttpGet : public QObject
{
    Q_OBJECT

public:
    enum class State { Running, Loaded, Failed, TooLong };

    HttpGet(QUrl url, qint64 maxBody);
    ~HttpGet() override;

    // Sends the request; finished() comes when the state leaves Running, which
    // may be before start() returns.
    void start();
    // Gives up: the state becomes Failed, without finished().
    void abort();

    State state() const { return m_state; }
    // Of a loaded document: its HTTP status, Content-Type field and body.
    int status() const { return m_response ? m_response->status() : 0; }
    QByteArray contentType() const { return m_response ? m_response->header("Content-Type") : QByteArray(); }
    QByteArray body() const { return m_response ? m_response->body() : QByteArray(); }

    // Redirects followed before the one that would be too many.
    static constexpr int kMaxRedirects = 20;

signals:
    void finished();

private:
    void connectTo(const QUrl &url);
    void sendRequest();
    void readResponse();
    void connectionEnded();
    void finish(State state);
    void dropSocket();

    QUrl m_url;
    const qint64 m_maxBody;
    State m_state = State::Running;
    int m_redirects = 0;
    bool m_viaProxy = false; // the request goes to an HTTP proxy in absolute form
    QByteArray m_proxyAuthorization;
    QPointer<QTcpSocket> m_socket;
    std::unique_ptr<HttpResponseParser> m_response;
};

} // namespace verlook
