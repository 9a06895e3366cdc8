#include "fBrowser.h"

#include "HtmlText.h"
#include "HttpGet.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace verlook {

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

    // The boundary rule gives a wait of 14 to 15 s; measuring the rest on the
    // monotonic clock keeps a clock change during the wait from stretching it.
    const qint64 untilBoundary = (startSeconds + kTimeoutSeconds) * 1000 - QDateTime::currentMSecsSinceEpoch();
    const QDeadlineTimer deadline(std::clamp<qint64>(untilBoundary, 0, kTimeoutSeconds * 1000), Qt::PreciseTimer);

    // A version file is a few bytes; a reply that goes on and on is refused
    // as soon as it is known to be too long, and never held beyond the limit.
    HttpGet get(url, kMaxBodyBytes);
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&get, &HttpGet::finished, &loop, &QEventLoop::quit);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    get.start();

    while (get.state() == HttpGet::State::Running && !deadline.hasExpired()) {
        timer.start(int(std::max<qint64>(deadline.remainingTime(), 1)));
        loop.exec();
        // Neither finished nor timed out: the application asked every event
        // loop to end (it is quitting), so stop waiting for the page.
        if (get.state() == HttpGet::State::Running && timer.isActive()) {
            timer.stop();
            break;
        }
    }
    // A reply with an HTTP status that came whole is a loaded document,
    // error pages included; anything else (refused, no such host, cut short,
    // too long, still going) loaded nothing.
    if (get.state() != HttpGet::State::Loaded) {
        get.abort();
        return false;
    }

    const std::optional<QString> text = documentBodyText(get.body(), QString::fromLatin1(get.contentType()));
    if (!text)
        return false;
    sVersion = *text;
    return true;
}

} // namespace verlook
