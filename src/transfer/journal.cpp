#include "journal.h"

#include "platform/failure.h"
#include "platform/native_names.h"
#include "platform/raw_file.h"

#include <QDir>

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <unistd.h>

namespace quillfen {

namespace {

const QByteArray Heading = "Quillfen journal 1\n";

// A path as one field of a line: the bytes that would end the field or the line, and "%"
// itself, as %XX; everything else as it is. Plain runs are copied whole: a run adds a line a file.
void appendField(QByteArray &line, const QByteArray &path)
{
    static const char Hex[] = "0123456789ABCDEF";
    qsizetype plain = 0;
    for (qsizetype k = 0; k < path.size(); ++k) {
        const auto byte = static_cast<unsigned char>(path[k]);
        if (byte >= 0x20 && byte != '%' && byte != 0x7F)
            continue;
        line.append(path.constData() + plain, k - plain);
        const char escaped[] = {'%', Hex[byte >> 4], Hex[byte & 0xF]};
        line.append(escaped, 3);
        plain = k + 1;
    }
    line.append(path.constData() + plain, path.size() - plain);
}

void appendNumber(QByteArray &line, qint64 number, char after)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    line.append(digits, end - digits);
    line.append(after);
}

QByteArray lineOf(const JournalEntry &entry)
{
    QByteArray line;
    line.reserve(entry.source.size() + entry.dest.size() + entry.replacedTo.size() + 64);
    line.append(entry.action == JournalEntry::Action::Move ? "M\t" : "C\t");
    appendField(line, entry.source);
    line.append('\t');
    appendField(line, entry.dest);
    line.append('\t');
    appendNumber(line, entry.size, '\t');
    appendNumber(line, qint64(entry.modified.tv_sec), '.');
    appendNumber(line, qint64(entry.modified.tv_nsec), '\t');
    if (entry.replaced == JournalEntry::Replaced::Kept)
        appendField(line, entry.replacedTo);
    else
        line.append(entry.replaced == JournalEntry::Replaced::Lost ? '!' : '-');
    line.append('\n');
    return line;
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

bool JournalWriter::entryFor(bool move, const safe_copy::Outcome &outcome, JournalEntry &entry)
{
    if (!outcome.placed)
        return false;
    entry.action = move && outcome.sourceRemoved ? JournalEntry::Action::Move : JournalEntry::Action::Copy;
    entry.source = outcome.source;
    entry.dest = outcome.dest;
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
