#include "frmStatus.h"

#include "ComPtr.h"
#include "ComponentServer.h"
#include "Dialogs.h"
#include "RuntimeError.h"
#include "Twips.h"
#include "UpdateCheckInterface.h"

#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QScreen>

using component::_CUpdateCheck;
using component::BStr;
using component::CLSID_CUpdateCheck;
using component::CoCreateInstance;
using component::ComPtr;
using component::FAILED;
using component::HRESULT;
using component::hresultDescription;
using component::IID__CUpdateCheck;
using component::IID_IUnknown;
using component::IUnknown;
using component::queryInterface;
using component::runtimeErrorFromHresult;
using component::VARIANT_BOOL;
using component::VARIANT_FALSE;

using platform::Dialogs;

using errorlog::RuntimeError;

using appcore::ProgramInfo;

using ui::twipsToPixels;

namespace update {

const QString frmStatus::kFileName = QStringLiteral("version.txt");
const QString frmStatus::kQuestion = QStringLiteral(
    "There is a newer version of the Tovrane available!\r\nWould you like to visit the website to get the update?");

namespace {

// A failing result of the component layer, as the caller logs it.
[[noreturn]] void fail(HRESULT hr, const QString &description)
{
    if (const int number = runtimeErrorFromHresult(hr))
        throw RuntimeError(number);
    throw RuntimeError(hr, description.isEmpty() ? hresultDescription(hr) : description);
}

// Unloads the window on every way out of Start.
class UnloadOnExit
{
public:
    explicit UnloadOnExit(QDialog *window)
        : m_window(window)
    { }
    ~UnloadOnExit() { m_window->done(QDialog::Rejected); }
    UnloadOnExit(const UnloadOnExit &) = delete;
    UnloadOnExit &operator=(const UnloadOnExit &) = delete;

private:
    QDialog *m_window;
};

} // namespace

frmStatus::frmStatus(
    const ProgramInfo &info, Dialogs &dialogs, QString baseAddress, QString pageAddress, QWidget *parent)
    : QDialog(parent,
        Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
            | Qt::MSWindowsFixedSizeDialogHint)
    , lblStatus(new QLabel(QStringLiteral("Checking for updates..."), this))
    , m_info(info)
    , m_dialogs(dialogs)
    , m_baseAddress(std::move(baseAddress))
    , m_pageAddress(std::move(pageAddress))
{
    setObjectName(QStringLiteral("frmStatus"));
    setWindowTitle(QString());
    setFixedSize(twipsToPixels(4680), twipsToPixels(945));

    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(8.25);
    font.setBold(true);
    lblStatus->setFont(font);
    lblStatus->setGeometry(twipsToPixels(240), twipsToPixels(360), twipsToPixels(4095), twipsToPixels(255));

    if (const QScreen *s = screen())
        move(s->availableGeometry().center() - rect().center());
}

void frmStatus::Start()
{
    const UnloadOnExit unload(this);

    const QString version = m_info.versionNumbers();

    // Bound by class and interface identifier, called through the table;
    // both references go when Start returns, on failure too.
    ComPtr<IUnknown> object;
    QString description;
    HRESULT hr = CoCreateInstance(CLSID_CUpdateCheck, IID_IUnknown, object.put(), &description);
    if (FAILED(hr))
        fail(hr, description);
    ComPtr<_CUpdateCheck> updateCheck;
    hr = queryInterface(
        object.get(), IID__CUpdateCheck, updateCheck.put(), QStringLiteral("_CUpdateCheck"), &description);
    if (FAILED(hr))
        fail(hr, description);

    VARIANT_BOOL newer = VARIANT_FALSE;
    {
        const BStr webAddress(m_baseAddress);
        const BStr fileName(kFileName);
        const BStr currentVersion(version);
        hr = updateCheck->CheckForUpdate(webAddress.get(), fileName.get(), currentVersion.get(), &newer);
    }
    if (FAILED(hr))
        fail(hr, QString());

    if (newer == VARIANT_FALSE)
        return;
    // The pointer the user sees is the start-up's hourglass: the arrow
    // stands over the question, the hourglass again while the browser starts.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    if (m_dialogs.question(QString(), kQuestion, Dialogs::Icon::Information) == Dialogs::Yes) {
        QApplication::changeOverrideCursor(Qt::WaitCursor);
        m_dialogs.openUrl(m_pageAddress);
    }
    QApplication::restoreOverrideCursor();
}

} // namespace update
