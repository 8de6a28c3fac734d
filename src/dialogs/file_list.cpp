#include "file_list.h"

#include "platform/failure.h"
#include "transfer/listing.h"

#include <QStringListModel>

namespace quillfen {

FileList::FileList(QWidget *parent)
    : QListView(parent)
    , m_model(new QStringListModel(this))
{
    setModel(m_model);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

void FileList::setFolder(const QString &folder)
{
    m_folder = folder;
    changedSource();
}

void FileList::setPattern(const QString &pattern)
{
    m_pattern = pattern;
    changedSource();
}

const QStringList &FileList::names() const
{
    ensureListed();
    return m_names;
}

QString FileList::selectedName() const
{
    if (m_stale)
        return QString();
    const QModelIndexList selected = selectionModel()->selectedIndexes();
    return selected.isEmpty() ? QString() : m_names.value(selected.first().row());
}

void FileList::showEvent(QShowEvent *event)
{
    QListView::showEvent(event);
    if (m_stale) {
        try {
            ensureListed();
        } catch (const Failure &) {
            // Nothing to show; whoever asks for the names next gets the failure.
        }
    }
}

void FileList::changedSource()
{
    m_stale = true;
    if (m_model->rowCount() > 0)
        showNames(QStringList());
    if (isVisible()) {
        try {
            ensureListed();
        } catch (const Failure &) {
            // As above: the list stays empty until the folder can be read.
        }
    }
}

void FileList::ensureListed() const
{
    if (!m_stale)
        return;
    if (m_folder.isEmpty()) {
        m_names.clear();
    } else {
        m_names = listMatchingFiles(m_folder, m_pattern);
    }
    m_stale = false;
    showNames(m_names);
}

void FileList::showNames(const QStringList &names) const
{
    m_model->setStringList(names);
}

} // namespace quillfen
