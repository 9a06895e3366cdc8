#include "EndRequests.h"

#include <QMetaObject>

#include <atomic>

#include <windows.h>

namespace {

std::atomic<bool> endAsked { false };
// Who hears the request; null when nobody listens.
std::atomic<EndRequests *> listener { nullptr };
// Set when the listener is gone, which is when the program has ended.
HANDLE endedEvent = nullptr;

} // namespace

struct EndRequests::Watch
{
    // Runs on a thread of its own that the system starts. Only notes the
    // request and queues the call on the event loop: whatever runs now is
    // left to finish its file.
    static BOOL WINAPI onConsoleEvent(DWORD event)
    {
        endAsked = true;
        if (EndRequests *requests = listener.load())
            QMetaObject::invokeMethod(
                requests, [requests] { requests->m_onRequest(); }, Qt::QueuedConnection);
        // The system ends the process as soon as the handler returns from
        // these: give the program the seconds the system allows to finish.
        if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT) {
            if (endedEvent)
                WaitForSingleObject(endedEvent, 4500);
        }
        return TRUE;
    }
};

EndRequests::EndRequests(std::function<void()> onRequest)
    : m_onRequest(std::move(onRequest))
{
    endAsked = false;
    endedEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    listener.store(this);
    SetConsoleCtrlHandler(Watch::onConsoleEvent, TRUE);
}

EndRequests::~EndRequests()
{
    listener.store(nullptr);
    SetConsoleCtrlHandler(Watch::onConsoleEvent, FALSE);
    if (endedEvent)
        SetEvent(endedEvent);
}

bool EndRequests::ended()
{
    return endAsked;
}
