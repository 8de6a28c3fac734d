#pragma once

#include <QByteArray>
#include <QString>

namespace quillfen {
struct CopyResult;
}

namespace quillfen::record_texts {

// "Move File " or "Copy File ", each with its trailing blank.
QString actionLabel(bool move);

// A name or folder as the log shows it: CR, LF and TAB as \r, \n, \t, every other control
// character and every byte of a name that is not UTF-8 as \xNN, and a backslash as \\, so
// that no name can break a record's lines or fields and every name reads back as itself.
QString escapeName(const QString &text);

// The records, without the line end that the log writer adds. Folders and names are
// escaped here; `now` is the date and time text of the moment the record is formed.
QString begin(const QString &label, const QString &sourceFolder, const QString &name, const QString &now);
QString result(const QString &destFolder, const QString &name, const QString &outcome, const QString &now);
QString skip(const QString &label, const QString &sourceFolder, const QString &name, const QString &now);
// A skip record of a file left where it is because `destPath`, the name it would take, is taken:
// by another file, or by one `identical` to it.
QString nameTaken(const QString &label, const QString &sourceFolder, const QString &name,
    const QString &destPath, bool identical, const QString &now);

// A line of a record as a window shows it: the To line's path starts at the tab stop of the From
// line's, so that the two paths line up and a narrow window cuts them alike.
QString shownAlike(const QString &line);

// The outcome line's text for what sc_CopyFile returned for a file of `sourceFolder`.
QString outcome(const QString &label, const CopyResult &result, const QString &sourceFolder);

// How long the front of `tail`, the end of a log, is that holds whole records: up to the end
// of its last finished record, then any begin records whose result never came. A record cut
// short starts as a record does and is not whole; text that no record starts with is kept.
qsizetype wholeLength(const QByteArray &tail);

// A regular expression that matches the records of a log, each whole, a begin record's
// result only once whole too.
QString recordsPattern();

} // namespace quillfen::record_texts
