#include "TemplateEditor.h"

#include "ColorLayer.h"

#include <QKeyEvent>
#include <QPlainTextDocumentLayout>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>

namespace editor {

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

// The document's layout, with three savings for the editor:
//  - Giving a block its colours marks it changed, and the plain-text layout
//    would lay it out at once, and then again when it is painted (a change
//    left pending would make the next edit look as if it had replaced the
//    whole block). Colours are given just before a block is painted, so the
//    layout skips that notice: the painting lays the block out.
//  - An edit within one long line (one that keeps it one line high) is laid
//    out when the line is next painted or asked for, not at once: laying out
//    a line of megabytes takes a good part of a second, and the plain-text
//    layout would do it twice per edit (before and after), and once more when
//    the line gets its colours.
class TemplateEditor::Layout : public QPlainTextDocumentLayout
{
public:
    Layout(QTextDocument *document, const QWidget *view)
        : QPlainTextDocumentLayout(document)
        , m_view(view)
    { }
    bool colorsOnly = false;

    // While the editor is hidden (a template loaded and coloured at start,
    // before the window shows), a long line is not laid out to place the
    // caret: showing the editor lays it out anew in any case.
    QRectF blockBoundingRect(const QTextBlock &block) const override
    {
        if (block.isValid() && block.layout()->lineCount() == 0 && isLong(block) && !m_view->isVisible())
            return QRectF(0, 0, 0, m_view->fontMetrics().lineSpacing());
        return QPlainTextDocumentLayout::blockBoundingRect(block);
    }

protected:
    void documentChanged(int from, int removed, int added) override
    {
        if (colorsOnly)
            return;
        const int blocks = document()->blockCount();
        QTextBlock first = document()->findBlock(from);
        if (blocks == m_blocks && isLong(first) && first.lineCount() <= 1
            && document()->findBlock(std::max(from, from + added - 1)) == first && !addsLines(first, from, added)) {
            first.clearLayout();
            emit update();
            return;
        }
        m_blocks = blocks;
        QPlainTextDocumentLayout::documentChanged(from, removed, added);
    }

private:
    // Whether the text added at `from` into `block` breaks the line (and so
    // its height changes). Read from the block's text: a cursor placed
    // there would measure the line, and so lay it out.
    static bool addsLines(const QTextBlock &block, int from, int added)
    {
        return QStringView(block.text()).mid(from - block.position(), added).contains(QChar::LineSeparator);
    }

    const QWidget *m_view;
    int m_blocks = 1;
};

TemplateEditor::TemplateEditor(QWidget *parent)
    : QPlainTextEdit(parent)
{
    auto *document = new QTextDocument(this);
    m_layout = new Layout(document, this);
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
    // A long line laid out only now may show a part beyond its colours.
    bool more = false;
    forVisibleBlocks([&](const QTextBlock &block) {
        if (isLong(block) && block.layout()->lineCount() > 0) {
            const auto [from, to] = shownPart(block);
            more = showColors(block, from, to, false) || more;
        }
    });
    if (more)
        viewport()->update();
}

void TemplateEditor::resizeEvent(QResizeEvent *event)
{
    // A new width lays out the top lines again at once: with their colours.
    showColorsOfVisibleBlocks();
    QPlainTextEdit::resizeEvent(event);
}

void TemplateEditor::forVisibleBlocks(const std::function<void(const QTextBlock &)> &visit) const
{
    // Without laying lines out: a line is as high as the font's line spacing
    // times its lines, one line more at the bottom to be sure.
    const qreal bottom = viewport()->height() + fontMetrics().lineSpacing();
    qreal top = contentOffset().y();
    for (QTextBlock block = firstVisibleBlock(); block.isValid() && top <= bottom; block = block.next()) {
        if (!block.isVisible())
            continue;
        visit(block);
        top += fontMetrics().lineSpacing() * std::max(1, block.lineCount());
    }
}

void TemplateEditor::showColorsOfVisibleBlocks()
{
    // Each block gets its colours before it is laid out, so that it is laid
    // out once; a long line not laid out yet gets those of its start.
    forVisibleBlocks([this](const QTextBlock &block) {
        const auto [from, to] = shownPart(block);
        showColors(block, from, to, false);
    });
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

bool TemplateEditor::showColors(QTextBlock block, int from, int to, bool inEdit)
{
    auto *shown = static_cast<ShownColors *>(block.userData());
    if (!inEdit && shown && shown->generation == m_colors->generation() && shown->from <= from && to <= shown->to)
        return false;
    if (isLong(block)) {
        from = std::max(0, from - Margin);
        to = std::min(block.length(), to + Margin);
    }
    const QList<QTextLayout::FormatRange> ranges = m_colors->formatRanges(block, from, to);
    // A block that never showed colours and has none to show keeps no layout
    // of its own until it is painted.
    if (!shown && ranges.isEmpty())
        return false;
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
    return true;
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

} // namespace editor
