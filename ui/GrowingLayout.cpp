#include "GrowingLayout.h"

#include <QEvent>

#include <algorithm>

namespace ui {

GrowingLayout::GrowingLayout(QWidget *area, QSize designSize)
    : QObject(area)
    , m_area(area)
    , m_design(designSize)
{
    area->setMinimumSize(designSize);
    area->installEventFilter(this);
}

void GrowingLayout::place(QWidget *control, QRect design, Follow follow)
{
    // Only this control moves: laying out every control again for each one
    // placed would cost the window's construction a square of its controls.
    auto item = std::find_if(m_items.begin(), m_items.end(), [&](const Item &i) { return i.control == control; });
    if (item == m_items.end())
        item = m_items.insert(m_items.end(), { control, design, follow });
    else
        *item = { control, design, follow };
    setGeometry(*item);
    if (m_afterLayout)
        m_afterLayout();
}

void GrowingLayout::setGeometry(const Item &item) const
{
    if (!item.control)
        return;
    const Follow &f = item.follow;
    const int upper = extraUpper();
    item.control->setGeometry(item.design.x() + f.x * extraWidth(),
        item.design.y() + f.yUpper * upper + f.yLower * extraLower(), item.design.width() + f.width * extraWidth(),
        item.design.height() + f.heightUpper * upper + f.heightLower * extraLower());
}

int GrowingLayout::extraWidth() const
{
    return std::max(0, m_area->width() - m_design.width());
}

int GrowingLayout::extraUpper() const
{
    return std::max(0, m_area->height() - m_design.height()) * 2 / 3;
}

int GrowingLayout::extraLower() const
{
    return std::max(0, m_area->height() - m_design.height()) - extraUpper();
}

void GrowingLayout::apply()
{
    for (const Item &item : std::as_const(m_items))
        setGeometry(item);
    if (m_afterLayout)
        m_afterLayout();
}

bool GrowingLayout::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_area && event->type() == QEvent::Resize)
        apply();
    return QObject::eventFilter(watched, event);
}

} // namespace ui
