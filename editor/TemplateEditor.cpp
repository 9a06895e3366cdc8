#include "TemplateEditor.h"

#include "ColorLayer.h"

#include <QKeyEvent>
#include <QPlainTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

namespace {

// How much of a long line beyond what is shown gets its colours, each side:
// scrolling within it needs no new layout of the line.
constexpr int Margin = TemplateEditor::LongLine / 2;

// What a block shows of the layer's colours.
struct ShownColors : QTextBlockUserData
{
    quint64 generation = 0;
    int from = 0;
    int to = 0;
};

bool isLong(const QTextBlock &block)
{
    return block.length() > TemplateEditor::LongLine;
}

} // namespace

// Giving a block its colours marks it changed for the document's layout,
// which would lay it out at once, and then again when it is painted (and a
// change left pending would make the next edit look as if it had replaced the
// whole block). Colours are given just before a block is painted, so the
// layout may skip the notice: the painting lays the block out.
class TemplateEditor::Layout : public QPlainTextDocumentLayout
{
public:
    using QPlainTextDocumentLayout::QPlainTextDocumentLayout;
    bool colorsOnly = false;

protected:
    void documentChanged(int from, int removed, int added) override
    {
        if (!colorsOnly)
            QPlainTextDocumentLayout::documentChanged(from, removed, added);
    }
};

TemplateEditor::TemplateEditor(QWidget *parent)
    : QPlainTextEdit(parent)
{
    auto *document = new QTextDocument(this);
    m_layout = new Layout(document);
    document->setDocumentLayout(m_layout);
    setDocument(document);
    m_colors = new ColorLayer(document);
    connect(m_colors, &ColorLayer::repainted, viewport(), qOverload<>(&QWidget::update));
    connect(m_colors, &ColorLayer::restyled, this, &TemplateEditor::restyled);
}

void TemplateEditor::keyPressEvent(QKeyEvent *event)
{
    if (keyDown && keyDown(*event)) {
        event->accept();
        return;
    }
    QPlainTextEdit::keyPressEvent(event);
    if (keyDone)
        keyDone(*event);
}

void TemplateEditor::paintEvent(QPaintEvent *event)
{
    showColorsOfVisibleBlocks();
    QPlainTextEdit::paintEvent(event);
}

void TemplateEditor::showColorsOfVisibleBlocks()
{
    // The blocks the base class is about to paint, each given its colours
    // before it is laid out, so that it is laid out once.
    const qreal bottom = viewport()->height();
    qreal top = contentOffset().y();
    for (QTextBlock block = firstVisibleBlock(); block.isValid() && top <= bottom; block = block.next()) {
        if (!block.isVisible())
            continue;
        auto [from, to] = shownPart(block);
        showColors(block, from, to, false);
        if (isLong(block)) {
            // Until the line is laid out, only its start is known to be shown.
            blockBoundingRect(block);
            std::tie(from, to) = shownPart(block);
            showColors(block, from, to, false);
        }
        top += blockBoundingRect(block).height();
    }
}

std::pair<int, int> TemplateEditor::shownPart(const QTextBlock &block) const
{
    const QTextLayout *layout = block.layout();
    if (!isLong(block))
        return { 0, block.length() };
    if (layout->lineCount() == 0)
        return { 0, 0 };
    const qreal left = horizontalScrollBar()->value();
    const qreal right = left + viewport()->width();
    int from = block.length();
    int to = 0;
    for (int i = 0; i < layout->lineCount(); ++i) {
        const QTextLine line = layout->lineAt(i);
        from = std::min(from, line.xToCursor(left));
        to = std::max(to, line.xToCursor(right) + 1);
    }
    return { from, std::max(from, to) };
}

void TemplateEditor::showColors(QTextBlock block, int from, int to, bool inEdit)
{
    auto *shown = static_cast<ShownColors *>(block.userData());
    if (!inEdit && shown && shown->generation == m_colors->generation() && shown->from <= from && to <= shown->to)
        return;
    if (isLong(block)) {
        from = std::max(0, from - Margin);
        to = std::min(block.length(), to + Margin);
    }
    const QList<QTextLayout::FormatRange> ranges = m_colors->formatRanges(block, from, to);
    // A block that never showed colours and has none to show keeps no layout
    // of its own until it is painted.
    if (!shown && ranges.isEmpty())
        return;
    if (!shown) {
        shown = new ShownColors;
        block.setUserData(shown);
    }
    block.layout()->setFormats(ranges);
    shown->generation = m_colors->generation();
    shown->from = from;
    shown->to = to;
    // During an edit the document lays the block out once it has reported
    // the edit; otherwise the painting does.
    if (!inEdit) {
        m_layout->colorsOnly = true;
        document()->markContentsDirty(block.position(), block.length());
        m_layout->colorsOnly = false;
    }
}

void TemplateEditor::restyled(int from, int length)
{
    // The blocks the edit touched get their colours before they are laid
    // out again. A long line keeps its glyphs between layouts: without them
    // every caret move or paint would shape it anew.
    QTextBlock block = document()->findBlock(from);
    const QTextBlock last = document()->findBlock(from + length);
    for (; block.isValid(); block = block.next()) {
        if (isLong(block))
            block.layout()->setCacheEnabled(true);
        const int at = std::clamp(from - block.position(), 0, block.length());
        showColors(block, at, at, true);
        if (block == last)
            break;
    }
}
