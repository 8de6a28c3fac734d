#pragma once

#include "planner.h"
#include "safe_copy.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace quillfen {

// Copies made ahead of their turn. While the run places one file, a few threads copy the next
// files of the entry's listing into nameless temporaries in their destination folders and flush
// them there, so that the file system commits many flushes at once. None of it can be seen: no
// name appears, no folder is made, nothing is reported. A copy is placed only at its own turn,
// by the run's thread, which makes it anew there when it was not made ahead; what no turn takes
// is dropped, and with it every trace of it.
class CopyAhead
{
public:
    explicit CopyAhead(safe_copy::Session &session);
    ~CopyAhead();
    CopyAhead(const CopyAhead &) = delete;
    CopyAhead &operator=(const CopyAhead &) = delete;

    // The files the run comes to next; what was made for the listing before is dropped.
    void expect(const PlannedListing &listing);
    // The copy made for `source` to `dest`, waited for while it is being made; none when it was
    // not made (or not begun). What was made for the files before it is dropped.
    std::unique_ptr<safe_copy::Prepared> take(const QByteArray &source, const QByteArray &dest);

private:
    struct Job;
    void work();
    Job *nextWaiting() const;
    void refill();
    bool destinationReady();
    bool end();
    qsizetype find(const QByteArray &source, const QByteArray &dest) const;
    void dropFirst(size_t count, std::unique_lock<std::mutex> &lock);

    safe_copy::Session &m_session;
    size_t m_window; // files made ahead at most
    // The listing: the run's thread alone changes it, under the lock where workers read it.
    std::shared_ptr<const NameList> m_names;
    qsizetype m_next = 0; // the first name not yet made a job
    QByteArray m_sourceFolder;
    QByteArray m_destFolder;
    QByteArray m_destDirectory; // the folder the copies land in
    bool m_move = false;
    bool m_destKnown = false;
    dev_t m_sourceDevice = 0;
    std::function<bool(std::time_t)> m_oldEnough;
    bool m_tryClone = true;

    std::mutex m_mutex;
    std::condition_variable m_work;
    std::condition_variable m_done;
    std::deque<std::unique_ptr<Job>> m_jobs; // in the run's order
    qint64 m_bytes = 0; // of the sources accepted and not yet taken
    bool m_stop = false;
    std::vector<std::thread> m_workers;
};

} // namespace quillfen
