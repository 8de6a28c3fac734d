#include "transfer_run.h"

#include "copy_ahead.h"
#include "file_routines.h"
#include "record_texts.h"

#include "platform/host.h"
#include "platform/native_names.h"

namespace quillfen {

namespace {

// The entry's choice where the name turns out to be taken as the file is placed.
safe_copy::Taken takenFor(const PlannedFile &file)
{
    using Choice = safe_copy::Taken::Choice;
    if (file.conflict == Conflict::KeepBoth)
        return {Choice::KeepBoth, file.number};
    return {file.conflict == Conflict::Skip ? Choice::Refuse : Choice::Replace};
}

// Where both are kept, the name the file got, which may lie beyond the one planned.
QString nameGot(const PlannedFile &file, const safe_copy::Outcome &outcome)
{
    if (file.conflict != Conflict::KeepBoth || !outcome.placed)
        return file.destName;
    return nameFromNative(outcome.dest.mid(raw_file::folderPart(outcome.dest).size()));
}

} // namespace

// Acts on each planned file as it comes: begin, copy or move, result; or a skip record.
class TransferRun::Actor final : public Planner::Visitor
{
public:
    Actor(RunObserver &observer, bool keepReplaced, const EntryList &entries)
        : m_observer(observer)
        , m_log(&observer)
        , m_ahead(m_session)
        , m_journal(entries)
    {
        m_session.progress = [this](qint64 done, qint64 total) { m_observer.bytesCopied(done, total); };
        if (keepReplaced)
            m_session.trash = &m_trash;
        m_session.ahead = &m_ahead;
    }

    void filesPlanned(int count) override { m_observer.filesPlanned(count); }
    void filesListed(const PlannedListing &listing) override { m_ahead.expect(listing); }
    void fileStarting(const QString &sourcePath) override { m_observer.fileStarted(sourcePath); }

    bool file(const PlannedFile &file) override
    {
        using AtName = PlannedFile::AtName;
        const QString label = record_texts::actionLabel(file.move);
        FileEnd end {FileEnd::Kind::Skipped, file.source.file.st_size, file.move};
        if (!file.passes) {
            m_log.sc_WriteLog(record_texts::skip(label, file.sourceFolder, file.name, host::nowText()));
        } else if (file.atName == AtName::SkipTaken || file.atName == AtName::SkipIdentical) {
            m_log.sc_WriteLog(record_texts::nameTaken(label, file.sourceFolder, file.name,
                file.destFolder + file.name, file.atName == AtName::SkipIdentical, host::nowText()));
        } else {
            m_log.sc_WriteLog(record_texts::begin(label, file.sourceFolder, file.name, host::nowText()));
            safe_copy::Outcome outcome;
            const CopyResult copied = sc_CopyFile(file.name, file.sourceFolder, file.name, file.destFolder,
                file.move, m_session, outcome, &file.source, takenFor(file), int(file.dated));
            if (copied.failure)
                m_observer.report(copied.report());
            JournalEntry done;
            if (JournalWriter::entryFor(file.move, outcome, done))
                m_journal.add(done);
            const QString result = record_texts::outcome(label, copied, file.sourceFolder);
            m_log.sc_WriteLog(
                record_texts::result(file.destFolder, nameGot(file, outcome), result, host::nowText()));
            end.kind = copied.done() ? FileEnd::Kind::Done : FileEnd::Kind::Failed;
        }
        m_observer.fileFinished(end);
        return end.kind == FileEnd::Kind::Done;
    }

private:
    RunObserver &m_observer;
    TransferLog m_log;
    Trash m_trash;
    safe_copy::Session m_session;
    CopyAhead m_ahead; // what it made and did not place goes before the session
    JournalWriter m_journal;
};

TransferRun::TransferRun(RunObserver &observer)
    : m_observer(observer)
{
}

void TransferRun::sc_TransferFiles()
{
    const Restriction restriction = readRestriction();
    for (const Report &report : m_values.load())
        m_observer.report(report);
    m_open = true;
    Actor actor(m_observer, m_values.keepReplaced, m_values.entries);
    Planner(m_values.entries).walk(restriction, actor);
    close();
}

void TransferRun::close()
{
    if (!m_open)
        return;
    m_open = false;
    for (const Report &report : m_values.close())
        m_observer.report(report);
}

} // namespace quillfen
