#include "journal.h"

#include "platform/failure.h"
#include "platform/native_names.h"
#include "platform/raw_file.h"

#include <QDir>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace quillfen {

namespace {

const QByteArray Heading = "Quillfen journal 1\n";

QByteArray field(const QByteArray &path)
{
    return path.toPercentEncoding("/");
}

QByteArray lineOf(const JournalEntry &entry)
{
    const QByteArray replaced = entry.replaced == JournalEntry::Replaced::Nothing ? QByteArray("-")
        : entry.replaced == JournalEntry::Replaced::Lost                          ? QByteArray("!")
                                                                                  : field(entry.replacedTo);
    return (entry.action == JournalEntry::Action::Move ? "M\t" : "C\t") + field(entry.source) + '\t'
        + field(entry.dest) + '\t' + QByteArray::number(entry.size) + '\t'
        + QByteArray::number(qint64(entry.modified.tv_sec)) + '.'
        + QByteArray::number(qint64(entry.modified.tv_nsec)) + '\t' + replaced + '\n';
}

bool parseLine(const QByteArray &line, JournalEntry &entry)
{
    const QList<QByteArray> parts = line.split('\t');
    if (parts.size() != 6 || (parts[0] != "C" && parts[0] != "M"))
        return false;
    const QList<QByteArray> time = parts[4].split('.');
    bool sizeOk = false, secondsOk = false, nanosOk = false;
    entry.action = parts[0] == "M" ? JournalEntry::Action::Move : JournalEntry::Action::Copy;
    entry.source = QByteArray::fromPercentEncoding(parts[1]);
    entry.dest = QByteArray::fromPercentEncoding(parts[2]);
    entry.size = parts[3].toLongLong(&sizeOk);
    entry.modified.tv_sec = time.value(0).toLongLong(&secondsOk);
    entry.modified.tv_nsec = time.value(1).toLong(&nanosOk);
    entry.replaced = parts[5] == "-" ? JournalEntry::Replaced::Nothing
        : parts[5] == "!"            ? JournalEntry::Replaced::Lost
                                     : JournalEntry::Replaced::Kept;
    entry.replacedTo = entry.replaced == JournalEntry::Replaced::Kept
        ? QByteArray::fromPercentEncoding(parts[5])
        : QByteArray();
    return sizeOk && secondsOk && nanosOk && time.size() == 2 && !entry.source.isEmpty()
        && !entry.dest.isEmpty();
}

} // namespace

QString journalPath()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/Quillfen/lastrun.journal");
}

JournalWriter::JournalWriter()
{
    start();
}

JournalWriter::~JournalWriter()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

// The new journal takes the old one's place whole, then grows line by line.
void JournalWriter::start()
{
    m_path = nativePath(journalPath());
    try {
        raw_file::makeFolderPath(raw_file::folderPart(m_path));
        raw_file::replaceWhole(journalPath(), Heading);
    } catch (const Failure &) {
        return;
    }
    m_fd = ::open(m_path.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
}

void JournalWriter::add(const JournalEntry &entry)
{
    if (m_fd < 0)
        return;
    try {
        raw_file::writeAll(m_fd, lineOf(entry), m_path);
    } catch (const Failure &) {
        // A journal with a gap would undo the wrong things: it ends here.
        ::close(m_fd);
        m_fd = -1;
    }
}

bool JournalWriter::entryFor(bool move, const QByteArray &source, const QByteArray &dest,
    const safe_copy::Outcome &outcome, JournalEntry &entry)
{
    if (!outcome.placed)
        return false;
    entry.action = move && outcome.sourceRemoved ? JournalEntry::Action::Move : JournalEntry::Action::Copy;
    entry.source = source;
    entry.dest = dest;
    entry.size = outcome.size;
    entry.modified = outcome.modified;
    entry.replaced = !outcome.replaced ? JournalEntry::Replaced::Nothing
        : outcome.replacedKept         ? JournalEntry::Replaced::Kept
                                       : JournalEntry::Replaced::Lost;
    entry.replacedTo = outcome.replacedTo;
    return true;
}

void clearJournal()
{
    raw_file::replaceWhole(journalPath(), Heading);
}

QList<JournalEntry> readJournal(const QString &path)
{
    QByteArray bytes;
    try {
        bytes = raw_file::readPlainFile(path);
    } catch (const Failure &failure) {
        if (failure.number() == failure_no::FileNotFound || failure.number() == failure_no::PathNotFound)
            return {};
        throw;
    }
    QList<JournalEntry> entries;
    if (!bytes.startsWith(Heading))
        return entries;
    qsizetype start = Heading.size();
    for (;;) {
        const qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            break; // a line without its end was cut short
        JournalEntry entry;
        if (parseLine(bytes.mid(start, end - start), entry))
            entries.append(entry);
        start = end + 1;
    }
    return entries;
}

} // namespace quillfen
