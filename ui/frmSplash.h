#pragma once

#include "ProgramInfo.h"

#include <QWidget>

#include <functional>

class QLabel;
class QPlainTextEdit;
class QTimer;

namespace ui {

// The program's first window: version and freeware notice for about four
// seconds, then it opens the main window and closes. Key "Splash" = 1
// switches it off.
class frmSplash : public QWidget
{
    Q_OBJECT

public:
    // showMainWindow is called exactly once, when the main window is due.
    frmSplash(const appcore::ProgramInfo &info, std::function<void()> showMainWindow, QWidget *parent = nullptr);

    // Reads "Splash" and either opens the main window at once or starts the
    // timer and shows itself.
    void Form_Load();

    static const QString FreewareNotice;

public slots:
    void Timer1_Timer();

private:
    // Null until Form_Load shows the splash.
    QLabel *lblVersion = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Picture1 = nullptr;
    QPlainTextEdit *Text1 = nullptr;
    QTimer *Timer1 = nullptr;

    void buildControls();
    void openMainWindow();

    appcore::ProgramInfo m_info;
    std::function<void()> m_showMainWindow;
    int m_ticks = 0;
    bool m_mainOpened = false;
};

} // namespace ui
