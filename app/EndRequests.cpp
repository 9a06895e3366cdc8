#include "EndRequests.h"

#include <QSocketNotifier>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t endSignalled = 0;
// The end of a pipe that wakes the event loop; -1 when nobody listens.
std::atomic<int> wakeFd { -1 };
static_assert(std::atomic<int>::is_always_lock_free, "the signal handler needs a lock-free descriptor");

constexpr std::array<int, 3> EndSignals { SIGTERM, SIGINT, SIGHUP };

// Only notes the request and wakes the event loop: whatever runs now is left
// to finish its file.
extern "C" void onEndSignal(int)
{
    const int savedErrno = errno;
    endSignalled = 1;
    const int fd = wakeFd.load(std::memory_order_relaxed);
    if (fd >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

struct EndRequests::Watch
{
    int read = -1;
    int write = -1;
    QSocketNotifier *notifier = nullptr;
    std::array<struct sigaction, EndSignals.size()> previous {};
    std::array<bool, EndSignals.size()> installed {};
};

EndRequests::EndRequests(std::function<void()> onRequest)
    : m_onRequest(std::move(onRequest))
{
    endSignalled = 0;
    int fds[2];
    // Without the pipe the signals keep ending the program at once.
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    m_watch = new Watch;
    m_watch->read = fds[0];
    m_watch->write = fds[1];
    wakeFd.store(m_watch->write);
    m_watch->notifier = new QSocketNotifier(m_watch->read, QSocketNotifier::Read, this);
    connect(m_watch->notifier, &QSocketNotifier::activated, this, [this] {
        char buffer[64];
        while (::read(m_watch->read, buffer, sizeof buffer) > 0) { }
        m_onRequest();
    });

    struct sigaction action = {};
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < EndSignals.size(); ++i)
        m_watch->installed[i] = ::sigaction(EndSignals[i], &action, &m_watch->previous[i]) == 0;
}

EndRequests::~EndRequests()
{
    if (!m_watch)
        return;
    for (std::size_t i = 0; i < EndSignals.size(); ++i) {
        if (m_watch->installed[i])
            ::sigaction(EndSignals[i], &m_watch->previous[i], nullptr);
    }
    wakeFd.store(-1);
    delete m_watch->notifier;
    ::close(m_watch->read);
    ::close(m_watch->write);
    delete m_watch;
}

bool EndRequests::ended()
{
    return endSignalled != 0;
}
