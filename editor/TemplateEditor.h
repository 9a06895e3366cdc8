#pragma once

#include <QPlainTextEdit>

#include <functional>

class QTextBlock;

namespace editor {

class ColorLayer;

// The template editor: a plain-text editor that shows the colours of its
// ColorLayer. Lines are laid out only when they are shown, and a line is
// given its colours only then, so that a template of hundreds of thousands
// of lines loads as fast as its text. A very long line gets the colours of
// the part around what is shown, so that laying it out does not grow with
// the number of coloured runs in it.
class TemplateEditor : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit TemplateEditor(QWidget *parent = nullptr);

    ColorLayer *colors() const { return m_colors; }

    // Every key press goes to keyDown first; when that returns true the key
    // is swallowed. Otherwise the editor acts on it and then hands it to
    // keyDone.
    std::function<bool(const QKeyEvent &)> keyDown;
    std::function<void(const QKeyEvent &)> keyDone;

    // Lines longer than this get the colours of a window around what is shown.
    static constexpr int LongLine = 32768;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    class Layout;

    // The blocks in view, from the top.
    void forVisibleBlocks(const std::function<void(const QTextBlock &)> &visit) const;
    void showColorsOfVisibleBlocks();
    // Gives `block` the colours of its characters [from, to) (with a margin
    // on a long line) unless it shows them already; within an edit always.
    // True when it gave them.
    bool showColors(QTextBlock block, int from, int to, bool inEdit);
    // The characters of `block` the viewport shows: all of a short line; of
    // a long one what its layout tells, [0, 0) before it is laid out.
    std::pair<int, int> shownPart(const QTextBlock &block) const;
    void restyled(int from, int length);

    Layout *m_layout;
    ColorLayer *m_colors;
};

} // namespace editor
