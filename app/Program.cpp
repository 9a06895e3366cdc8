#include "Program.h"

#include "EndRequests.h"
#include "ProgramInfo.h"
#include "frmSplash.h"
#include "frmTovrane.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>

using appcore::ProgramInfo;

using ui::frmSplash;

namespace {

// From the system's requests to end to the end of the program, while the
// event loop runs.
class EndOnSignals : public QObject
{
public:
    explicit EndOnSignals(frmTovrane &main)
        : m_main(main)
        , m_requests([this] { begin(); })
    {
        m_step.setInterval(20);
        connect(&m_step, &QTimer::timeout, this, &EndOnSignals::closeNext);
    }

private:
    void begin()
    {
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
    EndRequests m_requests;
    QTimer m_step;
};

} // namespace

bool endRequested()
{
    return EndRequests::ended();
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
