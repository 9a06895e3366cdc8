#pragma once

#include "ProgramInfo.h"

#include <QDialog>

#include <array>

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace platform {
class Dialogs;
}

namespace ui {

// Version, legal notice and the maker's web address, which opens in the
// browser when clicked.
class frmAbout : public QDialog
{
    Q_OBJECT

public:
    frmAbout(const appcore::ProgramInfo &info, platform::Dialogs &dialogs, QWidget *parent = nullptr);

    void Form_Load();

    static const QString FeedbackText;
    static const QString InformationText;

public slots:
    void cmdOK_Click();
    void txtURL_Click();

private:
    QLabel *lblCopyright = nullptr;
    std::array<QPlainTextEdit *, 2> Text1 {};
    QLabel *txtURL = nullptr;
    QPushButton *cmdOK = nullptr;

    appcore::ProgramInfo m_info;
    platform::Dialogs &m_dialogs;
};

} // namespace ui
