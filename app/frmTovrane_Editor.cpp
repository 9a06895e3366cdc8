// The template editor: colouring, the Enlarge toggle, change handling and
// filter-name completion.
#include "frmTovrane.h"

#include "ColorPainter.h"
#include "ColorSpans.h"
#include "Completion.h"
#include "ErrorTrap.h"

#include <QAction>
#include <QListWidget>
#include <QPushButton>
#include <QTextEdit>

void frmTovrane::ApplyColorScheme()
{
    ErrorTrap step(m_errorlog, objectName(), QStringLiteral("ApplyColorScheme"));
    bUpdating = true;
    QList<ColorSpan> spans;
    step([&] { spans = findColorSpans(txtScript->toPlainText(), FilterNames); });
    step([&] { paintColorSpans(txtScript, spans, palette().color(QPalette::ButtonText)); });
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

bool frmTovrane::txtScript_KeyDown(int keyCode, int shift)
{
    bool swallow = false;
    ErrorTrap step(m_errorlog, objectName(), QStringLiteral("txtScript_KeyDown"));
    step([&] { swallow = m_completion->keyDown(keyCode, shift); });
    return swallow;
}
