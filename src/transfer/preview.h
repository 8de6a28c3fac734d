#pragma once

#include "settings/entry_list.h"

#include <QList>
#include <QString>

#include <functional>

namespace quillfen {

// What the next run would do with one file, and why.
struct PreviewRow
{
    enum class Verdict {
        Copy, // would be copied
        Move, // would be moved
        Replace, // would be copied or moved over an existing file
        KeepBoth, // would be copied or moved beside an existing file, under a numbered name
        Skip, // skipped by the date restriction, or as its entry says for a taken name
        SameFile, // refused: source and destination are one file
        Fails, // the run's copy or move would fail, or its destination folder cannot be made
        EndsRun, // the run would end here
        NotReached, // an entry after the end
    };
    static constexpr int VerdictCount = 9;

    int entry = 0;
    bool move = false;
    QString source; // full paths; the destination with its dated folders and the name it would take
    QString dest;
    qint64 size = -1; // of the source; -1 when unknown
    Verdict verdict = Verdict::Copy;
    QString reason;
};

// Files and bytes per verdict.
struct PreviewTotals
{
    int files[PreviewRow::VerdictCount] = {};
    qint64 bytes[PreviewRow::VerdictCount] = {};

    void add(const PreviewRow &row);
};

// The verdict's name as the preview shows it: "Copy", "Skip", …
QString verdictName(PreviewRow::Verdict verdict);
// "Copy" or "Move"; empty for a row after the end of the run, which was never judged.
QString actionName(const PreviewRow &row);

// Plans the run of `entries` under the restriction `interval` / `unitCode` (as typed, not yet
// saved) with the run's own planner, and hands each row to `sink` in the run's order. Looks
// at the destinations as they are now and changes nothing on disk or in the store.
// `keepGoing` is asked before each file; when it answers false the preview stops.
void previewRun(const EntryList &entries, const QString &interval, const QString &unitCode,
    const std::function<void(const PreviewRow &)> &sink, const std::function<bool()> &keepGoing);

} // namespace quillfen
