#include "safe_copy.h"

#include "copy_ahead.h"

#include "platform/failure.h"
#include "platform/native_names.h"
#include "platform/raw_file.h"
#include "platform/trash.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <linux/fs.h>
#include <memory>
#include <sys/ioctl.h>
#include <unistd.h>

namespace quillfen::safe_copy {

namespace {

using raw_file::Descriptor;
using raw_file::folderPart;
using raw_file::TempFile;

constexpr size_t KernelChunk = size_t(ProgressChunk);
constexpr size_t BufferSize = size_t(128) << 10;
// Keeping both goes no further than this: a folder that full has something wrong with it.
constexpr int HighestNumber = 99999;

[[noreturn]] void fail(int err, const QByteArray &path)
{
    throw Failure::fromErrno(err, path);
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// What a copy compares to tell a source that was written meanwhile.
bool unchanged(const struct stat &before, const struct stat &after)
{
    return before.st_size == after.st_size && before.st_mtim.tv_sec == after.st_mtim.tv_sec
        && before.st_mtim.tv_nsec == after.st_mtim.tv_nsec && before.st_ctim.tv_sec == after.st_ctim.tv_sec
        && before.st_ctim.tv_nsec == after.st_ctim.tv_nsec;
}

// Refuses a destination that is the source under another name: copying a file onto
// itself would empty it, and a rename onto itself would "succeed" and delete nothing.
void refuseSameFile(const struct stat &source, const QByteArray &dest)
{
    struct stat existing = {};
    if (::stat(dest.constData(), &existing) == 0 && sameFile(existing, source))
        throw Failure(failure_no::PermissionDenied);
}

// Attributes that some file systems cannot hold are not worth a failed copy.
bool attributeUnsupported(int err)
{
    return err == EPERM || err == EOPNOTSUPP || err == ENOTSUP || err == ENOSYS;
}

// Refuses, before a byte is written, a file that the destination's file system cannot hold
// under its name or at its size.
void checkTarget(const QByteArray &dest, qint64 size, Session &session)
{
    const QByteArray folder = folderPart(dest);
    const volume::Rules &rules = session.rulesFor(folder);
    if (volume::refuses(rules, QByteArrayView(dest).sliced(folder.size())))
        throw Failure(failure_no::BadFileName);
    if (rules.largestFile > 0 && size > rules.largestFile)
        throw Failure(failure_no::DiskFull);
}

// On a file system that folds case, two spellings of one path name one file, though FUSE may
// give each spelling an inode number of its own.
bool onePathFolded(const QByteArray &source, dev_t device, const QByteArray &dest, Session &session)
{
    const QByteArray folder = folderPart(dest);
    return session.rulesFor(folder).foldsCase && session.deviceOf(folder) == device
        && nameFromNative(source).compare(nameFromNative(dest), Qt::CaseInsensitive) == 0;
}

class ProgressReport
{
public:
    ProgressReport(const Progress &progress, qint64 total)
        : m_progress(total >= ProgressChunk && progress ? &progress : nullptr)
        , m_total(total)
    {
    }

    void advance(qint64 bytes)
    {
        m_done += bytes;
        if (m_progress && m_done - m_reported >= ProgressChunk) {
            m_reported = m_done;
            (*m_progress)(m_done, m_total);
        }
    }

    void finish()
    {
        if (m_progress && m_reported != m_done)
            (*m_progress)(m_done, std::max(m_done, m_total));
    }

    qint64 done() const { return m_done; }

private:
    const Progress *m_progress;
    qint64 m_total;
    qint64 m_done = 0;
    qint64 m_reported = 0;
};

void copyByReadWrite(
    int in, int out, const QByteArray &source, const QByteArray &dest, ProgressReport &report)
{
    const std::unique_ptr<char[]> buffer(new char[BufferSize]);
    for (;;) {
        const ssize_t got = ::read(in, buffer.get(), BufferSize);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            fail(errno, source);
        }
        if (got == 0)
            return;
        raw_file::writeAll(out, QByteArrayView(buffer.get(), got), dest);
        report.advance(got);
    }
}

// The kernel copies: a shared-extent clone where `clone` allows one (left false when the file
// system refuses it), otherwise copy_file_range, and a plain read/write loop only where neither
// works. Stops at the size the source had: a source that grows meanwhile is told by the
// comparison afterwards.
void copyData(int in, int out, const struct stat &st, const QByteArray &source, const QByteArray &dest,
    const Progress &progress, bool &clone)
{
    const qint64 size = st.st_size;
    ProgressReport report(progress, size);
    if (size == 0)
        return;
    if (clone) {
        if (::ioctl(out, FICLONE, in) == 0) {
            report.advance(size);
            report.finish();
            return;
        }
        clone = false;
    }
    while (report.done() < size) {
        const ssize_t copied = ::copy_file_range(in, nullptr, out, nullptr, KernelChunk, 0);
        if (copied < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP || errno == EBADF)
                break;
            fail(errno, dest);
        }
        if (copied == 0) {
            // A file system that answers 0 for a file it reported as non-empty cannot be
            // copied this way; a source that shrank has simply ended.
            if (report.done() > 0)
                return report.finish();
            break;
        }
        report.advance(copied);
    }
    if (report.done() < size)
        copyByReadWrite(in, out, source, dest, report);
    report.finish();
}

// Fills `temp` from the open source `in` and gives it the source's mode and times, then flushes
// it: on disk before it can have a name, so a crash never leaves a name on a copy whose data is
// missing. False, with nothing flushed, when `checked` and the source changed meanwhile.
bool fillTemporary(int in, const struct stat &st, const QByteArray &source, TempFile &temp,
    const Progress &progress, bool &clone, bool checked)
{
    copyData(in, temp.fd(), st, source, temp.path(), progress, clone);
    struct stat after = {};
    if (::fstat(in, &after) != 0)
        fail(errno, source);
    if (checked && !unchanged(st, after))
        return false; // a torn copy never gets the destination's name
    if (!temp.hasMode() && ::fchmod(temp.fd(), st.st_mode & 0777) != 0 && !attributeUnsupported(errno))
        fail(errno, temp.path());
    const std::array<timespec, 2> times = {st.st_atim, st.st_mtim};
    if (::futimens(temp.fd(), times.data()) != 0 && !attributeUnsupported(errno))
        fail(errno, temp.path());
    if (::fsync(temp.fd()) != 0)
        fail(errno, temp.path());
    return true;
}

// Opens `source` for reading when it is (or links to) a regular file; `st` tells what was
// opened.
Descriptor openPlainFile(const QByteArray &source, const Known *known, struct stat &st)
{
    if (known) {
        if (!S_ISREG(known->file.st_mode))
            raw_file::failNotPlainFile();
    } else {
        if (::stat(source.constData(), &st) != 0)
            fail(errno, source);
        if (!S_ISREG(st.st_mode))
            raw_file::failNotPlainFile();
    }
    // O_NONBLOCK: should the name turn into a pipe meanwhile, open must not hang.
    Descriptor fd(::open(source.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (fd.get() < 0)
        fail(errno, source);
    if (::fstat(fd.get(), &st) != 0)
        fail(errno, source);
    if (!S_ISREG(st.st_mode))
        raw_file::failNotPlainFile();
    // O_NONBLOCK stays: a plain file reads the same with it.
    return fd;
}

// Keeps the file at `dest`, which a new file is about to replace, in the Trash: the old file
// stays under its name until the new one takes it. Throws when no trash can keep it, so that it
// is not replaced.
void keepReplaced(const QByteArray &dest, Session &session, Outcome &outcome)
{
    if (outcome.replaced)
        return;
    if (session.trash) {
        outcome.replacedTo = session.trash->keep(dest);
        outcome.replacedKept = true;
    }
    outcome.replaced = true;
}

// What becomes of a file that has the name `target` already, under its own spelling or, where
// the file system folds case, another: the one place that decides it. Answers the next name to
// try where both are kept, numbered from `dest`; empty where the new file replaces the old one.
QByteArray takenName(
    const QByteArray &dest, const QByteArray &target, Session &session, Outcome &outcome, Taken &taken)
{
    if (taken.choice == Taken::Choice::KeepBoth && taken.number < HighestNumber)
        return numberedName(dest, ++taken.number);
    if (taken.choice != Taken::Choice::Replace)
        throw Failure(failure_no::FileExists);
    keepReplaced(target, session, outcome);
    return {};
}

// Records the file placed at `dest` from `st` with the times the destination holds: a file
// system with coarse times keeps them rounded, and FAT through FUSE gives a file that a rename
// places the time of the rename, which is set back here.
void notePlaced(const QByteArray &dest, const struct stat &st, Outcome &outcome)
{
    outcome.placed = true;
    outcome.size = st.st_size;
    const std::array<timespec, 2> times = {st.st_atim, st.st_mtim};
    struct stat placed = {};
    bool seen = ::stat(dest.constData(), &placed) == 0 && placed.st_size == st.st_size;
    if (seen && std::abs(placed.st_mtim.tv_sec - st.st_mtim.tv_sec) > 2
        && ::utimensat(AT_FDCWD, dest.constData(), times.data(), AT_SYMLINK_NOFOLLOW) == 0)
        seen = ::stat(dest.constData(), &placed) == 0 && placed.st_size == st.st_size;
    outcome.modified = seen ? placed.st_mtim : st.st_mtim;
}

// Puts a finished temporary in place of `dest`, or of the name `taken` leads to; answers that name.
QByteArray place(TempFile &temp, const struct stat &source, const QByteArray &dest, Session &session,
    Outcome &outcome, Taken &taken)
{
    QByteArray target = numberedName(dest, taken.number);
    while (!temp.renameIfFree(target)) {
        refuseSameFile(source, target);
        QByteArray next = takenName(dest, target, session, outcome, taken);
        if (next.isEmpty()) {
            temp.renameOver(target);
            break;
        }
        target = std::move(next);
    }
    return outcome.dest = target;
}

// Gives the complete temporary of a copy of `st` the name `dest`; a move's name is on disk then.
void placeCopy(TempFile &temp, const struct stat &st, const QByteArray &dest, bool durable, Session &session,
    Outcome &outcome, Taken &taken)
{
    const QByteArray placed = place(temp, st, dest, session, outcome, taken);
    notePlaced(placed, st, outcome);
    if (durable)
        raw_file::syncName(placed);
}

// One copy of the open source `in` into a temporary beside `dest`, renamed into place
// unless the source changed meanwhile; answers whether it did not.
bool copyOnce(int in, const struct stat &st, const QByteArray &source, const QByteArray &dest, bool durable,
    Session &session, Outcome &outcome, Taken taken)
{
    checkTarget(dest, st.st_size, session);
    const QByteArray folder = folderPart(dest);
    TempFile temp(dest, st.st_mode & 0777, &session.placementFor(folder));
    const bool tried = !session.cloneRefused(st.st_dev, folder);
    bool clone = tried;
    const bool filled = fillTemporary(in, st, source, temp, session.progress, clone, !durable);
    if (tried && !clone)
        session.refuseClone(st.st_dev, folder);
    if (!filled)
        return false;
    placeCopy(temp, st, dest, durable, session, outcome, taken);
    return true;
}

// The copy made ahead for `source` to `dest`, when there is one whose source is still the very
// file it was made from, unchanged since, and whose temporary lies where `dest` will.
std::unique_ptr<Prepared> takePrepared(const QByteArray &source, const QByteArray &dest, Session &session)
{
    std::unique_ptr<Prepared> ready = session.ahead ? session.ahead->take(source, dest) : nullptr;
    if (!ready)
        return nullptr;
    const QByteArray folder = folderPart(dest);
    if (ready->cloneRefused && !session.cloneRefused(ready->st.st_dev, folder))
        session.refuseClone(ready->st.st_dev, folder);
    struct stat now = {};
    struct stat there = {};
    if (!ready->temp || ::stat(source.constData(), &now) != 0 || !sameFile(now, ready->st)
        || !unchanged(ready->st, now) || ::stat(folder.isEmpty() ? "." : folder.constData(), &there) != 0
        || there.st_dev != ready->destDevice)
        return nullptr;
    return ready;
}

// Recreates the link `source` as `dest`, through a temporary name beside `dest`.
void relink(const QByteArray &source, const QByteArray &dest, Session &session, Outcome &outcome, Taken taken)
{
    QByteArray target(PATH_MAX, Qt::Uninitialized);
    const ssize_t length = ::readlink(source.constData(), target.data(), size_t(target.size()));
    if (length < 0)
        fail(errno, source);
    target.truncate(length);

    const QByteArray temp = raw_file::temporaryNameFor(dest);
    if (::symlink(target.constData(), temp.constData()) != 0)
        fail(errno, temp);
    QByteArray name = numberedName(dest, taken.number);
    try {
        while (!raw_file::renameExclusive(temp, name, session.placementFor(folderPart(dest)))) {
            QByteArray next = takenName(dest, name, session, outcome, taken);
            if (next.isEmpty()) {
                if (::rename(temp.constData(), name.constData()) != 0)
                    fail(errno, name);
                break;
            }
            name = std::move(next);
        }
    } catch (const Failure &) {
        ::unlink(temp.constData());
        throw;
    }
    outcome.placed = true;
    outcome.dest = name;
    raw_file::syncName(name);
}

} // namespace

QByteArray numberedName(const QByteArray &path, int number)
{
    if (number <= 1)
        return path;
    const qsizetype nameStart = folderPart(path).size();
    const qsizetype dot = path.lastIndexOf('.');
    const qsizetype at = dot > nameStart ? dot : path.size();
    return path.left(at) + " (" + QByteArray::number(number) + ')' + path.mid(at);
}

Session::FileSystem &Session::fileSystemOf(const QByteArray &folder)
{
    auto device = m_devices.constFind(folder);
    if (device == m_devices.cend()) {
        struct stat st = {};
        if (::stat(folder.isEmpty() ? "." : folder.constData(), &st) != 0)
            return m_unknown;
        device = m_devices.insert(folder, st.st_dev);
    }
    auto known = m_fileSystems.find(*device);
    if (known == m_fileSystems.end())
        known = m_fileSystems
                    .emplace(*device, FileSystem {raw_file::Placement::Nameless, volume::rulesOf(folder)})
                    .first;
    return known->second;
}

raw_file::Placement &Session::placementFor(const QByteArray &folder)
{
    return fileSystemOf(folder).way;
}

const volume::Rules &Session::rulesFor(const QByteArray &folder)
{
    return fileSystemOf(folder).rules;
}

dev_t Session::deviceOf(const QByteArray &folder)
{
    fileSystemOf(folder);
    return m_devices.value(folder, dev_t(-1));
}

void Session::sweepOnce(const QByteArray &folder)
{
    if (m_swept.contains(folder))
        return;
    m_swept.insert(folder);
    raw_file::removeStaleTemporaries(folder);
}

bool Session::cloneRefused(dev_t source, const QByteArray &folder) const
{
    return std::find(m_noClone.cbegin(), m_noClone.cend(), std::make_pair(source, folder))
        != m_noClone.cend();
}

void Session::refuseClone(dev_t source, const QByteArray &folder)
{
    m_noClone.emplace_back(source, folder);
}

void prepare(
    Prepared &prepared, bool tryClone, const std::function<bool(const struct stat &)> &wanted) noexcept
{
    try {
        Descriptor in(::open(prepared.source.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
        struct stat &st = prepared.st;
        if (in.get() < 0 || ::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode) || !wanted(st))
            return;
        std::unique_ptr<TempFile> temp = TempFile::nameless(prepared.dest, st.st_mode & 0777);
        struct stat there = {};
        if (!temp || ::fstat(temp->fd(), &there) != 0)
            return;
        bool clone = tryClone;
        const bool filled = fillTemporary(in.get(), st, prepared.source, *temp, Progress(), clone, true);
        prepared.cloneRefused = tryClone && !clone;
        if (!filled)
            return;
        prepared.in = std::move(in);
        prepared.destDevice = there.st_dev;
        prepared.temp = std::move(temp);
    } catch (const Failure &) {
        // Left to the file's turn, which meets the cause again and reports it there.
    }
}

void copyFile(const QByteArray &source, const QByteArray &dest, Session &session, Outcome &outcome,
    const Known *known, Taken taken)
{
    session.sweepOnce(folderPart(dest));
    if (const std::unique_ptr<Prepared> ready = takePrepared(source, dest, session)) {
        checkTarget(dest, ready->st.st_size, session);
        placeCopy(*ready->temp, ready->st, dest, false, session, outcome, taken);
        return;
    }
    for (int attempt = 0;; ++attempt) {
        struct stat st = {};
        const Descriptor in = openPlainFile(source, attempt == 0 ? known : nullptr, st);
        if (copyOnce(in.get(), st, source, dest, false, session, outcome, taken))
            return;
        if (attempt == 1)
            throw Failure(failure_no::FileChanged);
    }
}

void moveFile(const QByteArray &source, const QByteArray &dest, Session &session, Outcome &outcome,
    const Known *known, Taken taken)
{
    Known looked;
    if (!known) {
        if (::lstat(source.constData(), &looked.itself) != 0)
            fail(errno, source);
        looked.file = looked.itself;
        // Links are looked through only where there is one: most moves are of plain files.
        if (S_ISLNK(looked.itself.st_mode) && ::stat(source.constData(), &looked.file) != 0)
            fail(errno, source);
        known = &looked;
    }
    const struct stat &itself = known->itself;
    const struct stat &file = known->file;
    if (!S_ISREG(file.st_mode))
        raw_file::failNotPlainFile();

    checkTarget(dest, file.st_size, session);
    if (onePathFolded(source, itself.st_dev, dest, session))
        throw Failure(failure_no::PermissionDenied);
    // The new name first, where nothing has it: then no file can be replaced or be the source
    // under another name.
    const QByteArray folder = folderPart(dest);
    raw_file::Placement &learnt = session.placementFor(folder);
    raw_file::Placement way = std::max(learnt, raw_file::Placement::ExclusiveRename);
    const auto renamedTo = [&](const QByteArray &target) {
        outcome.sourceRemoved = true;
        outcome.dest = target;
        // Only a claimed name may have been given the rename's time.
        if (way == raw_file::Placement::Claim)
            return notePlaced(target, file, outcome);
        outcome.placed = true;
        outcome.size = file.st_size;
        outcome.modified = file.st_mtim;
    };
    QByteArray target = numberedName(dest, taken.number);
    bool isTaken = false;
    try {
        // Across file systems a claim would only be made to be dropped again.
        const bool local = session.deviceOf(folder) == itself.st_dev;
        const bool renamed = local && raw_file::renameExclusive(source, target, way);
        // Only what rules out a way is learnt: a rename says nothing of nameless files.
        if (way > raw_file::Placement::ExclusiveRename)
            learnt = std::max(learnt, way);
        if (renamed)
            return renamedTo(target);
        isTaken = local;
    } catch (const Failure &) {
        // A rename refused for another reason than the name: the copy below meets the cause
        // again, or goes round it.
    }
    for (int round = 0; isTaken; ++round) {
        struct stat destItself = {};
        if (::lstat(target.constData(), &destItself) == 0) {
            if (sameFile(destItself, itself))
                throw Failure(failure_no::PermissionDenied);
            if (S_ISLNK(destItself.st_mode))
                refuseSameFile(file, target);
            else if (sameFile(destItself, file))
                throw Failure(failure_no::PermissionDenied);
            QByteArray next = takenName(dest, target, session, outcome, taken);
            if (next.isEmpty()) {
                if (::rename(source.constData(), target.constData()) == 0)
                    return renamedTo(target);
                break;
            }
            target = std::move(next);
        } else if (round > HighestNumber) {
            throw Failure(failure_no::FileExists);
        }
        if (raw_file::renameExclusive(source, target, way))
            return renamedTo(target);
    }

    // Another file system, or a rename refused for another reason: copy, make the copy
    // durable, and delete the source only when it did not change meanwhile.
    session.sweepOnce(folderPart(dest));
    if (S_ISLNK(itself.st_mode)) {
        relink(source, dest, session, outcome, taken);
    } else {
        struct stat st = {};
        Descriptor in;
        if (const std::unique_ptr<Prepared> ready = takePrepared(source, dest, session)) {
            st = ready->st;
            in = std::move(ready->in);
            placeCopy(*ready->temp, st, dest, true, session, outcome, taken);
        } else {
            in = openPlainFile(source, known, st);
            copyOnce(in.get(), st, source, dest, true, session, outcome, taken);
        }
        struct stat now = {};
        if (::fstat(in.get(), &now) != 0)
            fail(errno, source);
        if (!unchanged(st, now))
            throw Failure(failure_no::FileChanged);
    }
    if (::unlink(source.constData()) != 0)
        fail(errno, source);
    outcome.sourceRemoved = true;
}

} // namespace quillfen::safe_copy
