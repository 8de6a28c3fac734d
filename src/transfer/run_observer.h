#pragma once

#include <QString>
#include <QtGlobal>

namespace quillfen {

// What a transfer run tells the one who watches it: every log record as it is written, and
// its progress, so that a window can show both while the run holds the window thread.
class RunObserver
{
public:
    virtual ~RunObserver() = default;
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
    virtual void fileFinished() { }
};

} // namespace quillfen
