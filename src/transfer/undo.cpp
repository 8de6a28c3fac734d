#include "undo.h"

#include "file_routines.h"
#include "record_texts.h"
#include "transfer_log.h"

#include "platform/app_info.h"
#include "platform/failure.h"
#include "platform/host.h"
#include "platform/message_boxes.h"
#include "platform/native_names.h"
#include "platform/raw_file.h"
#include "platform/trash.h"

#include <sys/stat.h>
#include <unistd.h>

namespace quillfen {

namespace {

using Kind = UndoStep::Kind;

// How many steps the confirmation lists before it counts the rest.
constexpr int ListedSteps = 15;

const QString MoveLabel = QStringLiteral("Move File ");

QString shown(const QByteArray &path)
{
    return record_texts::escapeName(nameFromNative(path));
}

// The file at `path`, links looked through, is still what the run left there.
bool asLeft(const QByteArray &path, const JournalEntry &entry)
{
    struct stat st = {};
    return ::stat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == entry.size
        && st.st_mtim.tv_sec == entry.modified.tv_sec && st.st_mtim.tv_nsec == entry.modified.tv_nsec;
}

bool taken(const QByteArray &path)
{
    struct stat st = {};
    return ::lstat(path.constData(), &st) == 0;
}

UndoStep step(Kind kind, const QByteArray &from, const QByteArray &to, const QString &text)
{
    return UndoStep {kind, from, to, text};
}

UndoStep leave(const QByteArray &path, const QString &why)
{
    return step(Kind::LeaveAlone, path, {}, why + QStringLiteral(" \u2014 left as it is: ") + shown(path));
}

QString folderOf(const QByteArray &path)
{
    return nameFromNative(raw_file::folderPart(path));
}

QString nameOf(const QByteArray &path)
{
    return nameFromNative(path.mid(raw_file::folderPart(path).size()));
}

// The begin and result records of one step, as the run writes them for a move.
class StepRecords
{
public:
    StepRecords(TransferLog &log, const QByteArray &from)
        : m_log(log)
    {
        m_log.sc_WriteLog(record_texts::begin(MoveLabel, folderOf(from), nameOf(from), host::nowText()));
    }
    void result(const QByteArray &to, const QString &copyResult)
    {
        const QString outcome = record_texts::outcome(MoveLabel, copyResult, QString());
        m_log.sc_WriteLog(record_texts::result(folderOf(to), nameOf(to), outcome, host::nowText()));
    }

private:
    TransferLog &m_log;
};

// Moves `from` to `to` without replacing anything, through the Trash's own rename.
QString restoreFromTrash(const QByteArray &from, const QByteArray &to)
{
    try {
        Trash::restore(from, to);
        return trueResult();
    } catch (const Failure &failure) {
        return reportedFailure(failure, folderOf(to));
    }
}

QString removeToTrash(Trash &trash, const QByteArray &path, QByteArray &kept)
{
    kept = trash.keep(path);
    if (kept.isEmpty())
        return reportedFailure(Failure(failure_no::PathFileAccessError), folderOf(path));
    if (::unlink(path.constData()) != 0) {
        const Failure failure = Failure::fromErrno(errno, path);
        ::unlink(kept.constData());
        return reportedFailure(failure, folderOf(path));
    }
    return trueResult();
}

} // namespace

QList<UndoStep> planUndo(const QList<JournalEntry> &journal)
{
    QList<UndoStep> steps;
    for (auto it = journal.crbegin(); it != journal.crend(); ++it) {
        const JournalEntry &entry = *it;
        if (!asLeft(entry.dest, entry)) {
            steps.append(leave(entry.dest, QStringLiteral("Changed since the run")));
            continue;
        }
        if (entry.action == JournalEntry::Action::Move) {
            if (taken(entry.source)) {
                steps.append(leave(entry.dest, QStringLiteral("Its source name is taken again")));
                continue;
            }
            steps.append(step(Kind::MoveBack, entry.dest, entry.source,
                QStringLiteral("Move back: ") + shown(entry.dest) + QStringLiteral(" to ")
                    + shown(entry.source)));
        } else {
            steps.append(step(Kind::RemoveCopy, entry.dest, {},
                QStringLiteral("Remove the copy to the Trash: ") + shown(entry.dest)));
        }
        if (entry.replaced == JournalEntry::Replaced::Kept) {
            if (taken(entry.replacedTo))
                steps.append(step(Kind::RestoreReplaced, entry.replacedTo, entry.dest,
                    QStringLiteral("Restore from the Trash: ") + shown(entry.dest)));
            else
                steps.append(
                    leave(entry.dest, QStringLiteral("The file it replaced is no longer in the Trash")));
        } else if (entry.replaced == JournalEntry::Replaced::Lost) {
            steps.append(leave(entry.dest, QStringLiteral("The file it replaced could not be kept")));
        }
    }
    return steps;
}

void sc_UndoLastRun()
{
    QList<JournalEntry> journal;
    try {
        journal = readJournal();
    } catch (const Failure &failure) {
        reportPlace(failure, QStringLiteral("Undo Last Run"));
        return;
    }
    const QList<UndoStep> steps = planUndo(journal);
    QStringList lines;
    int doable = 0;
    for (const UndoStep &step : steps) {
        doable += step.kind == Kind::LeaveAlone ? 0 : 1;
        if (lines.size() < ListedSteps)
            lines.append(step.text);
    }
    if (steps.size() > ListedSteps)
        lines.append(QStringLiteral("\u2026 and %L1 more").arg(steps.size() - ListedSteps));
    if (doable == 0) {
        showMessage(QStringLiteral("The last run left nothing to undo.")
                + (lines.isEmpty() ? QString()
                                   : QStringLiteral("\r\n\r\n") + lines.join(QStringLiteral("\r\n"))),
            app_info::title(), MsgIcon::Information);
        return;
    }
    if (!confirm(QStringLiteral("Undo the last run?\r\n\r\n") + lines.join(QStringLiteral("\r\n"))))
        return;

    TransferLog log;
    Trash trash;
    safe_copy::Session session;
    int done = 0;
    try {
        for (const UndoStep &step : steps) {
            if (step.kind == Kind::LeaveAlone)
                continue;
            StepRecords records(log, step.from);
            QString result;
            QByteArray to = step.to;
            if (step.kind == Kind::MoveBack) {
                safe_copy::Outcome outcome;
                result = sc_CopyFile(nameOf(step.from), folderOf(step.from), nameOf(step.to),
                    folderOf(step.to), true, session, outcome, nullptr, false);
            } else if (step.kind == Kind::RemoveCopy) {
                result = removeToTrash(trash, step.from, to);
            } else {
                result = restoreFromTrash(step.from, step.to);
            }
            records.result(to.isEmpty() ? step.from : to, result);
            done += result == trueResult() ? 1 : 0;
        }
    } catch (const Failure &failure) {
        // The log cannot be written: nothing more is undone without its record.
        reportPlace(failure, QStringLiteral("Undo Last Run"));
    }
    try {
        clearJournal();
    } catch (const Failure &) {
        // A journal left as it was only offers the same steps again, each checked anew.
    }
    showMessage(QStringLiteral("The last run has been undone: %L1 of %L2 steps done.").arg(done).arg(doable),
        QStringLiteral("Complete"), MsgIcon::Information);
}

} // namespace quillfen
