#include "fBrowser.h"

#include "HtmlText.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include <algorithm>

fBrowser::fBrowser() = default;
fBrowser::~fBrowser() = default;

bool fBrowser::Navigate(QString &sVersion)
{
    // Every failure is only ever the answer false.
    try {
        return fetch(sVersion);
    } catch (...) {
        return false;
    }
}

bool fBrowser::fetch(QString &sVersion)
{
    // The start as whole wall-clock seconds: the wait ends when the 15th
    // second boundary after it has passed.
    const qint64 startSeconds = QDateTime::currentSecsSinceEpoch();

    // Without an application there is no event loop to wait in.
    if (!QCoreApplication::instance())
        return false;

    const QUrl url(WebAddress + QLatin1Char('/') + FileName);
    if (!url.isValid() || url.isRelative())
        return false;

    if (!m_manager)
        m_manager = std::make_unique<QNetworkAccessManager>();

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    const std::unique_ptr<QNetworkReply> reply(m_manager->get(request));

    // The boundary rule gives a wait of 14 to 15 s; measuring the rest on the
    // monotonic clock keeps a clock change during the wait from stretching it.
    const qint64 untilBoundary = (startSeconds + kTimeoutSeconds) * 1000 - QDateTime::currentMSecsSinceEpoch();
    const QDeadlineTimer deadline(std::clamp<qint64>(untilBoundary, 0, kTimeoutSeconds * 1000), Qt::PreciseTimer);

    // A version file is a few bytes; a reply that goes on and on is refused
    // as soon as it is known to be too long, and never held beyond the limit:
    // the reply buffers at most that much before the body below takes it.
    reply->setReadBufferSize(kMaxBodyBytes);
    QByteArray body;
    bool tooLong = false;

    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    const auto take = [&] {
        body += reply->read(kMaxBodyBytes + 1 - body.size());
        if (body.size() > kMaxBodyBytes) {
            tooLong = true;
            loop.quit();
        }
    };
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, &loop, [&] {
        // Content-Length of the body as it arrives (a compressed body is
        // counted once it is unpacked).
        const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > kMaxBodyBytes) {
            tooLong = true;
            loop.quit();
        }
    });
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, take);
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);

    while (!tooLong && !reply->isFinished() && !deadline.hasExpired()) {
        timer.start(int(std::max<qint64>(deadline.remainingTime(), 1)));
        loop.exec();
        // Neither finished nor timed out: the application asked every event
        // loop to end (it is quitting), so stop waiting for the page.
        if (!tooLong && !reply->isFinished() && timer.isActive()) {
            timer.stop();
            break;
        }
    }
    if (!tooLong && reply->isFinished())
        take();

    if (tooLong || !reply->isFinished()) {
        reply->abort();
        return false;
    }

    // A reply with an HTTP status is a loaded document, error pages included;
    // anything else that failed (refused, no such host, ...) loaded nothing.
    const bool hasStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    if (reply->error() != QNetworkReply::NoError && !hasStatus)
        return false;

    const std::optional<QString> text
        = documentBodyText(body, reply->header(QNetworkRequest::ContentTypeHeader).toString());
    if (!text)
        return false;
    sVersion = *text;
    return true;
}
