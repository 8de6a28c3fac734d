#pragma once

#include "undo.h"

#include "platform/report.h"

#include <QString>
#include <QStringList>

#include <utility>

namespace quillfen::messages {

// What a face says to the user, in the words of the one table both faces share: the window
// shows it as a message box, the command line prints it. Lines are separated by CR LF.
struct Message
{
    enum class Tone {
        Plain, // no icon
        Notice, // information
        Warning, // exclamation
        Failure, // critical
        Confirm, // asks Yes or No, with an exclamation
        Question, // asks Yes or No, with a question mark
    };
    Message() = default;
    Message(QString text, QString title, Tone tone = Tone::Plain, QStringList details = {})
        : text(std::move(text))
        , title(std::move(title))
        , tone(tone)
        , details(std::move(details))
    {
    }

    QString text;
    QString title;
    Tone tone = Tone::Plain;
    // Lines shown apart from the text, in a list of their own: headings and the lines under them.
    QStringList details;
};

// The text, then the details after a blank line: as the command line prints a message.
QString plainText(const Message &message);

// "Error <description> (<number>) on <place>" titled "Error <number>", or "Error:
// <description> (<number>)" with a hint where one helps, titled "Error" or "Error <number>".
Message report(const Report &report);

// A confirmation titled "Continue?" that asks before `text` is acted on.
Message question(const QString &text);

// Undoing the last run: why it cannot be done, that nothing is left to undo, or the question
// that lists what it would do; then what was done, or why it stopped.
Message undoPlan(const UndoPlan &plan);
QString undoStep(const UndoStep &step);
Message undoDone(qint64 done, qint64 doable);
Message undoChangedMeanwhile();

// An entry to start at login that another program wrote: it is replaced or removed only when
// the user agrees.
Message foreignAutostart(const QString &path, bool replace);
// A timer or service of the schedule's names in `folder` that another program wrote: the same.
Message foreignSchedule(const QString &folder, bool replace);

Message systemInformationUnavailable();

// The Options window's Settings menu and the main window's log link.
Message settingsExported(const QString &path);
// The settings file at `path` could not be written (`exporting`) or read.
Message settingsFileFailed(bool exporting, const QString &path, const Failure &failure);
Message importQuestion();
Message clearQuestion();
Message settingsCleared();
Message deleteLogQuestion();

// The file search: its list is full, or it failed.
Message searchListFull();
Message searchFailed(const Failure &failure);

// How a run went, in one line: files done, failed and skipped, and the bytes of those done.
QString runSummary(qint64 done, qint64 failed, qint64 skipped, qint64 bytes);
// How a run went, as a desktop notification says it: files moved, copied and failed.
QString runNotice(qint64 moved, qint64 copied, qint64 failed);
// A run asked for with no transfer entry stored.
Message nothingConfigured();

} // namespace quillfen::messages
