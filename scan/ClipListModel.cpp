#include "ClipListModel.h"

#include "RuntimeError.h"

#include <algorithm>
#include <limits>

namespace ErrNum = errorlog::ErrNum;
using errorlog::RuntimeError;

namespace scan {

ClipListModel::ClipListModel(QObject *parent)
    : QAbstractTableModel(parent)
{ }

int ClipListModel::rowCount(const QModelIndex &parent) const
{
    // A view holds an int; a list that long would be out of reach anyway.
    return parent.isValid() ? 0 : int(qMin<qsizetype>(m_rows.size(), std::numeric_limits<int>::max()));
}

int ClipListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ClipListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const ClipRow &row = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        switch (index.column()) {
        case FileColumn: return row.file;
        case LocationColumn: return row.location;
        case AvsColumn: return markText(row.avs);
        default: return {};
        }
    case Qt::CheckStateRole:
        if (index.column() == FileColumn)
            return row.checked ? Qt::Checked : Qt::Unchecked;
        return {};
    case Qt::TextAlignmentRole:
        if (index.column() == AvsColumn)
            return int(Qt::AlignCenter);
        return {};
    default: return {};
    }
}

bool ClipListModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::CheckStateRole || index.column() != FileColumn
        || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    const bool checked = value.toInt() == Qt::Checked;
    ClipRow &row = m_rows[index.row()];
    if (row.checked != checked) {
        row.checked = checked;
        emit dataChanged(index, index, { Qt::CheckStateRole });
    }
    return true;
}

Qt::ItemFlags ClipListModel::flags(const QModelIndex &index) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == FileColumn)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant ClipListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole) {
        switch (section) {
        case FileColumn: return QStringLiteral("File");
        case LocationColumn: return QStringLiteral("Location");
        case AvsColumn: return QStringLiteral("AVS");
        default: return {};
        }
    }
    if (role == Qt::TextAlignmentRole && section == AvsColumn)
        return int(Qt::AlignCenter);
    return {};
}

void ClipListModel::setRows(QList<ClipRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void ClipListModel::clear()
{
    setRows({});
}

void ClipListModel::requireRow(int row) const
{
    if (row < 0 || row >= m_rows.size())
        throw RuntimeError(ErrNum::SubscriptOutOfRange);
}

void ClipListModel::setChecked(int row, bool checked)
{
    requireRow(row);
    if (m_rows[row].checked == checked)
        return;
    m_rows[row].checked = checked;
    const QModelIndex i = index(row, FileColumn);
    emit dataChanged(i, i, { Qt::CheckStateRole });
}

void ClipListModel::setAvs(int row, ScriptMark mark)
{
    requireRow(row);
    if (m_rows[row].avs == mark)
        return;
    m_rows[row].avs = mark;
    const QModelIndex i = index(row, AvsColumn);
    emit dataChanged(i, i, { Qt::DisplayRole });
}

void ClipListModel::setRowsChecked(const QList<int> &rows, bool checked)
{
    int first = int(m_rows.size());
    int last = -1;
    for (const int row : rows) {
        if (row < 0 || row >= m_rows.size() || m_rows[row].checked == checked)
            continue;
        m_rows[row].checked = checked;
        first = std::min(first, row);
        last = std::max(last, row);
    }
    if (last >= 0)
        emit dataChanged(index(first, FileColumn), index(last, FileColumn), { Qt::CheckStateRole });
}

void ClipListModel::setAllChecked(bool checked)
{
    if (m_rows.isEmpty())
        return;
    for (ClipRow &row : m_rows)
        row.checked = checked;
    emit dataChanged(index(0, FileColumn), index(rowCount() - 1, FileColumn), { Qt::CheckStateRole });
}

} // namespace scan
