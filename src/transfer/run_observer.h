#pragma once

#include "platform/report.h"

#include <QString>
#include <QtGlobal>

namespace quillfen {

// How one file of a run ended, and the bytes it had.
struct FileEnd
{
    enum class Kind { Done, Failed, Skipped };
    Kind kind = Kind::Done;
    qint64 bytes = 0;
    bool move = false; // moved, or copied
};

// What a transfer run (or an undo) tells the one who watches it: every failure to report as it
// happens, every log record as it is written, and its progress, so that a window can show them
// while the run holds the window thread.
class RunObserver
{
public:
    virtual ~RunObserver() = default;
    // A failure the user is told of at once; the run goes on when this returns, so a window
    // that shows it in a modal box holds the run meanwhile.
    virtual void report(const Report &report) = 0;
    // A record, ending with CR LF, just before it is appended to the log.
    virtual void putRecord(const QString &recordWithLineEnd) { Q_UNUSED(recordWithLineEnd); }
    // More files are known to be handled (single entries, and each listing of a pattern).
    virtual void filesPlanned(int count) { Q_UNUSED(count); }
    virtual void fileStarted(const QString &sourcePath) { Q_UNUSED(sourcePath); }
    // Bytes copied so far of the file being copied; called during large copies.
    virtual void bytesCopied(qint64 done, qint64 total)
    {
        Q_UNUSED(done);
        Q_UNUSED(total);
    }
    virtual void fileFinished(const FileEnd &end) { Q_UNUSED(end); }
};

} // namespace quillfen
