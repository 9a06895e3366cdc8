#pragma once

#include <QGroupBox>

namespace ui {

// A frame whose caption stands on its top border, the border running through
// the caption's middle and broken where the caption stands. Controls placed
// a little below the frame's top edge then sit inside the border, not on it,
// as they do in classic frames; styles that draw the caption above the
// border would push it down over them.
//
// Screen readers and other assistive tools know it by its own title: Qt
// names a widget inside a group box after the enclosing box, so without this
// a box nested in another would carry its parent's title.
class TitledGroupBox : public QGroupBox
{
public:
    TitledGroupBox(const QString &title, QWidget *parent);

    // Where the border is drawn: its top line at the caption's middle.
    QRect borderRect() const;
    // Where the caption is drawn, over the border's top line.
    QRect captionRect() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};

inline QGroupBox *titledGroupBox(const QString &title, QWidget *parent)
{
    return new TitledGroupBox(title, parent);
}

} // namespace ui
