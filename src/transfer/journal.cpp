#include "journal.h"

#include "platform/failure.h"
#include "platform/native_names.h"

#include <QDir>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillfen {

namespace {

using raw_file::Descriptor;

const QByteArray Family = "Quillfen journal ";
const QByteArray Version = "3";
const QByteArray Heading = Family + Version;
// What stands in a journal's place when it offers nothing to undo.
const QByteArray UnrecordedMark = Heading + " unrecorded ";
const QByteArray UndoneMark = Heading + " undone";

// The version that a journal's first line names; empty when it names none.
QByteArray versionOf(const QByteArray &line)
{
    if (!line.startsWith(Family))
        return {};
    const QByteArray rest = line.mid(Family.size());
    return rest.left(rest.indexOf(rest.contains('\t') ? '\t' : ' '));
}

constexpr qsizetype KeySize = 32;
constexpr qint64 ReadChunk = 64 << 10;
// No line of a journal is longer: two paths and a path in the Trash, each escaped.
constexpr qsizetype LongestLine = 1 << 20;

QString stateFolder()
{
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/Quillfen/");
}

[[noreturn]] void fail(int err, const QByteArray &path)
{
    throw Failure::fromErrno(err, path);
}

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

void appendIdentity(QByteArray &line, const FileIdentity &identity)
{
    const qint64 numbers[] = {qint64(identity.device), qint64(identity.inode), identity.size,
        qint64(identity.modified.tv_sec), qint64(identity.modified.tv_nsec), qint64(identity.changed.tv_sec),
        qint64(identity.changed.tv_nsec)};
    for (const qint64 number : numbers) {
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
        line.append(digits, end - digits);
        line.append(':');
    }
    line.chop(1);
}

bool parseIdentity(const QByteArray &text, FileIdentity &identity)
{
    const QList<QByteArray> parts = text.split(':');
    qint64 numbers[7] = {};
    for (qsizetype k = 0; k < 7; ++k) {
        bool ok = false;
        numbers[k] = parts.value(k).toLongLong(&ok);
        if (!ok || parts.size() != 7)
            return false;
    }
    identity = {quint64(numbers[0]), quint64(numbers[1]), numbers[2], {time_t(numbers[3]), long(numbers[4])},
        {time_t(numbers[5]), long(numbers[6])}};
    return true;
}

QByteArray stepText(const JournalEntry &entry)
{
    QByteArray text;
    text.reserve(entry.source.size() + entry.dest.size() + entry.replacedTo.size() + 200);
    text.append(entry.action == JournalEntry::Action::Move ? "M\t" : "C\t");
    appendField(text, entry.source);
    text.append('\t');
    appendField(text, entry.dest);
    text.append('\t');
    appendIdentity(text, entry.placed);
    text.append('\t');
    if (entry.replaced == JournalEntry::Replaced::Kept) {
        appendField(text, entry.replacedTo);
        text.append('\t');
        appendIdentity(text, entry.kept);
    } else {
        text.append(entry.replaced == JournalEntry::Replaced::Lost ? "!\t-" : "-\t-");
    }
    return text;
}

bool parseStep(const QByteArray &text, JournalEntry &entry)
{
    const QList<QByteArray> parts = text.split('\t');
    if (parts.size() != 6 || (parts[0] != "C" && parts[0] != "M"))
        return false;
    entry.action = parts[0] == "M" ? JournalEntry::Action::Move : JournalEntry::Action::Copy;
    entry.source = QByteArray::fromPercentEncoding(parts[1]);
    entry.dest = QByteArray::fromPercentEncoding(parts[2]);
    entry.replaced = parts[4] == "-" ? JournalEntry::Replaced::Nothing
        : parts[4] == "!"            ? JournalEntry::Replaced::Lost
                                     : JournalEntry::Replaced::Kept;
    const bool kept = entry.replaced == JournalEntry::Replaced::Kept;
    entry.replacedTo = kept ? QByteArray::fromPercentEncoding(parts[4]) : QByteArray();
    entry.kept = {};
    return parseIdentity(parts[3], entry.placed) && (!kept || parseIdentity(parts[5], entry.kept))
        && !entry.source.isEmpty() && !entry.dest.isEmpty();
}

// The user's key for the journal's checks, which only the user can read; a new one is made
// when `make` and there is none (or one that others could read).
QByteArray journalKey(bool make)
{
    const QByteArray path = nativePath(stateFolder() + QStringLiteral("journal.key"));
    {
        const Descriptor fd(
            ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
        struct stat st = {};
        char key[KeySize + 1];
        if (fd.get() >= 0 && ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::getuid()
            && (st.st_mode & 077) == 0 && ::read(fd.get(), key, sizeof key) == KeySize)
            return QByteArray(key, KeySize);
    }
    if (!make)
        return {};
    QByteArray key(KeySize, Qt::Uninitialized);
    QRandomGenerator::system()->fillRange(reinterpret_cast<quint32 *>(key.data()), KeySize / 4);
    raw_file::TempFile temp(path, 0600);
    raw_file::writeAll(temp.fd(), key, path);
    if (::fsync(temp.fd()) != 0)
        fail(errno, path);
    temp.renameOver(path);
    // On disk before a journal is signed with it: a journal without its key is refused whole.
    raw_file::syncName(path);
    return key;
}

// Makes the journal say `mark` and nothing more: written over its first bytes, which needs
// neither room on the disk nor a writable folder; else it is removed.
void retire(const QByteArray &mark)
{
    const QByteArray path = nativePath(journalPath());
    const QByteArray line = mark + '\n';
    const Descriptor fd(::open(path.constData(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
    struct stat st = {};
    if (fd.get() >= 0 && ::fstat(fd.get(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= line.size()
        && ::pwrite(fd.get(), line.constData(), size_t(line.size()), 0) == line.size()
        && ::ftruncate(fd.get(), line.size()) == 0 && ::fsync(fd.get()) == 0)
        return;
    ::unlink(path.constData());
}

bool nameIn(const QSet<QByteArray> &folders, const QByteArray &path)
{
    const QByteArray folder = raw_file::folderPart(path);
    const QByteArray name = path.mid(folder.size());
    return !name.isEmpty() && name != "." && name != ".." && folders.contains(folder);
}

size_t hashOf(const QByteArray &path)
{
    return qHash(path, 0);
}

} // namespace

// A BLAKE2 hash with the key in front is a sound keyed check (no message can be extended from
// a known check), at a quarter of what HMAC with SHA-256 costs a line.
void LineCheck::setKey(const QByteArray &key)
{
    m_keyBlock = key;
    m_keyBlock.resize(128, '\0');
}

// So that no line can be changed, left out or moved elsewhere without the key.
QByteArray LineCheck::of(const QByteArray &before, const QByteArray &text)
{
    m_hash.reset();
    m_hash.addData(m_keyBlock);
    m_hash.addData(before);
    m_hash.addData(text);
    return m_hash.resultView().first(16).toByteArray().toHex();
}

FileIdentity FileIdentity::of(const QByteArray &path)
{
    struct stat st = {};
    if (::lstat(path.constData(), &st) != 0)
        return {};
    return {quint64(st.st_dev), quint64(st.st_ino), qint64(st.st_size), st.st_mtim, st.st_ctim};
}

bool FileIdentity::sameContent(const FileIdentity &other) const
{
    return present() && size == other.size && modified.tv_sec == other.modified.tv_sec
        && modified.tv_nsec == other.modified.tv_nsec;
}

bool FileIdentity::sameFile(const FileIdentity &other) const
{
    return present() && device == other.device && inode == other.inode
        && changed.tv_sec == other.changed.tv_sec && changed.tv_nsec == other.changed.tv_nsec;
}

QString journalPath()
{
    return stateFolder() + QStringLiteral("lastrun.journal");
}

JournalLock::JournalLock(bool wait)
{
    const QByteArray path = nativePath(stateFolder() + QStringLiteral("lastrun.lock"));
    try {
        raw_file::makeFolderPath(raw_file::folderPart(path));
    } catch (const Failure &) {
        return;
    }
    m_fd = Descriptor(::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (m_fd.get() < 0)
        m_fd = Descriptor(::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    while (m_fd.get() >= 0 && ::flock(m_fd.get(), LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
        if (errno != EINTR) {
            m_busy = errno == EWOULDBLOCK;
            return;
        }
    }
}

JournalWriter::JournalWriter(const EntryList &entries)
    : m_lock(true)
{
    try {
        start(entries);
    } catch (const Failure &failure) {
        giveUp(failure);
    }
}

// The new journal takes the old one's place whole, with the run's folders, then grows line by
// line.
void JournalWriter::start(const EntryList &entries)
{
    m_path = nativePath(journalPath());
    raw_file::makeFolderPath(raw_file::folderPart(m_path));
    m_mac.setKey(journalKey(true));
    const quint64 nonce[2]
        = {QRandomGenerator::system()->generate64(), QRandomGenerator::system()->generate64()};
    QByteArray bytes
        = line(Heading + '\t' + QByteArray(reinterpret_cast<const char *>(nonce), sizeof nonce).toHex());
    for (int k = 0; k < entries.count(); ++k) {
        bytes += folderLine(raw_file::folderPart(nativePath(entries.paths.at(k) + QLatin1Char('x'))));
        const QByteArray dest = raw_file::folderPart(nativePath(entries.dests.at(k) + QLatin1Char('x')));
        m_destinations.insert(dest);
        bytes += folderLine(dest);
    }
    raw_file::replaceWhole(journalPath(), bytes);
    m_fd = Descriptor(::open(m_path.constData(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NOFOLLOW));
    if (m_fd.get() < 0)
        fail(errno, m_path);
}

QByteArray JournalWriter::line(const QByteArray &text)
{
    m_check = m_mac.of(m_check, text);
    return text + '\t' + m_check + '\n';
}

// A journal with a gap would undo the wrong things: it ends here, saying why.
void JournalWriter::giveUp(const Failure &why)
{
    m_fd = Descriptor();
    retire(UnrecordedMark + QByteArray::number(why.number()));
}

// The line that names `folder` as one of the run's, the first time only.
QByteArray JournalWriter::folderLine(const QByteArray &folder)
{
    if (m_folders.contains(folder))
        return {};
    m_folders.insert(folder);
    QByteArray text = "F\t";
    appendField(text, folder);
    return line(text);
}

void JournalWriter::add(const JournalEntry &entry)
{
    if (m_fd.get() < 0)
        return;
    try {
        // A dated folder below an entry's destination is named as the run first writes there;
        // no other folder is ever named.
        const QByteArray folder = raw_file::folderPart(entry.dest);
        QByteArray above = folder;
        for (int level = 0; level < 3 && !m_destinations.contains(above) && above.size() > 1; ++level)
            above = raw_file::folderPart(above.chopped(1));
        QByteArray bytes = m_destinations.contains(above) ? folderLine(folder) : QByteArray();
        const QByteArray trash = raw_file::folderPart(entry.replacedTo);
        if (entry.replaced == JournalEntry::Replaced::Kept && !m_trashes.contains(trash)) {
            m_trashes.insert(trash);
            QByteArray text = "T\t";
            appendField(text, trash);
            bytes += line(text);
        }
        bytes += line(stepText(entry));
        raw_file::writeAll(m_fd.get(), bytes, m_path);
    } catch (const Failure &failure) {
        giveUp(failure);
    }
}

bool JournalWriter::entryFor(bool move, const safe_copy::Outcome &outcome, JournalEntry &entry)
{
    if (!outcome.placed)
        return false;
    entry.action = move && outcome.sourceRemoved ? JournalEntry::Action::Move : JournalEntry::Action::Copy;
    entry.source = outcome.source;
    entry.dest = outcome.dest;
    entry.placed = FileIdentity::of(outcome.dest);
    entry.replaced = !outcome.replaced ? JournalEntry::Replaced::Nothing
        : outcome.replacedKept         ? JournalEntry::Replaced::Kept
                                       : JournalEntry::Replaced::Lost;
    entry.replacedTo = outcome.replacedTo;
    entry.kept = outcome.replacedKept ? FileIdentity::of(outcome.replacedTo) : FileIdentity();
    return true;
}

JournalReader::JournalReader(const QString &path)
{
    const QByteArray native = nativePath(path);
    m_fd = Descriptor(::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY));
    if (m_fd.get() < 0) {
        if (errno != ENOENT)
            fail(errno, native);
        return;
    }
    struct stat st = {};
    if (::fstat(m_fd.get(), &st) != 0)
        fail(errno, native);
    if (!S_ISREG(st.st_mode))
        raw_file::failNotPlainFile();
    std::vector<size_t> paths;
    char buffer[ReadChunk];
    QByteArray pending;
    qint64 offset = 0; // of pending's first byte
    bool going = true;
    while (going) {
        const ssize_t got = ::read(m_fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            fail(errno, native);
        if (got == 0)
            break;
        // What a crash left unwritten reads as zeros, which no line holds: the journal ends there.
        const auto *zero = static_cast<const char *>(std::memchr(buffer, '\0', size_t(got)));
        pending.append(buffer, zero ? zero - buffer : got);
        going = !zero;
        if (pending.size() > LongestLine + ReadChunk) {
            m_state = State::Broken;
            return;
        }
        qsizetype start = 0;
        for (qsizetype end = 0; (end = pending.indexOf('\n', start)) >= 0; start = end + 1) {
            if (!take(pending.mid(start, end - start), paths)) {
                going = false;
                break;
            }
            m_end = offset + end + 1;
        }
        pending.remove(0, start);
        offset += start;
    }
    if (m_state != State::Usable)
        return;
    std::sort(paths.begin(), paths.end());
    for (size_t k = 1; k < paths.size(); ++k) {
        if (paths[k] == paths[k - 1] && (m_twice.empty() || m_twice.back() != paths[k]))
            m_twice.push_back(paths[k]);
    }
}

// Takes in one whole line while the journal is checked; false when nothing more is to be read.
bool JournalReader::take(const QByteArray &line, std::vector<size_t> &paths)
{
    const qsizetype cut = line.lastIndexOf('\t');
    const QByteArray text = line.left(cut);
    const bool heading = m_state == State::Nothing;
    if (heading) {
        QByteArray key;
        const QByteArray version = versionOf(line);
        if (!version.isEmpty() && version != Version) {
            // Another version's lines are checked and read in another way.
            m_state = line.endsWith(" undone") ? State::Nothing : State::OtherVersion;
            return false;
        }
        if (line.startsWith(UnrecordedMark)) {
            m_state = State::Unrecorded;
            m_unrecorded = line.mid(UnrecordedMark.size()).toInt();
        } else if (line != UndoneMark) {
            m_state = State::Broken;
            key = journalKey(false);
        }
        if (m_state != State::Broken || !text.startsWith(Heading + '\t') || key.isEmpty())
            return false;
        m_mac.setKey(key);
    }
    if (cut < 0 || m_mac.of(m_check, text) != line.mid(cut + 1)) {
        m_state = State::Broken;
        return false;
    }
    m_check = line.mid(cut + 1);
    m_state = State::Usable;
    JournalEntry entry;
    if (text.startsWith("F\t") || text.startsWith("T\t")) {
        (text[0] == 'F' ? m_folders : m_trashes).insert(QByteArray::fromPercentEncoding(text.mid(2)));
    } else if (parseStep(text, entry)) {
        paths.push_back(hashOf(entry.source));
        paths.push_back(hashOf(entry.dest));
    } else if (!heading) {
        m_state = State::Broken;
        return false;
    }
    return true;
}

bool JournalReader::inRunFolders(const QByteArray &path) const
{
    return nameIn(m_folders, path);
}

bool JournalReader::inRunTrash(const QByteArray &path) const
{
    return nameIn(m_trashes, path);
}

bool JournalReader::namedTwice(const QByteArray &path) const
{
    return std::binary_search(m_twice.cbegin(), m_twice.cend(), hashOf(path));
}

void JournalReader::rewind()
{
    m_at = m_chunkStart = m_end;
    m_chunk.clear();
    m_havePending = false;
}

// The line that ends just before m_at, m_at then its start; false at the journal's start.
bool JournalReader::lineBefore(QByteArray &line)
{
    if (m_at == 0)
        return false;
    const qint64 end = m_at - 1; // its line end
    for (;;) {
        const qint64 length = end - m_chunkStart;
        if (length >= 0) {
            const qsizetype start = length > 0 ? m_chunk.lastIndexOf('\n', length - 1) + 1 : 0;
            if (start > 0 || m_chunkStart == 0) {
                line = m_chunk.mid(start, length - start);
                m_at = m_chunkStart + start;
                return true;
            }
        }
        const qint64 more = std::min(ReadChunk, m_chunkStart);
        if (m_chunk.size() > LongestLine)
            throw Changed();
        QByteArray bytes(more, Qt::Uninitialized);
        if (::pread(m_fd.get(), bytes.data(), size_t(more), m_chunkStart - more) != more)
            throw Changed();
        m_chunk = bytes + m_chunk.left(std::max<qint64>(length, 0));
        m_chunkStart -= more;
    }
}

bool JournalReader::previous(JournalEntry &entry)
{
    if (m_state != State::Usable)
        return false;
    if (!m_havePending && !lineBefore(m_pending))
        return false;
    m_havePending = true;
    QByteArray earlier;
    while (lineBefore(earlier)) {
        // Each line is checked again as it is read, against the line before it.
        const qsizetype cut = m_pending.lastIndexOf('\t');
        const QByteArray text = m_pending.left(cut);
        if (cut < 0 || m_mac.of(earlier.mid(earlier.lastIndexOf('\t') + 1), text) != m_pending.mid(cut + 1))
            throw Changed();
        m_pending = earlier;
        if (parseStep(text, entry))
            return true;
    }
    return false;
}

void endJournal()
{
    if (::unlink(nativePath(journalPath()).constData()) != 0 && errno != ENOENT)
        retire(UndoneMark);
}

} // namespace quillfen
