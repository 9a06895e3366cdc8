#pragma once

#include <QHeaderView>
#include <QList>

namespace ui {

// The widths of a list's columns for a list that is `extraWidth` wider than
// its design. The columns marked `grows` share the extra width equally (the
// last of them takes what does not divide); a width the user set (non-zero
// in `user`) is kept as set, and that column takes no share. No column is
// narrower than its `minimum`, whatever it was given or set to.
QList<int> columnWidths(const QList<int> &design, const QList<int> &minimum, const QList<bool> &grows,
    const QList<int> &user, int extraWidth);

// A header whose columns follow the list as it grows (see columnWidths) and
// keep the widths the user drags them to. A column cannot be dragged
// narrower than its caption needs.
class GrowingHeader : public QHeaderView
{
public:
    explicit GrowingHeader(QWidget *parent = nullptr);

    // The design widths, which columns share extra width, and the widths now.
    void setDesign(const QList<int> &widths, const QList<bool> &grows);
    void setExtraWidth(int extraWidth);

    // The widths the user set, 0 where a column follows the list.
    QList<int> userWidths() const { return m_user; }
    void setUserWidths(const QList<int> &widths);

    // The width that shows the column's caption whole.
    int minimumWidth(int section) const;

    void reset() override;

private:
    void apply();
    void userResized(int section, int size);

    QList<int> m_design;
    QList<bool> m_grows;
    QList<int> m_user;
    int m_extraWidth = 0;
    bool m_applying = false;
};

} // namespace ui
