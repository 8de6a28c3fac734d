#include "copy_ahead.h"

#include "platform/native_names.h"
#include "platform/raw_file.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>

namespace quillfen {

namespace {

// Flushes from this many threads at once are committed by the file system together; the files
// made ahead and the bytes of their sources stay bounded.
constexpr int Workers = 16;
constexpr size_t Window = 64;
constexpr qint64 ByteBudget = qint64(16) << 20;
// Below this much room, or this many free inodes, on the destination, files made ahead could
// take the place a file before them needs: then each file is copied at its turn alone.
constexpr qint64 RoomNeeded = qint64(256) << 20;
constexpr fsfilcnt_t InodesNeeded = 4096;

bool endsWith(const QByteArray &path, const QByteArray &folder, QByteArrayView name)
{
    return path.size() == folder.size() + name.size() && path.startsWith(folder)
        && QByteArrayView(path).sliced(folder.size()) == name;
}

QByteArray joined(const QByteArray &folder, QByteArrayView name)
{
    QByteArray path = folder;
    path.append(name);
    return path;
}

} // namespace

struct CopyAhead::Job
{
    enum class State { Waiting, Working, Done };
    safe_copy::Prepared prepared;
    State state = State::Waiting;
    qint64 bytes = 0;
};

CopyAhead::CopyAhead(safe_copy::Session &session)
    : m_session(session)
    , m_window(Window)
{
    // Each file made ahead holds two descriptors: most of the allowance stays the run's own.
    struct rlimit open = {};
    if (::getrlimit(RLIMIT_NOFILE, &open) == 0 && open.rlim_cur != RLIM_INFINITY)
        m_window = std::min(Window, size_t(open.rlim_cur / 8));
}

CopyAhead::~CopyAhead()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_work.notify_all();
    for (std::thread &worker : m_workers)
        worker.join();
}

void CopyAhead::expect(const PlannedListing &listing)
{
    std::unique_lock lock(m_mutex);
    dropFirst(m_jobs.size(), lock);
    m_names = listing.names;
    m_next = 0;
    m_move = listing.move;
    m_sourceFolder = nativePath(listing.sourceFolder);
    m_destFolder = nativePath(listing.destFolder);
    m_destDirectory = raw_file::folderPart(m_destFolder + 'x');
    m_destKnown = false;
    m_oldEnough = listing.oldEnough;
    struct stat st = {};
    const QByteArray sourceDirectory = raw_file::folderPart(m_sourceFolder + 'x');
    m_sourceDevice = ::stat(sourceDirectory.isEmpty() ? "." : sourceDirectory.constData(), &st) == 0
        ? st.st_dev
        : dev_t(-1);
    lock.unlock();
    refill();
}

std::unique_ptr<safe_copy::Prepared> CopyAhead::take(const QByteArray &source, const QByteArray &dest)
{
    if (!m_names)
        return nullptr;
    std::unique_lock lock(m_mutex);
    size_t at = 0;
    while (at < m_jobs.size() && (m_jobs[at]->prepared.source != source || m_jobs[at]->prepared.dest != dest))
        ++at;
    std::unique_ptr<safe_copy::Prepared> ready;
    if (at < m_jobs.size()) {
        dropFirst(at, lock);
        Job &job = *m_jobs.front();
        // Not begun: made at its turn, rather than waited for.
        if (job.state != Job::State::Waiting) {
            m_done.wait(lock, [&job] { return job.state == Job::State::Done; });
            ready = std::make_unique<safe_copy::Prepared>(std::move(job.prepared));
            m_tryClone = m_tryClone && !ready->cloneRefused;
        }
        dropFirst(1, lock);
    } else {
        // A file further on than the jobs reach, or none of the listing: it has ended then.
        dropFirst(m_jobs.size(), lock);
        const qsizetype found = find(source, dest);
        if (found < 0) {
            m_names.reset();
            return nullptr;
        }
        m_next = found + 1;
    }
    lock.unlock();
    refill();
    return ready;
}

