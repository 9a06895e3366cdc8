#pragma once

#include "ClipRow.h"

#include <QAbstractTableModel>
#include <QList>

namespace scan {

// The clip list: one row per clip in the order of the scan, never sorted.
// Columns: 0 "File" with the row's check box, 1 "Location", 2 "AVS".
class ClipListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { FileColumn = 0, LocationColumn = 1, AvsColumn = 2, ColumnCount = 3 };

    explicit ClipListModel(QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Replaces every row at once (one model reset, however many rows).
    void setRows(QList<ClipRow> rows);
    void clear();
    const QList<ClipRow> &rows() const { return m_rows; }

    // A row outside the list throws RuntimeError 9 (subscript out of range).
    void setChecked(int row, bool checked);
    void setAvs(int row, ScriptMark mark);
    // Checks or unchecks every row with one change notification.
    void setAllChecked(bool checked);
    // The same for the given rows (in any order; rows outside the list are
    // passed over): one notification, however many rows.
    void setRowsChecked(const QList<int> &rows, bool checked);

private:
    void requireRow(int row) const;

    QList<ClipRow> m_rows;
};

} // namespace scan
