#include "transfer_run.h"

#include "file_routines.h"
#include "record_texts.h"

#include "platform/host.h"
#include "platform/native_names.h"

namespace quillfen {

// Acts on each planned file as it comes: begin, copy or move, result; or a skip record.
class TransferRun::Actor final : public Planner::Visitor
{
public:
    Actor(RunObserver &observer, bool keepReplaced, const EntryList &entries)
        : m_observer(observer)
        , m_log(&observer)
        , m_journal(entries)
    {
        m_session.progress = [this](qint64 done, qint64 total) { m_observer.bytesCopied(done, total); };
        if (keepReplaced)
            m_session.trash = &m_trash;
    }

    void filesPlanned(int count) override { m_observer.filesPlanned(count); }
    void fileStarting(const QString &sourcePath) override { m_observer.fileStarted(sourcePath); }

    void file(const PlannedFile &file) override
    {
        const QString label = record_texts::actionLabel(file.move);
        FileEnd end {FileEnd::Kind::Done, file.source.file.st_size, file.move};
        if (file.passes) {
            m_log.sc_WriteLog(record_texts::begin(label, file.sourceFolder, file.name, host::nowText()));
            safe_copy::Outcome outcome;
            const CopyResult copied = sc_CopyFile(file.name, file.sourceFolder, file.name, file.destFolder,
                file.move, m_session, outcome, &file.source);
            if (copied.failure)
                m_observer.report(copied.report());
            JournalEntry done;
            if (JournalWriter::entryFor(file.move, outcome, done))
                m_journal.add(done);
            const QString result = record_texts::outcome(label, copied, file.sourceFolder);
            m_log.sc_WriteLog(record_texts::result(file.destFolder, file.name, result, host::nowText()));
            end.kind = copied.done() ? FileEnd::Kind::Done : FileEnd::Kind::Failed;
        } else {
            m_log.sc_WriteLog(record_texts::skip(label, file.sourceFolder, file.name, host::nowText()));
            end.kind = FileEnd::Kind::Skipped;
        }
        m_observer.fileFinished(end);
    }

private:
    RunObserver &m_observer;
    TransferLog m_log;
    Trash m_trash;
    safe_copy::Session m_session;
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
