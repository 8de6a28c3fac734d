#include "planner.h"

#include "date_test.h"
#include "listing.h"

#include "platform/failure.h"
#include "platform/host.h"
#include "platform/native_names.h"
#include "platform/raw_file.h"
#include "platform/volume.h"
#include "settings/keys.h"
#include "settings/numeric.h"
#include "settings/store.h"

#include <algorithm>
#include <ctime>
#include <sys/stat.h>

namespace quillfen {

namespace {

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The folders below an entry's destination for a file modified at `when`, in local time:
// "2026/", "2026/12/" or "2026/12/06/".
QString datedFolders(std::time_t when, DateFolders dated)
{
    std::tm local {};
    ::localtime_r(&when, &local);
    const QString separator = host::separator();
    QString folders = QString::number(local.tm_year + 1900) + separator;
    if (dated >= DateFolders::Month)
        folders += QString::asprintf("%02d", local.tm_mon + 1) + separator;
    if (dated == DateFolders::Day)
        folders += QString::asprintf("%02d", local.tm_mday) + separator;
    return folders;
}

} // namespace

Restriction readRestriction()
{
    const qint16 threshold = toInteger16(store::get(keys::CompareInterval));
    return {threshold, store::get(keys::CompareIntType)};
}

bool isPatternEntry(const QString &file)
{
    return file.contains(QLatin1Char('*'));
}

Planner::Planner(const EntryList &entries, std::function<Restriction()> restriction)
    : m_entries(entries)
    , m_restriction(std::move(restriction))
{
}

void Planner::walk(const Restriction &restriction, Visitor &visitor)
{
    m_reached = 0;
    const int count = m_entries.count();
    int singles = 0;
    for (const QString &file : m_entries.files)
        singles += isPatternEntry(file) ? 0 : 1;
    if (singles > 0)
        visitor.filesPlanned(singles);
    m_tracking = m_foresee
        && std::any_of(m_entries.conflicts.cbegin(), m_entries.conflicts.cend(), [](const QString &text) {
               return !text.isEmpty() && text != QLatin1String(keys::ChoiceDefault);
           });

    for (int i = 1; i <= count; ++i) {
        m_reached = i;
        const int k = i - 1;
        PlannedFile entry;
        entry.entry = i;
        entry.move = toMoveFlag(m_entries.moves.at(k));
        entry.sourceFolder = m_entries.paths.at(k);
        entry.name = m_entries.files.at(k);
        entry.destFolder = m_entries.dests.at(k);
        entry.restriction = restriction;
        entry.conflict = Conflict(toChoice(m_entries.conflicts.value(k), ConflictCount));
        entry.dated = DateFolders(toChoice(m_entries.dateFolders.value(k), DateFoldersCount));
        if (isPatternEntry(entry.name))
            sc_TransferWildcard(entry.name, entry, visitor);
        else
            plan(entry, visitor);
    }
    m_reached = count + 1;
}

void Planner::sc_TransferWildcard(const QString &pattern, const PlannedFile &entry, Visitor &visitor)
{
    // Read afresh for every pattern entry, as at the start of the run; nothing is cached.
    PlannedFile file = entry;
    file.restriction = m_restriction();
    const auto names = std::make_shared<const NameList>(listMatchingNames(entry.sourceFolder, pattern));
    if (!names->isEmpty())
        visitor.filesPlanned(int(names->size()));
    // Copies made ahead lie in the entry's folder; a dated one is made at each file's turn.
    if (!names->isEmpty() && entry.dated == DateFolders::None)
        visitor.filesListed(
            {entry.move, entry.sourceFolder, entry.destFolder, names, oldEnough(file.restriction)});
    for (qsizetype k = 0; k < names->size(); ++k) {
        file.name = names->at(k);
        plan(file, visitor);
    }
}

// The date test's verdict by modification time alone; never a verdict where the unit is unknown,
// which the first file's test reports.
std::function<bool(std::time_t)> Planner::oldEnough(const Restriction &restriction)
{
    try {
        const DateUnit unit = dateUnitOf(restriction.unitCode);
        const qint16 threshold = restriction.threshold;
        return [unit, threshold](std::time_t modified) {
            return unitsBetween(modified, std::time(nullptr), unit) >= threshold;
        };
    } catch (const Failure &) {
        return [](std::time_t) { return false; };
    }
}

// The date test: the file's own entry and, for a link, what it leads to, whose time counts; its
// time names its dated folders too.
void Planner::plan(PlannedFile file, Visitor &visitor)
{
    const QString path = file.sourceFolder + file.name;
    visitor.fileStarting(path);
    file.passes = sc_CheckFileDate(
        path, file.restriction.threshold, file.restriction.unitCode, &file.source, &file.age);
    const safe_copy::Known &known = file.source;
    if (file.dated != DateFolders::None)
        file.destFolder += datedFolders(known.file.st_mtim.tv_sec, file.dated);
    file.destName = file.name;
    if (file.passes && file.conflict != Conflict::Replace)
        decide(file);
    if (visitor.file(file) && m_tracking) {
        const QByteArray dest = nativePath(file.destFolder + file.destName);
        m_planned.insert(plannedKey(dest), known.path);
    }
}

QByteArray Planner::plannedKey(const QByteArray &dest)
{
    const QByteArray folder = raw_file::folderPart(dest);
    auto folds = m_folds.constFind(folder);
    if (folds == m_folds.cend())
        folds = m_folds.insert(folder, volume::rulesOf(folder).foldsCase);
    return *folds ? folder + nameFromNative(dest.mid(folder.size())).toCaseFolded().toUtf8() : dest;
}

// Where the file that has the name `dest` can be read: there, or where a file planned before it
// in a preview still is; empty when the name is free.
QByteArray Planner::holderOf(const QByteArray &dest)
{
    if (m_tracking) {
        const auto planned = m_planned.constFind(plannedKey(dest));
        if (planned != m_planned.cend())
            return *planned;
    }
    struct stat st = {};
    return ::lstat(dest.constData(), &st) == 0 ? dest : QByteArray();
}

// What the entry's choice makes of a taken destination name. The file itself under that name is
// left to the copy, which refuses it, unless it is to be skipped anyway.
void Planner::decide(PlannedFile &file)
{
    const QByteArray dest = nativePath(file.destFolder + file.name);
    const QByteArray holder = holderOf(dest);
    if (holder.isEmpty())
        return;
    const safe_copy::Known &source = file.source;
    struct stat itself = {}, target = {};
    const bool self = holder == dest && ::lstat(dest.constData(), &itself) == 0
        && (sameFile(itself, source.itself)
            || (::stat(dest.constData(), &target) == 0 && sameFile(target, source.file)));
    switch (file.conflict) {
    case Conflict::Replace:
        break;
    case Conflict::KeepBoth:
        if (self)
            break;
        file.atName = PlannedFile::AtName::KeepBoth;
        while (!holderOf(safe_copy::numberedName(dest, ++file.number)).isEmpty()) { }
        file.destName = nameFromNative(
            safe_copy::numberedName(dest, file.number).mid(raw_file::folderPart(dest).size()));
        break;
    case Conflict::Skip:
        file.atName = PlannedFile::AtName::SkipTaken;
        break;
    case Conflict::SkipIfIdentical:
        if (self || raw_file::sameBytes(holder, source.path))
            file.atName = PlannedFile::AtName::SkipIdentical;
        break;
    }
}

} // namespace quillfen
