#include "undo.h"

#include "file_routines.h"
#include "record_texts.h"
#include "transfer_log.h"

#include "platform/failure.h"
#include "platform/host.h"
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
// Undo puts a file back only where its name is free.
const safe_copy::Taken NeverReplace {safe_copy::Taken::Choice::Refuse};

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
    void result(const QByteArray &to, const CopyResult &copyResult)
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
CopyResult restoreFromTrash(const QByteArray &from, const QByteArray &to, safe_copy::Session &session)
{
    try {
        Trash::restore(from, to);
        return {};
    } catch (const Failure &failure) {
        if (failure.number() == failure_no::FileExists)
            return CopyResult::failed(failure, folderOf(to));
    }
    safe_copy::Outcome outcome;
    const CopyResult result = sc_CopyFile(nameOf(from), folderOf(from), nameOf(to), folderOf(to), true,
        session, outcome, nullptr, NeverReplace);
    if (outcome.sourceRemoved)
        ::unlink(Trash::infoFileOf(from).constData());
    return result;
}

CopyResult removeToTrash(Trash &trash, const QByteArray &path, QByteArray &kept)
{
    try {
        kept = trash.keep(path);
    } catch (const Failure &failure) {
        return CopyResult::failed(failure, folderOf(path));
    }
    if (::unlink(path.constData()) != 0) {
        const Failure failure = Failure::fromErrno(errno, path);
        ::unlink(kept.constData());
        return CopyResult::failed(failure, folderOf(path));
    }
    return {};
}

// Does one step and logs it; answers whether it was done.
bool doStep(
    const UndoStep &step, TransferLog &log, Trash &trash, safe_copy::Session &session, RunObserver &observer)
{
    StepRecords records(log, step.from);
    CopyResult result;
    QByteArray to = step.to;
    if (step.kind == Kind::MoveBack) {
        safe_copy::Outcome outcome;
        result = sc_CopyFile(nameOf(step.from), folderOf(step.from), nameOf(step.to), folderOf(step.to), true,
            session, outcome, nullptr, NeverReplace);
    } else if (step.kind == Kind::RemoveCopy) {
        result = removeToTrash(trash, step.from, to);
    } else {
        result = restoreFromTrash(step.from, step.to, session);
    }
    if (result.failure)
        observer.report(result.report());
    records.result(to.isEmpty() ? step.from : to, result);
    return result.done();
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
        : state == JournalReader::State::OtherVersion      ? UndoPlan::Journal::OtherVersion
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

qint64 Undo::perform(RunObserver &observer)
{
    if (m_plan.journal != UndoPlan::Journal::Usable)
        return 0;
    TransferLog log(&observer);
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
            going = doStep(step, log, trash, session, observer);
            if (going) {
                walk.done(step);
                ++done;
            }
        }
    }
    endJournal();
    return done;
}

} // namespace quillfen
