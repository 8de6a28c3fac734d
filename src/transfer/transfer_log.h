#pragma once

#include <QString>

namespace quillfen {

// Where log records are shown: the main window's message area puts each record, which
// already ends with CR LF, in front of its text.
class LogSink
{
public:
    virtual ~LogSink() = default;
    virtual void putRecord(const QString &recordWithLineEnd) = 0;
};

// The sink that shows records; none by default.
void setLogSink(LogSink *sink);

// The framing lines of the log header (the settings file's header uses them too): "#",
// sixty "-", "#"; and the line that names the maker.
QString headerRule();
QString headerCreatedBy();
// "# Created " + now + " on " + the computer name.
QString headerCreatedLine(const QString &now, const QString &computerName);

// The whole header of a new log, ending with the three empty lines.
QString logHeader(const QString &now, const QString &computerName);

// Application folder + separator + "filelog.txt".
QString logFilePath();

// Creates the log with its header when it is missing, shows the record in the sink and
// appends it with CR LF. Traps nothing: throws Failure when the log cannot be written.
void sc_WriteLog(const QString &record);

} // namespace quillfen
