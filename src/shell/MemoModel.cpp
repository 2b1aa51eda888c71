#include "shell/MemoModel.h"

namespace quorvane {

QVariant MemoModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= m_lines.size())
        return {};
    return m_lines.at(index.row());
}

void MemoModel::appendLines(qsizetype first, const QStringList& lines)
{
    if (lines.isEmpty() || first != m_lines.size())
        return; // a batch from before a reset
    beginInsertRows({}, static_cast<int>(first), static_cast<int>(first + lines.size() - 1));
    m_lines.append(lines);
    endInsertRows();
}

void MemoModel::removeLine(qsizetype index)
{
    if (index < 0 || index >= m_lines.size())
        return;
    beginRemoveRows({}, static_cast<int>(index), static_cast<int>(index));
    m_lines.removeAt(index);
    endRemoveRows();
}

void MemoModel::resetLines(const QStringList& lines)
{
    beginResetModel();
    m_lines = lines;
    endResetModel();
}

} // namespace quorvane
