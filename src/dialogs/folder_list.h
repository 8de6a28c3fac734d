#pragma once

#include <QListView>
#include <QStringList>

namespace quillfen {

class FolderListModel;

// The folder list: the current folder below its ancestors, then its sub-folders. Entries
// are addressed by list index: 0 .. listCount() - 1 are the sub-folders in display
// order, -1 is the current folder, -2 its parent, and so on up to the root. A click
// only highlights an entry; a double-click or Enter opens it.
class FolderList : public QListView
{
    Q_OBJECT

public:
    explicit FolderList(QWidget *parent = nullptr);

    QString path() const;
    // Makes `folder` current (an empty text: the process's current folder). Throws Failure
    // when it cannot be opened; the list then stays as it was.
    void setPath(const QString &folder);
    // Makes `folder` (a normal folder text) current with sub-folders listed by the caller.
    void showListing(const QString &folder, QStringList subFolders);

    int listCount() const;
    // The full path of the entry at `index`; empty for an index that is not in the list.
    QString listPath(int index) const;

    int highlightedIndex() const;
    void setHighlightedIndex(int index);
    QString highlightedPath() const { return listPath(highlightedIndex()); }
    // Makes the highlighted entry current; throws as setPath does.
    void openHighlighted();

signals:
    // The current folder was set, by the user or by the program.
    void changed();
    // The keyboard focus went to another control of the same window.
    void lostFocus();

protected:
    void showEvent(QShowEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void openByUser();

    FolderListModel *m_model;
};

} // namespace quillfen
