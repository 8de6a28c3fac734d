#include "preview_model.h"

#include <QGuiApplication>
#include <QLocale>
#include <QPalette>

#include <algorithm>

namespace quillfen {

namespace {

using Verdict = PreviewRow::Verdict;

const char *const Headers[PreviewModel::ColumnCount]
    = {"Entry", "Action", "Source", "Destination", "Size", "Verdict", "Reason"};

QString counted(qint64 count, const char *one, const char *many)
{
    return QLocale().toString(count) + QLatin1Char(' ') + QLatin1String(count == 1 ? one : many);
}

} // namespace

PreviewModel::PreviewModel(QObject *parent)
    : QAbstractTableModel(parent)
{
}

void PreviewModel::append(const PreviewRow &row)
{
    m_rows.push_back(row);
    m_totals.add(row);
    if (row.reason.size() > m_longestReason.size())
        m_longestReason = row.reason;
    m_largestSize = std::max(m_largestSize, row.size);
}

void PreviewModel::publish()
{
    if (count() == m_published)
        return;
    beginInsertRows(QModelIndex(), m_published, count() - 1);
    m_published = count();
    endInsertRows();
}

int PreviewModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_published;
}

int PreviewModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QString PreviewModel::text(const PreviewRow &row, int column) const
{
    switch (column) {
    case EntryColumn:
        return row.entry > 0 ? QString::number(row.entry) : QString();
    case ActionColumn:
        return actionName(row);
    case SourceColumn:
        return row.source;
    case DestColumn:
        return row.dest;
    case SizeColumn:
        return row.size >= 0 ? QLocale().toString(row.size) : QString();
    case VerdictColumn:
        return verdictName(row.verdict);
    case ReasonColumn:
        return row.reason;
    }
    return QString();
}

QVariant PreviewModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_published)
        return QVariant();
    const PreviewRow &shown = row(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return text(shown, index.column());
    case Qt::ToolTipRole:
        return index.column() == SourceColumn || index.column() == DestColumn
                || index.column() == ReasonColumn
            ? QVariant(text(shown, index.column()))
            : QVariant();
    case Qt::TextAlignmentRole:
        return headerData(index.column(), Qt::Horizontal, role);
    case Qt::ForegroundRole:
        return shown.verdict == Verdict::NotReached
            ? QVariant(QGuiApplication::palette().brush(QPalette::Disabled, QPalette::Text))
            : QVariant();
    }
    return QVariant();
}

QVariant PreviewModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::TextAlignmentRole)
        return section == EntryColumn || section == SizeColumn ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                                               : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    return role == Qt::DisplayRole ? QVariant(QLatin1String(Headers[section])) : QVariant();
}

QStringList totalsParts(const PreviewTotals &totals)
{
    QStringList parts;
    for (int k = 0; k < PreviewRow::VerdictCount; ++k) {
        if (totals.files[k] == 0)
            continue;
        parts.append(verdictName(PreviewRow::Verdict(k)) + QStringLiteral(": ")
            + counted(totals.files[k], "file", "files") + QStringLiteral(", ")
            + counted(totals.bytes[k], "byte", "bytes"));
    }
    return parts.isEmpty() ? QStringList {QStringLiteral("No files")} : parts;
}

} // namespace quillfen
