// Script builds and template files.
#include "frmTovrane.h"

#include "ClipListModel.h"
#include "Dialogs.h"
#include "ErrorTrap.h"
#include "Program.h"
#include "RuntimeError.h"
#include "ScriptBuild.h"
#include "TemplateEditor.h"
#include "TemplateFile.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTextDocument>

#include <optional>

using platform::Dialogs;

using scriptgen::buildBatch;
using scriptgen::BuildMode;
using scriptgen::BuildOptions;
using scriptgen::buildPerClip;
using scriptgen::editorTextWithCrLf;
using scriptgen::OverwritePolicy;
using scriptgen::readTemplateText;
using scriptgen::saveTemplateText;
using scriptgen::ScriptFolder;
using scriptgen::TemplateText;

using errorlog::ErrorTrap;
using errorlog::Expected;
using errorlog::Failure;
using errorlog::RuntimeError;

using scan::ClipRow;
using scan::ScriptMark;

namespace {

const QString TemplateFilter = QStringLiteral("Tovrane Template (*.avt)|*.avt");

// The hourglass for the length of a build, lifted while a question waits for
// the user (the arrow, pushed the same way, for the question's length).
struct WaitCursor
{
    explicit WaitCursor(Qt::CursorShape shape = Qt::WaitCursor) { QApplication::setOverrideCursor(shape); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

} // namespace

QString frmTovrane::templateFolder() const
{
    return m_info.files.templateFolder;
}

QString frmTovrane::editorText() const
{
    // The raw text: the plain-text form would turn no-break spaces into
    // ordinary ones.
    return txtScript->document()->toRawText();
}

BuildOptions frmTovrane::buildOptions() const
{
    // Read at each use: the settings window may have changed them.
    BuildOptions options;
    options.templateText = editorTextWithCrLf(editorText());
    options.scriptExtension = m_values.scriptExtension();
    options.overwrite = m_values.askBeforeOverwrite() ? OverwritePolicy::Ask : OverwritePolicy::Always;
    options.scriptFolder = m_values.specificFolder() ? ScriptFolder::SpecificFolder : ScriptFolder::ClipFolder;
    options.avsFolder = m_values.avsFolder();
    options.stopRequested = endRequested;
    return options;
}

void frmTovrane::cmdBuild_Click()
{
    ErrorTrap step(m_errorlog, objectName(), QStringLiteral("cmdBuild_Click"));
    step([&] {
        if (BuildMode(m_values.mode()) == BuildMode::AllForOne)
            Mode_0();
        else if (BuildMode(m_values.mode()) == BuildMode::OneForAll)
            Mode_1();
    });
}

void frmTovrane::Mode_1()
{
    ErrorTrap step(m_errorlog, objectName(), QStringLiteral("Mode_1"));
    {
        WaitCursor busy;
        BuildOptions options;
        step([&] { options = buildOptions(); });
        const QList<ClipRow> rows = m_clips->rows();
        // A question that could not be put must not cost the user the file.
        auto ask = [&](const QString &path) {
            bool overwrite = false;
            step([&] {
                const WaitCursor arrow(Qt::ArrowCursor);
                overwrite
                    = m_dialogs.question(QString(),
                          QStringLiteral("The AVS script ") + path + QStringLiteral(" already exists. Overwrite?"),
                          Dialogs::Icon::Information)
                    == Dialogs::Yes;
            });
            return overwrite;
        };
        auto mark = [&](int row) { step([&] { m_clips->setAvs(row, ScriptMark::Exists); }); };
        step([&] { buildPerClip(rows, options, step, ask, mark); });
    }
    // A build the program was asked to end in did not get done.
    if (!endRequested())
        step([&] { m_dialogs.message(QString(), QStringLiteral("All done!")); });
}

void frmTovrane::Mode_0()
{
    ErrorTrap step(m_errorlog, objectName(), QStringLiteral("Mode_0"));
    {
        WaitCursor busy;
        BuildOptions options;
        step([&] { options = buildOptions(); });
        step([&] { buildBatch(m_clips->rows(), options, step); });
    }
    if (!endRequested())
        step([&] { m_dialogs.message(QString(), QStringLiteral("All done!")); });
}

void frmTovrane::LoadTemplate(const QString &sFile)
{
    // A failure to read is skipped quietly: the editor keeps the text it had.
    // A file refused outright (not a file, or far too large) is reported to
    // the caller's trap once the colouring has run.
    std::optional<Failure> refused;
    try {
        const Expected<std::optional<TemplateText>> loaded = readTemplateText(sFile, m_info.files.defaultTemplate);
        if (!loaded) {
            refused = loaded.error();
        } else if (*loaded) {
            bUpdating = true;
            txtScript->setPlainText((*loaded)->text);
            bUpdating = false;
            m_templateFormat = (*loaded)->format;
        }
    } catch (...) {
        bUpdating = false;
    }
    ApplyColorScheme();
    if (refused)
        throw RuntimeError(*refused);
}

void frmTovrane::SaveTemplate(const QString &sFile)
{
    ErrorTrap step(m_errorlog, objectName(), QStringLiteral("SaveTemplate"));
    saveTemplateText(sFile, editorText(), m_templateFormat, step);
}

void frmTovrane::cmdLoad_Click()
{
    ErrorTrap step(m_errorlog, objectName(), QStringLiteral("cmdLoad_Click"));
    QString name;
    step([&] {
        name = m_dialogs.openFileName(QStringLiteral("Load Template"), templateFolder(), TemplateFilter);
        QCoreApplication::processEvents();
    });
    loadTemplateFile(name, step);
}

void frmTovrane::loadTemplateFile(const QString &name, const ErrorTrap &step)
{
    WaitCursor busy;
    if (!name.isEmpty()) {
        // A file refused by the load is not stored: the next start would
        // only be refused it again.
        const bool loaded = step([&] { LoadTemplate(name); });
        step([&] {
            cmdSave->setEnabled(false);
            mFileSave->setEnabled(false);
        });
        if (loaded)
            step([&] { m_values.setTemplatePath(name); });
    }
    step([&] {
        cmdColour->setEnabled(false);
        cmdSave->setEnabled(false);
        mFileSave->setEnabled(false);
    });
    step([&] { UpdateStatusBar(m_clips->rowCount(), name); });
}

void frmTovrane::cmdSave_Click()
{
    ErrorTrap step(m_errorlog, objectName(), QStringLiteral("cmdSave_Click"));
    QString name;
    step([&] { name = m_dialogs.saveFileName(QStringLiteral("Save Template"), templateFolder(), TemplateFilter); });
    WaitCursor busy;
    if (!name.isEmpty()) {
        step([&] { SaveTemplate(name); });
        step([&] { ApplyColorScheme(); });
    }
    step([&] { UpdateStatusBar(m_clips->rowCount(), name); });
}
