#include "transfer_run.h"

#include "date_test.h"
#include "file_routines.h"
#include "listing.h"
#include "log_records.h"
#include "transfer_log.h"

#include "platform/host.h"
#include "settings/keys.h"
#include "settings/numeric.h"
#include "settings/options_values.h"
#include "settings/store.h"

#include <memory>
#include <vector>

namespace quillfen {

namespace {

TransferProgress *g_progress = nullptr;

// The entry-list instances of runs that a failure ended; each is closed (and so saved)
// only when the main window closes, in the order the runs ended.
std::vector<std::unique_ptr<OptionsValues>> g_pendingRuns;

struct DateRestriction
{
    qint16 threshold;
    QString unit;
};

// Read afresh for every run and every pattern entry; nothing is cached.
DateRestriction readDateRestriction()
{
    const QString section = QLatin1String(keys::AppSettings);
    const qint16 threshold = toInteger16(store::get(section, QLatin1String(keys::CompareInterval), 1));
    return {threshold, store::get(section, QLatin1String(keys::CompareIntType), "h")};
}

// One file: the date test, then begin, copy or move, result; or a skip record.
void transferOne(const DateRestriction &restriction, const QString &label, const QString &sourceFolder,
    const QString &name, const QString &destFolder, bool move)
{
    if (g_progress)
        g_progress->fileStarted(sourceFolder + name);
    if (sc_CheckFileDate(sourceFolder + name, restriction.threshold, restriction.unit)) {
        sc_WriteLog(log_records::begin(label, sourceFolder, name, host::nowText()));
        const QString copied = sc_CopyFile(name, sourceFolder, name, destFolder, move);
        const QString outcome = log_records::outcome(label, copied, sourceFolder);
        sc_WriteLog(log_records::result(destFolder, name, outcome, host::nowText()));
    } else {
        sc_WriteLog(log_records::skip(label, sourceFolder, name, host::nowText()));
    }
    if (g_progress)
        g_progress->fileFinished();
}

bool isPatternEntry(const QString &file)
{
    return file.contains(QLatin1Char('*'));
}

} // namespace

void setTransferProgress(TransferProgress *progress)
{
    g_progress = progress;
}

TransferProgress *transferProgress()
{
    return g_progress;
}

void sc_TransferFiles()
{
    const DateRestriction restriction = readDateRestriction();

    auto values = std::make_unique<OptionsValues>();
    values->load();
    const EntryList &entries = values->entries;
    const int count = entries.count();

    try {
        if (g_progress) {
            int singles = 0;
            for (const QString &file : entries.files)
                singles += isPatternEntry(file) ? 0 : 1;
            if (singles > 0)
                g_progress->filesPlanned(singles);
        }
        for (int i = 1; i <= count; ++i) {
            const int k = i - 1;
            const QString &file = entries.files.at(k);
            const QString &sourceFolder = entries.paths.at(k);
            const QString &destFolder = entries.dests.at(k);
            const bool move = toMoveFlag(entries.moves.at(k));
            const QString label = log_records::actionLabel(move);
            if (isPatternEntry(file)) {
                sc_TransferWildcard(file, sourceFolder, destFolder, move);
                continue;
            }
            transferOne(restriction, label, sourceFolder, file, destFolder, move);
        }
    } catch (...) {
        g_pendingRuns.push_back(std::move(values));
        throw;
    }
    values->close();
}

void sc_TransferWildcard(
    const QString &pattern, const QString &sourceFolder, const QString &destFolder, bool move)
{
    const DateRestriction restriction = readDateRestriction();
    const QString label = log_records::actionLabel(move);
    const QStringList names = listMatchingFiles(sourceFolder, pattern);
    if (g_progress && !names.isEmpty())
        g_progress->filesPlanned(int(names.size()));
    for (const QString &name : names)
        transferOne(restriction, label, sourceFolder, name, destFolder, move);
}

void sc_ClosePendingRun()
{
    std::vector<std::unique_ptr<OptionsValues>> pending;
    pending.swap(g_pendingRuns);
    for (const std::unique_ptr<OptionsValues> &values : pending)
        values->close();
}

} // namespace quillfen
