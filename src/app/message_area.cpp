#include "message_area.h"

#include "transfer/record_texts.h"

MessageArea::MessageArea(QObject *parent)
    : QAbstractListModel(parent)
{
}

void MessageArea::setText(const QString &text)
{
    beginResetModel();
    m_lines.clear();
    m_recordLines.clear();
    m_recordLineTotal = 0;
    m_pending.clear();
    const QStringList lines = text.split(QLatin1Char('\n'));
    m_lines.assign(lines.cbegin(), lines.cend());
    endResetModel();
}

void MessageArea::putRecord(const QString &recordWithLineEnd)
{
    m_pending.append(recordWithLineEnd);
    // Records beyond the bound would be dropped at once when published.
    if (m_pending.size() > 2 * m_bound)
        m_pending.erase(m_pending.begin(), m_pending.end() - m_bound);
}

void MessageArea::publish()
{
    if (m_pending.isEmpty())
        return;
    const qsizetype first = std::max<qsizetype>(0, m_pending.size() - m_bound);
    std::deque<QString> added;
    for (qsizetype k = first; k < m_pending.size(); ++k) {
        QString record = m_pending.at(k);
        if (record.endsWith(QLatin1String("\r\n")))
            record.chop(2);
        const QStringList lines = record.split(QLatin1String("\r\n"));
        added.insert(added.begin(), lines.cbegin(), lines.cend());
        m_recordLines.push_front(int(lines.size()));
        m_recordLineTotal += int(lines.size());
    }
    bool dropped = first > 0;
    m_pending.clear();
    beginInsertRows(QModelIndex(), 0, int(added.size()) - 1);
    m_lines.insert(m_lines.begin(), added.cbegin(), added.cend());
    endInsertRows();

    while (int(m_recordLines.size()) > m_bound) {
        m_recordLineTotal -= m_recordLines.back();
        m_recordLines.pop_back();
        dropped = true;
    }
    if (!dropped)
        return;
    // What lies below the newest records (older records, the text they were put in front of)
    // gives way to one line that says where to read it.
    beginRemoveRows(QModelIndex(), m_recordLineTotal, int(m_lines.size()) - 1);
    m_lines.erase(m_lines.begin() + m_recordLineTotal, m_lines.end());
    endRemoveRows();
    beginInsertRows(QModelIndex(), m_recordLineTotal, m_recordLineTotal);
    m_lines.push_back(
        QStringLiteral("\u2026 older records are no longer shown here; the log holds them all: ")
        + m_logPath);
    endInsertRows();
}

QString MessageArea::text() const
{
    QStringList lines(m_lines.cbegin(), m_lines.cend());
    return lines.join(QLatin1Char('\n'));
}

int MessageArea::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_lines.size());
}

QVariant MessageArea::data(const QModelIndex &index, int role) const
{
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= int(m_lines.size()))
        return {};
    return quillfen::record_texts::shownAlike(m_lines[size_t(index.row())]);
}
