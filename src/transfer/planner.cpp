#include "planner.h"

#include "date_test.h"
#include "listing.h"

#include "platform/failure.h"
#include "platform/native_names.h"
#include "settings/keys.h"
#include "settings/numeric.h"
#include "settings/store.h"

#include <QDateTime>

#include <cerrno>
#include <ctime>
#include <sys/stat.h>

namespace quillfen {

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

    for (int i = 1; i <= count; ++i) {
        m_reached = i;
        const int k = i - 1;
        const QString &file = m_entries.files.at(k);
        const bool move = toMoveFlag(m_entries.moves.at(k));
        if (isPatternEntry(file)) {
            sc_TransferWildcard(file, i, move, visitor);
            continue;
        }
        plan(PlannedFile {i, move, m_entries.paths.at(k), file, m_entries.dests.at(k), restriction, {}},
            visitor);
    }
    m_reached = count + 1;
}

void Planner::sc_TransferWildcard(const QString &pattern, int entry, bool move, Visitor &visitor)
{
    // Read afresh for every pattern entry, as at the start of the run; nothing is cached.
    const Restriction restriction = m_restriction();
    const QString &sourceFolder = m_entries.paths.at(entry - 1);
    const QString &destFolder = m_entries.dests.at(entry - 1);
    const auto names = std::make_shared<const NameList>(listMatchingNames(sourceFolder, pattern));
    if (!names->isEmpty()) {
        visitor.filesPlanned(int(names->size()));
        visitor.filesListed({move, sourceFolder, destFolder, names, oldEnough(restriction)});
    }
    for (qsizetype k = 0; k < names->size(); ++k)
        plan(PlannedFile {entry, move, sourceFolder, names->at(k), destFolder, restriction, {}}, visitor);
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

// The date test: the file's own entry and, for a link, what it leads to, whose time counts.
void Planner::plan(PlannedFile file, Visitor &visitor) const
{
    const QString path = file.sourceFolder + file.name;
    visitor.fileStarting(path);
    safe_copy::Known &known = file.source;
    known.path = nativePath(path);
    const QByteArray &native = known.path;
    if (::lstat(native.constData(), &known.itself) != 0)
        throw Failure::fromErrno(errno, native);
    known.file = known.itself;
    if (S_ISLNK(known.itself.st_mode) && ::stat(native.constData(), &known.file) != 0)
        throw Failure::fromErrno(errno, native);
    const DateUnit unit = dateUnitOf(file.restriction.unitCode);
    file.age = unitsBetween(known.file.st_mtim.tv_sec, std::time_t(QDateTime::currentSecsSinceEpoch()), unit);
    file.passes = file.age >= file.restriction.threshold;
    visitor.file(file);
}

} // namespace quillfen
