// The template editor: colouring, the Enlarge toggle, change handling and
// filter-name completion.
#include "frmTovrane.h"

#include "ColorPainter.h"
#include "ColorSpans.h"
#include "Completion.h"
#include "ErrorTrap.h"
#include "Twips.h"

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
    const int top = bEnlarged ? 4920 : 1100;
    const int height = bEnlarged ? 3255 : 7200;
    step([&] { txtScript->move(txtScript->x(), twipsToPixels(top)); });
    step([&] { lstIntelli->move(lstIntelli->x(), txtScript->y()); });
    step([&] { txtScript->resize(txtScript->width(), twipsToPixels(height)); });
    step([&] {
        // The enlarged editor covers the groups; keep it (and its list) on top.
        txtScript->raise();
        lstIntelli->raise();
    });
    bEnlarged = !bEnlarged;
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
