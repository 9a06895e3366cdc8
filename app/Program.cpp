#include "Program.h"

#include "ProgramInfo.h"
#include "frmSplash.h"
#include "frmTovrane.h"

#include <QApplication>
#include <QDialog>
#include <QSocketNotifier>
#include <QTimer>

#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <unistd.h>

using appcore::ProgramInfo;

using ui::frmSplash;

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

// From the end signals to the end of the program, while the event loop runs.
class EndOnSignals : public QObject
{
public:
    explicit EndOnSignals(frmTovrane &main)
        : m_main(main)
    {
        endSignalled = 0;
        int fds[2];
        // Without the pipe the signals keep ending the program at once.
        if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        m_read = fds[0];
        m_write = fds[1];
        wakeFd.store(m_write);
        m_notifier = new QSocketNotifier(m_read, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &EndOnSignals::begin);
        m_step.setInterval(20);
        connect(&m_step, &QTimer::timeout, this, &EndOnSignals::closeNext);

        struct sigaction action = {};
        action.sa_handler = onEndSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (std::size_t i = 0; i < EndSignals.size(); ++i)
            m_installed[i] = ::sigaction(EndSignals[i], &action, &m_previous[i]) == 0;
    }
    ~EndOnSignals() override
    {
        for (std::size_t i = 0; i < EndSignals.size(); ++i) {
            if (m_installed[i])
                ::sigaction(EndSignals[i], &m_previous[i], nullptr);
        }
        wakeFd.store(-1);
        if (m_read >= 0) {
            delete m_notifier;
            ::close(m_read);
            ::close(m_write);
        }
    }
    Q_DISABLE_COPY_MOVE(EndOnSignals)

private:
    void begin()
    {
        char buffer[64];
        while (::read(m_read, buffer, sizeof buffer) > 0) { }
        if (!m_step.isActive())
            closeNext();
    }

    // One window at a time, the innermost first: each must return to the
    // code that opened it before the one beneath goes, and the main window
    // (which takes the settings window with it) goes last.
    void closeNext()
    {
        QWidget *waiting = QApplication::activePopupWidget();
        if (!waiting)
            waiting = QApplication::activeModalWidget();
        if (waiting) {
            if (auto *dialog = qobject_cast<QDialog *>(waiting))
                dialog->reject();
            else
                waiting->close();
            m_step.start();
            return;
        }
        m_step.stop();
        m_main.cmdExit_Click();
        // Also before the main window is shown (the splash still waiting).
        QCoreApplication::quit();
    }

    frmTovrane &m_main;
    int m_read = -1;
    int m_write = -1;
    QSocketNotifier *m_notifier = nullptr;
    QTimer m_step;
    std::array<struct sigaction, EndSignals.size()> m_previous {};
    std::array<bool, EndSignals.size()> m_installed {};
};

} // namespace

bool endRequested()
{
    return endSignalled != 0;
}

int runProgram(frmTovrane &main, const ProgramInfo &info)
{
    EndOnSignals ending(main);
    frmSplash splash(info, [&main] { main.Form_Load(); });
    // A quit asked for before the loop runs would be lost, and with it the
    // end of the program: the whole start-up runs inside the loop.
    QTimer::singleShot(0, &splash, [&splash] { splash.Form_Load(); });
    return QApplication::exec();
}
