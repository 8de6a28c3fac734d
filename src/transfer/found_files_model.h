#pragma once

#include <QAbstractListModel>
#include <QStringList>

#include <vector>

namespace quillfen {

// The paths a search has found, in the order found. Appending is cheap and silent: the
// names of one folder are kept as the listing gave them, beside their folder text, and
// the rows reach the views only when published, so that a list of hundreds of thousands
// of paths is laid out a few times a second rather than once per folder.
class FoundFilesModel : public QAbstractListModel
{
    Q_OBJECT

public:
    static constexpr int DefaultCapacity = 1'000'000;

    explicit FoundFilesModel(QObject *parent = nullptr);

    // Every path appended, published or not.
    int count() const { return m_count; }
    QString path(int row) const;

    // Appends `folder` followed by each of `names`, in order, as far as the capacity
    // allows; answers how many were appended.
    int append(const QString &folder, const QStringList &names);
    void publish();
    void clear();

    int capacity() const { return m_capacity; }
    void setCapacity(int capacity) { m_capacity = capacity; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    struct Batch
    {
        int firstRow;
        QString folder;
        QStringList names;
    };

    std::vector<Batch> m_batches;
    int m_count = 0;
    int m_published = 0;
    int m_capacity = DefaultCapacity;
};

} // namespace quillfen
