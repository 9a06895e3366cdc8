#pragma once

#include <QObject>

#include <functional>

// The system's requests to end the program, turned into a call on the event
// loop: SIGTERM, SIGINT and SIGHUP on Linux; on Windows the console's Ctrl+C,
// Ctrl+Break and close, and the end of the session. The request is noted at
// once (ended()), so that work running without letting events through can
// stop between files; onRequest runs later, from the event loop.
class EndRequests : public QObject
{
public:
    explicit EndRequests(std::function<void()> onRequest);
    ~EndRequests() override;
    Q_DISABLE_COPY_MOVE(EndRequests)

    // True once the system has asked the program to end.
    static bool ended();

private:
    std::function<void()> m_onRequest;
    struct Watch;
    Watch *m_watch = nullptr;
};
