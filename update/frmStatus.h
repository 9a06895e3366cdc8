#pragma once

#include "ProgramInfo.h"

#include <QDialog>
#include <QString>

namespace platform {
class Dialogs;
}
class QLabel;

namespace update {

// The update prompt at start: a small status window that is loaded to own
// the check and never shown. Start asks the update-check component whether
// the maker's site publishes a newer version and offers to open the
// program's page when it does.
class frmStatus : public QDialog
{
    Q_OBJECT

public:
    // baseAddress is the folder on the site that holds "version.txt",
    // pageAddress the page opened on Yes.
    frmStatus(const appcore::ProgramInfo &info, platform::Dialogs &dialogs, QString baseAddress, QString pageAddress,
        QWidget *parent = nullptr);

    // Runs the check once and unloads the window (finished() is emitted)
    // whatever happens. Failures pass to the caller as RuntimeError: a
    // component that cannot be created or lacks the interface gives the
    // component layer's failing result as a negative number (-2147221164,
    // "Class not registered: {...}", when it is not registered or there is no
    // registry that can be read; -2147467262, "No such interface supported",
    // when it answers without the interface); a fetched
    // text that is not a whole number gives 13, one beyond 32 bits 6.
    void Start();

    static const QString kFileName; // "version.txt"
    static const QString kQuestion;

private:
    QLabel *lblStatus;

    appcore::ProgramInfo m_info;
    platform::Dialogs &m_dialogs;
    QString m_baseAddress;
    QString m_pageAddress;
};

} // namespace update
