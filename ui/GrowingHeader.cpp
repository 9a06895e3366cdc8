#include "GrowingHeader.h"

#include <algorithm>

namespace ui {

QList<int> columnWidths(const QList<int> &design, const QList<int> &minimum, const QList<bool> &grows,
    const QList<int> &user, int extraWidth)
{
    const auto at = [](const QList<int> &list, qsizetype i) { return i < list.size() ? list.at(i) : 0; };
    QList<qsizetype> sharing;
    for (qsizetype i = 0; i < design.size(); ++i) {
        if (i < grows.size() && grows.at(i) && at(user, i) <= 0)
            sharing.append(i);
    }
    const int extra = std::max(0, extraWidth);
    QList<int> widths;
    for (qsizetype i = 0; i < design.size(); ++i) {
        int width = at(user, i) > 0 ? at(user, i) : design.at(i);
        if (const qsizetype k = sharing.indexOf(i); k >= 0) {
            const int share = extra / int(sharing.size());
            width += k + 1 == sharing.size() ? extra - share * int(k) : share;
        }
        widths.append(std::max(width, at(minimum, i)));
    }
    return widths;
}

GrowingHeader::GrowingHeader(QWidget *parent)
    : QHeaderView(Qt::Horizontal, parent)
{
    // The columns fill what they are given; the last does not take the rest.
    setStretchLastSection(false);
    setSectionsMovable(false);
    connect(this, &QHeaderView::sectionResized, this, [this](int section, int, int size) {
        if (!m_applying)
            userResized(section, size);
    });
}

void GrowingHeader::setDesign(const QList<int> &widths, const QList<bool> &grows)
{
    m_design = widths;
    m_grows = grows;
    m_user.resize(widths.size());
    apply();
}

void GrowingHeader::setExtraWidth(int extraWidth)
{
    if (extraWidth == m_extraWidth)
        return;
    m_extraWidth = extraWidth;
    apply();
}

void GrowingHeader::setUserWidths(const QList<int> &widths)
{
    m_user = widths;
    m_user.resize(m_design.size());
    apply();
}

int GrowingHeader::minimumWidth(int section) const
{
    return model() ? sectionSizeFromContents(section).width() : 0;
}

void GrowingHeader::reset()
{
    // A model reset forgets the sections' sizes; what it sets meanwhile is
    // not the user's.
    m_applying = true;
    QHeaderView::reset();
    m_applying = false;
    apply();
}

void GrowingHeader::apply()
{
    if (!model() || m_design.isEmpty())
        return;
    QList<int> minimum;
    for (int i = 0; i < m_design.size(); ++i)
        minimum.append(minimumWidth(i));
    const QList<int> widths = columnWidths(m_design, minimum, m_grows, m_user, m_extraWidth);
    m_applying = true;
    for (int i = 0; i < widths.size() && i < count(); ++i)
        resizeSection(i, widths.at(i));
    m_applying = false;
}

void GrowingHeader::userResized(int section, int size)
{
    if (section < 0 || section >= m_user.size())
        return;
    const int least = minimumWidth(section);
    m_user[section] = std::max(size, least);
    if (size < least) {
        m_applying = true;
        resizeSection(section, least);
        m_applying = false;
    }
}

} // namespace ui
