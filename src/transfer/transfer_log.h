#pragma once

#include "run_observer.h"

#include <QByteArray>
#include <QString>

namespace quillfen {

// The framing lines of the log header (the settings file's header uses them too): "#",
// sixty "-", "#"; and the line that names the maker.
QString headerRule();
QString headerCreatedBy();
// "# Created " + now + " on " + the computer name.
QString headerCreatedLine(const QString &now, const QString &computerName);

// The whole header of a new log, ending with the three empty lines.
QString logHeader(const QString &now, const QString &computerName);

// A regular expression that matches a whole log: its header, then whole records.
QString wholeLogPattern();

// Application folder + separator + "filelog.txt".
QString logFilePath();

// The log writer of one run: the log's place is found once, each record is shown to the
// observer and appended to the file, which is opened and closed for every record.
class TransferLog
{
public:
    explicit TransferLog(RunObserver *observer = nullptr);
    ~TransferLog();
    TransferLog(const TransferLog &) = delete;
    TransferLog &operator=(const TransferLog &) = delete;

    const QString &path() const { return m_path; }

    // Creates the log with its header when it is missing, shows the record and appends it
    // with CR LF. The log only ever holds whole records under a whole header: what cannot be
    // appended whole is cut back. Traps nothing: throws Failure when the log cannot be written.
    void sc_WriteLog(const QString &record);

private:
    void createWithHeader();
    void cutTornRecord();

    RunObserver *m_observer;
    bool m_tailChecked = false;
    qint64 m_unflushed = 0; // appended since this writer last flushed the log
    QString m_path;
    QByteArray m_native;
};

} // namespace quillfen
