// The template editor: colouring, the Enlarge toggle, change handling,
// filter-name completion and drops.
#include "frmTovrane.h"

#include "ColorLayer.h"
#include "Completion.h"
#include "Drops.h"
#include "ErrorTrap.h"
#include "TemplateEditor.h"

#include <QAction>
#include <QDropEvent>
#include <QListWidget>
#include <QPushButton>

using errorlog::ErrorTrap;

using ui::droppedTemplate;

void frmTovrane::ApplyColorScheme()
{
    ErrorTrap step(m_errorlog, objectName(), QStringLiteral("ApplyColorScheme"));
    bUpdating = true;
    // The colours lie beside the text: no edit, no undo step.
    step([&] { txtScript->colors()->colour(FilterNames, palette().color(QPalette::ButtonText)); });
    step([&] { txtScript->moveCursor(QTextCursor::Start); });
    bUpdating = false;
}

void frmTovrane::cmdColour_Click()
{
    ErrorTrap step(m_errorlog, objectName(), QStringLiteral("cmdColour_Click"));
    step([&] { ApplyColorScheme(); });
}

void frmTovrane::cmdEnlarge_Click()
{
    ErrorTrap step(m_errorlog, objectName(), QStringLiteral("cmdEnlarge_Click"));
    // Restored, the editor is 3255 twips high, not the 3615 it starts with.
    step([&] {
        if (bEnlarged)
            m_editorHeight = 3255;
        bEnlarged = !bEnlarged;
        placeEditor(); // the completion list follows the editor's top
    });
    step([&] {
        // The enlarged editor covers the groups; keep it (and its list) on top.
        txtScript->raise();
        lstIntelli->raise();
    });
}

void frmTovrane::txtScript_Change()
{
    ErrorTrap step(m_errorlog, objectName(), QStringLiteral("txtScript_Change"));
    step([&] {
        if (bUpdating)
            return;
        cmdColour->setEnabled(true);
        cmdSave->setEnabled(true);
        mFileSave->setEnabled(true);
    });
}

bool frmTovrane::txtScript_KeyDown(const QKeyEvent &key)
{
    bool swallow = false;
    ErrorTrap step(m_errorlog, objectName(), QStringLiteral("txtScript_KeyDown"));
    step([&] { swallow = m_completion->keyDown(key); });
    return swallow;
}

void frmTovrane::txtScript_KeyDone(const QKeyEvent &key)
{
    ErrorTrap step(m_errorlog, objectName(), QStringLiteral("txtScript_KeyDown"));
    step([&] { m_completion->keyDone(key); });
}

bool frmTovrane::editorDropEvent(QObject *watched, QEvent *event)
{
    if (watched != txtScript->viewport())
        return false;
    const auto type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return false;
    auto *drop = static_cast<QDropEvent *>(event);
    // Text moved within the editor is an edit like any other.
    const auto *source = qobject_cast<const QWidget *>(drop->source());
    if (source && (source == txtScript || txtScript->isAncestorOf(source)))
        return false;
    // One template is taken as Load takes it; nothing else is written into
    // the template: not the addresses of other files, nor links or text.
    const QString name = droppedTemplate(drop->mimeData());
    if (name.isEmpty()) {
        drop->ignore();
        return true;
    }
    drop->acceptProposedAction();
    if (type == QEvent::Drop) {
        ErrorTrap step(m_errorlog, objectName(), QStringLiteral("cmdLoad_Click"));
        loadTemplateFile(name, step);
    }
    return true;
}
