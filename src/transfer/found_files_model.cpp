#include "found_files_model.h"

#include <algorithm>

namespace quillfen {

FoundFilesModel::FoundFilesModel(QObject *parent)
    : QAbstractListModel(parent)
{
}

QString FoundFilesModel::path(int row) const
{
    if (row < 0 || row >= m_count)
        return QString();
    const auto after = std::upper_bound(m_batches.begin(), m_batches.end(), row,
        [](int wanted, const Batch &batch) { return wanted < batch.firstRow; });
    const Batch &batch = *(after - 1);
    return batch.folder + batch.names.at(row - batch.firstRow);
}

int FoundFilesModel::append(const QString &folder, const QStringList &names)
{
    const int room = m_capacity - m_count;
    const int taken = int(std::clamp<qsizetype>(names.size(), 0, std::max(room, 0)));
    if (taken == 0)
        return 0;
    m_batches.push_back({m_count, folder, taken == names.size() ? names : names.first(taken)});
    m_count += taken;
    return taken;
}

void FoundFilesModel::publish()
{
    if (m_count == m_published)
        return;
    beginInsertRows(QModelIndex(), m_published, m_count - 1);
    m_published = m_count;
    endInsertRows();
}

void FoundFilesModel::clear()
{
    beginResetModel();
    m_batches.clear();
    m_count = 0;
    m_published = 0;
    endResetModel();
}

int FoundFilesModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_published;
}

QVariant FoundFilesModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_published)
        return QVariant();
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return path(index.row());
    return QVariant();
}

} // namespace quillfen
