#pragma once

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>

#include <functional>

namespace ui {

// Controls placed at fixed positions (the window's design) that follow their
// window when it grows beyond its design size. The extra height is split in
// an upper and a lower part (the upper one takes two thirds: the clip list
// lives there, and a long list is what the room is for); each control says
// how its position and size follow the extra width and the two parts, each 0
// (stays) or 1 (follows). At the design size every control stands exactly
// where it was placed.
class GrowingLayout : public QObject
{
public:
    struct Follow
    {
        int x = 0;
        int width = 0;
        int yUpper = 0;
        int yLower = 0;
        int heightUpper = 0;
        int heightLower = 0;
    };

    // `area` is the widget whose size is watched; designSize its size in the
    // design, which is also its minimum.
    GrowingLayout(QWidget *area, QSize designSize);

    // Places `control` at `design` now and whenever the area changes size.
    void place(QWidget *control, QRect design, Follow follow);
    // Runs after every layout (for what follows other controls).
    void setAfterLayout(std::function<void()> afterLayout) { m_afterLayout = std::move(afterLayout); }

    // How much wider the area is than its design, and how much taller its
    // upper and lower parts are.
    int extraWidth() const;
    int extraUpper() const;
    int extraLower() const;

    void apply();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Item
    {
        QPointer<QWidget> control;
        QRect design;
        Follow follow;
    };

    void setGeometry(const Item &item) const;

    QWidget *m_area;
    QSize m_design;
    QList<Item> m_items;
    std::function<void()> m_afterLayout;
};

} // namespace ui
