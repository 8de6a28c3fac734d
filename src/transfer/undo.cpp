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

#include <QHash>

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace quillfen {

namespace {

using Kind = UndoStep::Kind;
using Why = UndoStep::Why;

const QString MoveLabel = QStringLiteral("Move File ");

// What undo has made of a name that more than one journal entry names: a file it put there
// (as it stood then), or none.
struct Mark
{
    bool placed = false;
    FileIdentity identity;
};

// Decides the steps that undo each journal entry, last entry first, against the disk as the
// steps decided before leave it: as it is when performing, as they would leave it when planning.
class Walk
{
public:
    Walk(const JournalReader &journal, bool planning)
        : m_journal(journal)
        , m_planning(planning)
    {
    }

    QList<UndoStep> decide(const JournalEntry &entry) const
    {
        const auto leave = [&](Why why) { return QList<UndoStep> {{Kind::LeaveAlone, why, entry.dest, {}}}; };
        const bool kept = entry.replaced == JournalEntry::Replaced::Kept;
        if (!m_journal.inRunFolders(entry.source) || !m_journal.inRunFolders(entry.dest))
            return leave(Why::OutsideFolders);
        if (kept && !m_journal.inRunTrash(entry.replacedTo))
            return leave(Why::OutsideTrash);
        if (!holdsRunFile(entry.dest, entry.placed))
            return leave(Why::Changed);
        QList<UndoStep> steps;
        if (entry.action == JournalEntry::Action::Copy)
            steps.append({Kind::RemoveCopy, Why::Changed, entry.dest, {}});
        else if (isFree(entry.source))
            steps.append({Kind::MoveBack, Why::Changed, entry.dest, entry.source});
        else
            return leave(Why::SourceTaken);
        const FileIdentity trashed = FileIdentity::of(entry.replacedTo);
        if (kept && trashed.sameFile(entry.kept) && trashed.sameContent(entry.kept))
            steps.append({Kind::RestoreReplaced, Why::Changed, entry.replacedTo, entry.dest});
        else if (entry.replaced != JournalEntry::Replaced::Nothing)
            steps.append({Kind::LeaveAlone, kept ? Why::ReplacedGone : Why::ReplacedLost, entry.dest, {}});
        return steps;
    }

    // What a step that was done (or would be) left at its names.
    void done(const UndoStep &step)
    {
        if (step.kind != Kind::RestoreReplaced)
            mark(step.from, false);
        if (step.kind != Kind::RemoveCopy)
            mark(step.to, true);
    }

private:
    bool holdsRunFile(const QByteArray &path, const FileIdentity &left) const
    {
        const auto mark = m_marks.constFind(path);
        if (mark == m_marks.cend()) {
            const FileIdentity now = FileIdentity::of(path);
            return now.sameFile(left) && now.sameContent(left);
        }
        if (!mark->placed || m_planning)
            return mark->placed;
        // Put back by an undo step, which changed its change time.
        const FileIdentity now = FileIdentity::of(path);
        return now.sameFile(mark->identity) && now.sameContent(left);
    }

    bool isFree(const QByteArray &path) const
    {
        const auto mark = m_marks.constFind(path);
        if (m_planning && mark != m_marks.cend())
            return !mark->placed;
        struct stat st = {};
        return ::lstat(path.constData(), &st) != 0 && errno == ENOENT;
    }

    void mark(const QByteArray &path, bool placed)
    {
        if (m_journal.namedTwice(path))
            m_marks.insert(path, {placed, placed && !m_planning ? FileIdentity::of(path) : FileIdentity()});
    }

    const JournalReader &m_journal;
    const bool m_planning;
    QHash<QByteArray, Mark> m_marks;
};

QString shown(const QByteArray &path)
{
    return record_texts::escapeName(nameFromNative(path));
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

// Moves `from` to `to` without replacing anything, through the Trash's own rename; a file kept
// on another file system (in the home trash, for one whose own trash could not take it) comes
// back by the run's own move.
QString restoreFromTrash(const QByteArray &from, const QByteArray &to, safe_copy::Session &session)
{
    try {
        Trash::restore(from, to);
        return trueResult();
    } catch (const Failure &failure) {
        if (failure.number() == failure_no::FileExists)
            return reportedFailure(failure, folderOf(to));
    }
    safe_copy::Outcome outcome;
    const QString result = sc_CopyFile(
        nameOf(from), folderOf(from), nameOf(to), folderOf(to), true, session, outcome, nullptr, false);
    if (outcome.sourceRemoved)
        ::unlink(Trash::infoFileOf(from).constData());
    return result;
}

QString removeToTrash(Trash &trash, const QByteArray &path, QByteArray &kept)
{
    try {
        kept = trash.keep(path);
    } catch (const Failure &failure) {
        return reportedFailure(failure, folderOf(path));
    }
    if (::unlink(path.constData()) != 0) {
        const Failure failure = Failure::fromErrno(errno, path);
        ::unlink(kept.constData());
        return reportedFailure(failure, folderOf(path));
    }
    return trueResult();
}

// Does one step and logs it; answers whether it was done.
bool doStep(const UndoStep &step, TransferLog &log, Trash &trash, safe_copy::Session &session)
{
    StepRecords records(log, step.from);
    QString result;
    QByteArray to = step.to;
    if (step.kind == Kind::MoveBack) {
        safe_copy::Outcome outcome;
        result = sc_CopyFile(nameOf(step.from), folderOf(step.from), nameOf(step.to), folderOf(step.to), true,
            session, outcome, nullptr, false);
    } else if (step.kind == Kind::RemoveCopy) {
        result = removeToTrash(trash, step.from, to);
    } else {
        result = restoreFromTrash(step.from, step.to, session);
    }
    records.result(to.isEmpty() ? step.from : to, result);
    return result == trueResult();
}

QString listed(const UndoPlan &plan)
{
    QStringList lines;
    for (const UndoStep &step : plan.listed)
        lines.append(undo_texts::step(step));
    if (plan.steps > plan.listed.size())
        lines.append(QStringLiteral("\u2026 and %L1 more").arg(plan.steps - plan.listed.size()));
    return lines.join(QStringLiteral("\r\n"));
}

} // namespace

Undo::Undo()
    : m_lock(false)
{
    if (m_lock.busy()) {
        m_plan.journal = UndoPlan::Journal::Busy;
        return;
    }
    m_journal = std::make_unique<JournalReader>();
    const JournalReader::State state = m_journal->state();
    m_plan.unrecorded = m_journal->unrecordedNumber();
    m_plan.journal = state == JournalReader::State::Usable ? UndoPlan::Journal::Usable
        : state == JournalReader::State::Unrecorded        ? UndoPlan::Journal::Unrecorded
        : state == JournalReader::State::Broken            ? UndoPlan::Journal::Broken
                                                           : UndoPlan::Journal::Nothing;
    try {
        Walk walk(*m_journal, true);
        m_journal->rewind();
        JournalEntry entry;
        while (m_journal->previous(entry)) {
            for (const UndoStep &step : walk.decide(entry)) {
                ++m_plan.steps;
                if (step.kind != Kind::LeaveAlone) {
                    ++m_plan.doable;
                    walk.done(step);
                }
                if (m_plan.listed.size() < ListedUndoSteps)
                    m_plan.listed.append(step);
            }
        }
    } catch (const JournalReader::Changed &) {
        m_plan = {};
        m_plan.journal = UndoPlan::Journal::Broken;
    }
}

Undo::~Undo() = default;

qint64 Undo::perform()
{
    if (m_plan.journal != UndoPlan::Journal::Usable)
        return 0;
    TransferLog log;
    Trash trash;
    safe_copy::Session session;
    Walk walk(*m_journal, false);
    m_journal->rewind();
    qint64 done = 0;
    JournalEntry entry;
    while (m_journal->previous(entry)) {
        // A file the run replaced comes back only where its replacement went.
        bool going = true;
        for (const UndoStep &step : walk.decide(entry)) {
            if (step.kind == Kind::LeaveAlone || !going)
                continue;
            going = doStep(step, log, trash, session);
            if (going) {
                walk.done(step);
                ++done;
            }
        }
    }
    endJournal();
    return done;
}

namespace undo_texts {

QString step(const UndoStep &step)
{
    switch (step.kind) {
    case Kind::MoveBack:
        return QStringLiteral("Move back: ") + shown(step.from) + QStringLiteral(" to ") + shown(step.to);
    case Kind::RemoveCopy:
        return QStringLiteral("Remove the copy to the Trash: ") + shown(step.from);
    case Kind::RestoreReplaced:
        return QStringLiteral("Restore from the Trash: ") + shown(step.to);
    case Kind::LeaveAlone:
        break;
    }
    static const char *const Whys[] = {"Changed since the run", "Its source name is taken again",
        "The file it replaced is no longer in the Trash", "The file it replaced could not be kept",
        "Not in a folder of the run's entries", "The file it replaced is not in the Trash the run used"};
    return QLatin1String(Whys[int(step.why)]) + QStringLiteral(" \u2014 left as it is: ") + shown(step.from);
}

QString unusable(const UndoPlan &plan)
{
    switch (plan.journal) {
    case UndoPlan::Journal::Unrecorded: {
        const Failure why(plan.unrecorded);
        return QStringLiteral("The last run could not be recorded, so it cannot be undone: ")
            + why.description() + QStringLiteral(" (") + QString::number(why.number()) + QStringLiteral(").");
    }
    case UndoPlan::Journal::Broken:
        return QStringLiteral("The journal of the last run fails its check: it was changed after the run, or "
                              "its key is gone. It is not used.");
    case UndoPlan::Journal::Busy:
        return QStringLiteral("A transfer run or another undo is under way. Try again when it has ended.");
    default:
        return {};
    }
}

QString nothingToUndo(const UndoPlan &plan)
{
    return QStringLiteral("The last run left nothing to undo.")
        + (plan.listed.isEmpty() ? QString() : QStringLiteral("\r\n\r\n") + listed(plan));
}

QString question(const UndoPlan &plan)
{
    return QStringLiteral("Undo the last run?\r\n\r\n") + listed(plan);
}

QString changedMeanwhile()
{
    return QStringLiteral("The journal of the last run changed while it was undone: the undo stopped there.");
}

QString done(qint64 done, qint64 doable)
{
    return QStringLiteral("The last run has been undone: %L1 of %L2 steps done.").arg(done).arg(doable);
}

} // namespace undo_texts

void sc_UndoLastRun()
{
    try {
        Undo undo;
        const UndoPlan &plan = undo.plan();
        const QString unusable = undo_texts::unusable(plan);
        if (!unusable.isEmpty()) {
            showMessage(unusable, app_info::title(), MsgIcon::Exclamation);
            return;
        }
        if (plan.doable == 0) {
            showMessage(undo_texts::nothingToUndo(plan), app_info::title(), MsgIcon::Information);
            return;
        }
        if (!confirm(undo_texts::question(plan)))
            return;
        const qint64 done = undo.perform();
        showMessage(undo_texts::done(done, plan.doable), QStringLiteral("Complete"), MsgIcon::Information);
    } catch (const Failure &failure) {
        // The journal cannot be read, or the log cannot be written: nothing more is undone
        // without its record.
        reportPlace(failure, QStringLiteral("Undo Last Run"));
    } catch (const JournalReader::Changed &) {
        showMessage(undo_texts::changedMeanwhile(), app_info::title(), MsgIcon::Exclamation);
    }
}

} // namespace quillfen
