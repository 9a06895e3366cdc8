#include "GrowingLayout.h"

#include <QEvent>

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
    for (Item &item : m_items) {
        if (item.control == control) {
            item.design = design;
            item.follow = follow;
            apply();
            return;
        }
    }
    m_items.append({ control, design, follow });
    apply();
}

int GrowingLayout::extraWidth() const
{
    return std::max(0, m_area->width() - m_design.width());
}

int GrowingLayout::extraUpper() const
{
    return std::max(0, m_area->height() - m_design.height()) / 2;
}

int GrowingLayout::extraLower() const
{
    return std::max(0, m_area->height() - m_design.height()) - extraUpper();
}

void GrowingLayout::apply()
{
    const int dw = extraWidth();
    const int upper = extraUpper();
    const int lower = extraLower();
    for (const Item &item : std::as_const(m_items)) {
        if (!item.control)
            continue;
        const Follow &f = item.follow;
        item.control->setGeometry(item.design.x() + f.x * dw, item.design.y() + f.yUpper * upper + f.yLower * lower,
            item.design.width() + f.width * dw, item.design.height() + f.heightUpper * upper + f.heightLower * lower);
    }
    if (m_afterLayout)
        m_afterLayout();
}

bool GrowingLayout::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_area && event->type() == QEvent::Resize)
        apply();
    return QObject::eventFilter(watched, event);
}
