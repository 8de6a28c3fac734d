#pragma once

#include "listing.h"
#include "safe_copy.h"

#include "settings/entry_list.h"

#include <QHash>
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
    // What the entry's choice makes of a destination name that is taken. Place also where the
    // name is free, or is to be replaced: the copy finds that out as it places the file.
    enum class AtName { Place, KeepBoth, SkipTaken, SkipIdentical };

    int entry = 0; // counted from 1
    bool move = false;
    QString sourceFolder;
    QString name;
    QString destFolder; // the entry's, and below it the dated folders of the file
    Restriction restriction;
    safe_copy::Known source; // as the date test found it
    qint64 age = 0; // in the restriction's unit
    bool passes = false; // old enough to be transferred
    Conflict conflict = Conflict::Replace;
    DateFolders dated = DateFolders::None; // also how many of destFolder's last levels are dated
    AtName atName = AtName::Place;
    int number = 1; // of the first free name where both are kept
    QString destName; // the name the file would take: its own, or that numbered name
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
        // Answers whether the file takes (or would take) its destination name.
        virtual bool file(const PlannedFile &file) = 0;
    };

    // `restriction` gives the restriction anew for each pattern entry; by default the store's.
    explicit Planner(const EntryList &entries, std::function<Restriction()> restriction = readRestriction);

    // Visits every file the run handles, in order, under the restriction read at the start of
    // the run. Throws Failure where the run would end: reached() then names the entry that
    // ended it.
    void walk(const Restriction &restriction, Visitor &visitor);
    int reached() const { return m_reached; }

    // For a preview, which places nothing: the names that the files before would take count as
    // taken for those after them, as the run will find them.
    void foreseeNames() { m_foresee = true; }

private:
    void sc_TransferWildcard(const QString &pattern, const PlannedFile &entry, Visitor &visitor);
    void plan(PlannedFile file, Visitor &visitor);
    void decide(PlannedFile &file);
    QByteArray holderOf(const QByteArray &dest);
    QByteArray plannedKey(const QByteArray &dest);
    static std::function<bool(std::time_t)> oldEnough(const Restriction &restriction);

    const EntryList &m_entries;
    std::function<Restriction()> m_restriction;
    int m_reached = 0;
    bool m_foresee = false;
    bool m_tracking = false; // foreseeing, and an entry takes a name into account
    // Foreseen: each name taken so far (case-folded where the file system folds case), and where
    // the file that takes it can be read.
    QHash<QByteArray, QByteArray> m_planned;
    QHash<QByteArray, bool> m_folds; // of the destination folders
};

// A file entry names a pattern when it holds "*"; a "?" alone does not make one.
bool isPatternEntry(const QString &file);

} // namespace quillfen
