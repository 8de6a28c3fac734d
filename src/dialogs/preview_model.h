#pragma once

#include "transfer/preview.h"

#include <QAbstractTableModel>

#include <vector>

namespace quillfen {

// The rows of a preview, in the run's order, with their totals. Appending is cheap and silent;
// the rows reach the views only when published, so that a preview of hundreds of thousands of
// files is laid out a few times a second rather than once per file.
class PreviewModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column {
        EntryColumn,
        ActionColumn,
        SourceColumn,
        DestColumn,
        SizeColumn,
        VerdictColumn,
        ReasonColumn,
        ColumnCount
    };

    explicit PreviewModel(QObject *parent = nullptr);

    void append(const PreviewRow &row);
    void publish();

    // Every row appended, published or not.
    int count() const { return int(m_rows.size()); }
    const PreviewRow &row(int k) const { return m_rows[size_t(k)]; }
    const PreviewTotals &totals() const { return m_totals; }
    // What the widest reason and size of the rows appended so far are likely to be, without
    // measuring each: the reason of most characters, the largest size.
    const QString &longestReason() const { return m_longestReason; }
    qint64 largestSize() const { return m_largestSize; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QString text(const PreviewRow &row, int column) const;

    std::vector<PreviewRow> m_rows;
    int m_published = 0;
    PreviewTotals m_totals;
    QString m_longestReason;
    qint64 m_largestSize = 0;
};

// "Copy: 3 files, 12,345 bytes", "Skip: 1 file, 0 bytes": the files and bytes of each verdict
// that occurs, in the verdicts' order; "No files" when there are none.
QStringList totalsParts(const PreviewTotals &totals);

} // namespace quillfen
