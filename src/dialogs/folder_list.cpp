#include "folder_list.h"

#include "platform/failure.h"
#include "platform/host.h"
#include "transfer/sub_folders.h"

#include <QAbstractListModel>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QStyle>
#include <QStyledItemDelegate>

namespace quillfen {

namespace {

constexpr int DepthRole = Qt::UserRole + 1;

// Ancestors and the current folder stand in a staircase, each one step in from its parent.
class IndentingDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        QStyleOptionViewItem indented(option);
        indented.rect.setLeft(option.rect.left() + indent(option, index));
        QStyledItemDelegate::paint(painter, indented, index);
    }

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(indent(option, index), 0);
    }

private:
    static int indent(const QStyleOptionViewItem &option, const QModelIndex &index)
    {
        return index.data(DepthRole).toInt() * option.fontMetrics.averageCharWidth() * 2;
    }
};

} // namespace

class FolderListModel : public QAbstractListModel
{
public:
    FolderListModel(const QIcon &open, const QIcon &closed, QObject *parent)
        : QAbstractListModel(parent)
        , m_openIcon(open)
        , m_closedIcon(closed)
    {
    }

    const QString &folder() const { return m_folder; }
    const QStringList &subFolders() const { return m_subFolders; }
    // The root, each ancestor, the current folder.
    const QStringList &chain() const { return m_chain; }

    void show(const QString &folder, QStringList subFolders)
    {
        beginResetModel();
        m_folder = folder;
        m_subFolders = std::move(subFolders);
        m_chain.clear();
        m_chain.append(host::separator());
        for (qsizetype at = folder.indexOf(host::Separator, 1); at > 0;
             at = folder.indexOf(host::Separator, at + 1))
            m_chain.append(folder.left(at));
        if (folder != host::separator())
            m_chain.append(folder);
        endResetModel();
    }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override
    {
        return parent.isValid() ? 0 : int(m_chain.size() + m_subFolders.size());
    }

    QVariant data(const QModelIndex &index, int role) const override
    {
        if (!index.isValid())
            return QVariant();
        const int row = index.row();
        const int chainLength = int(m_chain.size());
        switch (role) {
        case Qt::DisplayRole:
            if (row >= chainLength)
                return m_subFolders.value(row - chainLength);
            if (row == 0)
                return m_chain.at(0);
            return m_chain.at(row).mid(m_chain.at(row).lastIndexOf(host::Separator) + 1);
        case Qt::DecorationRole:
            return row < chainLength ? m_openIcon : m_closedIcon;
        case Qt::ToolTipRole:
            return row < chainLength ? m_chain.value(row)
                                     : joinFolder(m_folder, m_subFolders.value(row - chainLength));
        case DepthRole:
            return std::min(row, chainLength);
        default:
            return QVariant();
        }
    }

private:
    QIcon m_openIcon;
    QIcon m_closedIcon;
    QString m_folder;
    QStringList m_subFolders;
    QStringList m_chain;
};

FolderList::FolderList(QWidget *parent)
    : QListView(parent)
    , m_model(new FolderListModel(style()->standardIcon(QStyle::SP_DirOpenIcon),
          style()->standardIcon(QStyle::SP_DirClosedIcon), this))
{
    setModel(m_model);
    setItemDelegate(new IndentingDelegate(this));
    setUniformItemSizes(false);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(this, &QAbstractItemView::doubleClicked, this, &FolderList::openByUser);
}

QString FolderList::path() const
{
    return m_model->folder();
}

void FolderList::setPath(const QString &folder)
{
    const QString target = normalFolder(folder);
    showListing(target, listSubFolders(target));
}

void FolderList::showListing(const QString &folder, QStringList subFolders)
{
    m_model->show(folder, std::move(subFolders));
    // A hidden list marks its current folder when it is shown again.
    if (isVisible())
        setHighlightedIndex(-1);
    else if (currentIndex().isValid())
        setCurrentIndex(QModelIndex());
    emit changed();
}

int FolderList::listCount() const
{
    return int(m_model->subFolders().size());
}

QString FolderList::listPath(int index) const
{
    if (index >= 0)
        return index < listCount() ? joinFolder(path(), m_model->subFolders().at(index)) : QString();
    const qsizetype chainRow = m_model->chain().size() + index;
    return chainRow >= 0 ? m_model->chain().at(chainRow) : QString();
}

int FolderList::highlightedIndex() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() - int(m_model->chain().size()) : -1;
}

void FolderList::setHighlightedIndex(int index)
{
    const QModelIndex row = m_model->index(int(m_model->chain().size()) + index);
    if (row.isValid())
        setCurrentIndex(row);
}

void FolderList::openHighlighted()
{
    setPath(highlightedPath());
}

void FolderList::openByUser()
{
    try {
        openHighlighted();
    } catch (const Failure &) {
        // A folder that cannot be opened is simply not entered.
        setHighlightedIndex(-1);
    }
}

void FolderList::showEvent(QShowEvent *event)
{
    QListView::showEvent(event);
    if (!currentIndex().isValid())
        setHighlightedIndex(-1);
}

void FolderList::focusOutEvent(QFocusEvent *event)
{
    QListView::focusOutEvent(event);
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        emit lostFocus();
}

void FolderList::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        openByUser();
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

} // namespace quillfen
