#pragma once

#include <QAbstractListModel>
#include <QString>
#include <QStringList>

#include <deque>

// The lines of the main window's message area: each record in front of what is shown, the
// newest on top. It keeps the newest records only; once older ones went, its last line says
// that the log holds them all. Records are taken in cheaply and reach the view when published,
// so a run's records cost the same however many are shown.
class MessageArea : public QAbstractListModel
{
    Q_OBJECT

public:
    // Far more than anyone scrolls through, and a few megabytes at most; the log keeps the rest.
    static constexpr int DefaultBound = 10'000;

    explicit MessageArea(QObject *parent = nullptr);

    // Shows `text` alone: the area's text before the first record.
    void setText(const QString &text);
    // A record, its line ends CR LF; shown in front of everything at the next publish().
    void putRecord(const QString &recordWithLineEnd);
    void publish();

    void setBound(int records) { m_bound = records; }
    // Where the records that no longer show can be read.
    void setLogPath(const QString &path) { m_logPath = path; }

    // Every line shown, joined with line feeds.
    QString text() const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    std::deque<QString> m_lines; // the records' lines, newest first, then the text or the note
    std::deque<int> m_recordLines; // lines of each shown record, newest first
    int m_recordLineTotal = 0;
    QStringList m_pending; // oldest first
    int m_bound = DefaultBound;
    QString m_logPath;
};