qsizetype CopyAhead::find(const QByteArray &source, const QByteArray &dest) const
{
    for (qsizetype k = m_next; k < m_names->size(); ++k) {
        const QByteArrayView name = m_names->native(k);
        if (endsWith(source, m_sourceFolder, name) && endsWith(dest, m_destFolder, name))
            return k;
    }
    return -1;
}

// The destination folder exists, takes nameless files, is another file system than a move's
// source and has room to spare; a listing whose destination can never be made ahead into ends.
bool CopyAhead::destinationReady()
{
    if (!m_destKnown) {
        struct stat st = {};
        const char *folder = m_destDirectory.isEmpty() ? "." : m_destDirectory.constData();
        if (::stat(folder, &st) != 0 || !S_ISDIR(st.st_mode))
            return false;
        if (m_move && st.st_dev == m_sourceDevice)
            return end(); // moved by a rename
        m_destKnown = true;
        const std::lock_guard lock(m_mutex);
        m_tryClone = !m_session.cloneRefused(m_sourceDevice, m_destDirectory);
    }
    if (m_session.placementFor(m_destDirectory) != raw_file::Placement::Nameless)
        return end();
    struct statvfs room = {};
    return ::statvfs(m_destDirectory.isEmpty() ? "." : m_destDirectory.constData(), &room) == 0
        && qint64(room.f_bavail) * qint64(room.f_frsize) >= RoomNeeded
        && (room.f_files == 0 || room.f_favail >= InodesNeeded);
}

bool CopyAhead::end()
{
    std::unique_lock lock(m_mutex);
    dropFirst(m_jobs.size(), lock);
    m_names.reset();
    return false;
}

void CopyAhead::refill()
{
    if (!m_names || m_next >= m_names->size() || m_jobs.size() >= m_window || !destinationReady())
        return;
    int added = 0;
    {
        const std::lock_guard lock(m_mutex);
        for (; m_jobs.size() < m_window && m_next < m_names->size(); ++added) {
            auto job = std::make_unique<Job>();
            const QByteArrayView name = m_names->native(m_next++);
            job->prepared.source = joined(m_sourceFolder, name);
            job->prepared.dest = joined(m_destFolder, name);
            m_jobs.push_back(std::move(job));
        }
    }
    // One worker a job: waking them all would take the run's thread off its processor.
    for (int k = 0; k < std::min(added, Workers); ++k)
        m_work.notify_one();
    while (m_workers.size() < size_t(Workers))
        m_workers.emplace_back([this] { work(); });
}

CopyAhead::Job *CopyAhead::nextWaiting() const
{
    if (m_bytes >= ByteBudget)
        return nullptr;
    for (const std::unique_ptr<Job> &job : m_jobs) {
        if (job->state == Job::State::Waiting)
            return job.get();
    }
    return nullptr;
}

void CopyAhead::work()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        Job *job = nullptr;
        m_work.wait(lock, [&] { return m_stop || (job = nextWaiting()) != nullptr; });
        if (m_stop)
            return;
        job->state = Job::State::Working;
        const bool tryClone = m_tryClone;
        const std::function<bool(std::time_t)> oldEnough = m_oldEnough;
        lock.unlock();
        // Files that report their progress are copied at their turn, with it.
        safe_copy::prepare(job->prepared, tryClone, [&](const struct stat &st) {
            if (st.st_size >= safe_copy::ProgressChunk || !oldEnough(st.st_mtim.tv_sec))
                return false;
            const std::lock_guard reserve(m_mutex);
            job->bytes = st.st_size;
            m_bytes += st.st_size;
            return true;
        });
        lock.lock();
        job->state = Job::State::Done;
        m_done.notify_all();
    }
}

void CopyAhead::dropFirst(size_t count, std::unique_lock<std::mutex> &lock)
{
    const bool full = m_bytes >= ByteBudget;
    for (size_t k = 0; k < count; ++k) {
        Job &job = *m_jobs.front();
        m_done.wait(lock, [&job] { return job.state != Job::State::Working; });
        m_bytes -= job.bytes;
        m_jobs.pop_front();
    }
    if (full && m_bytes < ByteBudget)
        m_work.notify_all();
}

} // namespace quillfen
