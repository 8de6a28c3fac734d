#pragma once

#include <QString>
#include <QtGlobal>

namespace quillfen {

// What a run tells its caller while it works, so a window can repaint and show progress.
class TransferProgress
{
public:
    virtual ~TransferProgress() = default;
    // More files are known to be handled (single entries, and each listing of a pattern).
    virtual void filesPlanned(int count) = 0;
    virtual void fileStarted(const QString &sourcePath) = 0;
    // Bytes copied so far of the file being copied; called during large copies.
    virtual void bytesCopied(qint64 done, qint64 total) = 0;
    virtual void fileFinished() = 0;
};

void setTransferProgress(TransferProgress *progress);
TransferProgress *transferProgress();

// One pass over the stored entry list. Traps nothing: a failure ends the run and is
// thrown to the caller; the run's entry-list instance then stays open until
// sc_ClosePendingRun().
void sc_TransferFiles();

// Transfers every file of sourceFolder that matches `pattern`; traps nothing.
void sc_TransferWildcard(
    const QString &pattern, const QString &sourceFolder, const QString &destFolder, bool move);

// Closes (and so saves) the entry-list instances that failed runs left open.
void sc_ClosePendingRun();

} // namespace quillfen
