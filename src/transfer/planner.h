#pragma once

#include "listing.h"
#include "safe_copy.h"

#include "settings/entry_list.h"

#include <QString>

#include <ctime>
#include <functional>
#include <memory>

namespace quillfen {

// The date restriction: how many units old a file must be, and the unit's code.
struct Restriction
{
    qint16 threshold = 1;
    QString unitCode;
};

// Reads the restriction from the store; throws Failure 13 or 6 for a threshold that is not a
// number or out of range.
Restriction readRestriction();

// One file of a run, as the run will find it.
struct PlannedFile
{
    int entry = 0; // counted from 1
    bool move = false;
    QString sourceFolder;
    QString name;
    QString destFolder;
    Restriction restriction;
    safe_copy::Known source; // as the date test found it
    qint64 age = 0; // in the restriction's unit
    bool passes = false; // old enough to be transferred
};

// The files a pattern entry will come to, in order, told before the first of them: a hint for
// work that may be done ahead of them, which decides nothing.
struct PlannedListing
{
    bool move = false;
    QString sourceFolder;
    QString destFolder;
    std::shared_ptr<const NameList> names;
    // Whether a file modified at that time would pass the date test now; safe on any thread.
    std::function<bool(std::time_t modified)> oldEnough;
};

// Takes every decision of a run in the run's order: the restriction, each entry's move flag,
// each pattern's listing, each file's date test. The run acts on what it is told here, and the
// preview shows it, so the two cannot disagree.
class Planner
{
public:
    class Visitor
    {
    public:
        virtual ~Visitor() = default;
        // More files are known to come: the single entries at the start, then each listing.
        virtual void filesPlanned(int count) { Q_UNUSED(count); }
        // Called before a file's date test.
        virtual void fileStarting(const QString &sourcePath) { Q_UNUSED(sourcePath); }
        virtual void filesListed(const PlannedListing &listing) { Q_UNUSED(listing); }
        virtual void file(const PlannedFile &file) = 0;
    };

    // `restriction` gives the restriction anew for each pattern entry; by default the store's.
    explicit Planner(const EntryList &entries, std::function<Restriction()> restriction = readRestriction);

    // Visits every file the run handles, in order, under the restriction read at the start of
    // the run. Throws Failure where the run would end: reached() then names the entry that
    // ended it.
    void walk(const Restriction &restriction, Visitor &visitor);
    int reached() const { return m_reached; }

private:
    void sc_TransferWildcard(const QString &pattern, int entry, bool move, Visitor &visitor);
    void plan(PlannedFile file, Visitor &visitor) const;
    static std::function<bool(std::time_t)> oldEnough(const Restriction &restriction);

    const EntryList &m_entries;
    std::function<Restriction()> m_restriction;
    int m_reached = 0;
};

// A file entry names a pattern when it holds "*"; a "?" alone does not make one.
bool isPatternEntry(const QString &file);

} // namespace quillfen
