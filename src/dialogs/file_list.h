#pragma once

#include <QListView>
#include <QStringList>

class QStringListModel;

namespace quillfen {

// The file list: the names of the files of one folder that match a pattern, by the
// program's one listing routine. The folder is read when the names are asked for or
// shown, so pointing the list at many folders in a row reads none of them.
class FileList : public QListView
{
    Q_OBJECT

public:
    explicit FileList(QWidget *parent = nullptr);

    QString folder() const { return m_folder; }
    void setFolder(const QString &folder);
    QString pattern() const { return m_pattern; }
    void setPattern(const QString &pattern);

    // The matching names, in display order. Throws Failure when the folder cannot be read.
    const QStringList &names() const;

    // The selected name without folder; empty when no file is selected.
    QString selectedName() const;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void changedSource();
    void ensureListed() const;
    void showNames(const QStringList &names) const;

    QString m_folder;
    QString m_pattern;
    QStringListModel *m_model;
    mutable QStringList m_names;
    mutable bool m_stale = false;
};

} // namespace quillfen
