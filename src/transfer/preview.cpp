#include "preview.h"

#include "file_routines.h"
#include "planner.h"

#include "platform/failure.h"
#include "platform/host.h"
#include "platform/native_names.h"
#include "platform/raw_file.h"
#include "platform/volume.h"
#include "settings/numeric.h"

#include <QDateTime>
#include <QHash>

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace quillfen {

namespace {

using Verdict = PreviewRow::Verdict;

// Thrown by the visitor when the preview is called off.
struct Stopped
{
};

QString failureText(const Failure &failure)
{
    return failure.description() + QStringLiteral(" (") + QString::number(failure.number())
        + QLatin1Char(')');
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// What the destination's file system makes of the files sent to it, by the rules the copy
// applies: a name it refuses, a size over its limit, a name it folds onto an earlier file's.
class TargetJudge
{
public:
    // Answers whether the file system decides the row; otherwise the file is noted as placed.
    bool judge(const PlannedFile &file, PreviewRow &row)
    {
        Folder &folder = m_folders[file.destFolder];
        if (!folder.looked) {
            folder.rules = volume::rulesOf(nativePath(file.destFolder));
            folder.looked = true;
        }
        const volume::Rules &rules = folder.rules;
        if (volume::refuses(rules, nativePath(file.destName))) {
            row.verdict = Verdict::Fails;
            row.reason = QStringLiteral("Would fail: %1: the destination's file system refuses this name")
                             .arg(failureText(Failure(failure_no::BadFileName)));
            return true;
        }
        if (rules.largestFile > 0 && row.size > rules.largestFile) {
            row.verdict = Verdict::Fails;
            row.reason = QStringLiteral(
                "Would fail: %1: too large for the destination's file system (at most %2 bytes)")
                             .arg(failureText(Failure(failure_no::DiskFull)))
                             .arg(rules.largestFile);
            return true;
        }
        if (!rules.foldsCase)
            return false;
        const QString folded = file.destName.toCaseFolded();
        const QString first = folder.placed.value(folded, file.destName);
        folder.placed.insert(folded, first);
        if (first == file.destName)
            return false;
        row.verdict = Verdict::Replace;
        row.reason = QStringLiteral("Would replace the earlier file: same name as %1 on this file system")
                         .arg(first);
        return true;
    }

private:
    struct Folder
    {
        bool looked = false;
        volume::Rules rules;
        QHash<QString, QString> placed; // case-folded name: the first name placed so
    };
    QHash<QString, Folder> m_folders;
};

class PreviewVisitor final : public Planner::Visitor
{
public:
    // The file whose date test is under way, until it is judged.
    const QString &starting() const { return m_starting; }

    PreviewVisitor(
        const std::function<void(const PreviewRow &)> &sink, const std::function<bool()> &keepGoing)
        : m_sink(sink)
        , m_keepGoing(keepGoing)
    {
    }

    void fileStarting(const QString &sourcePath) override
    {
        if (!m_keepGoing())
            throw Stopped();
        m_starting = sourcePath;
    }

    bool file(const PlannedFile &file) override
    {
        using AtName = PlannedFile::AtName;
        m_starting.clear();
        PreviewRow row;
        row.entry = file.entry;
        row.move = file.move;
        row.source = file.sourceFolder + file.name;
        row.dest = file.destFolder + file.destName;
        row.size = file.source.file.st_size;
        row.verdict = Verdict::Skip;
        if (!file.passes) {
            row.reason = QStringLiteral("Skipped by the date restriction: %L1 %2 old, %L3 needed")
                             .arg(file.age)
                             .arg(file.restriction.unitCode)
                             .arg(file.restriction.threshold);
        } else if (file.atName == AtName::SkipTaken) {
            row.reason = QStringLiteral("Skipped: a file of that name exists");
        } else if (file.atName == AtName::SkipIdentical) {
            row.reason = QStringLiteral("Skipped: the same file is already there");
        } else {
            judgeDestination(file, row);
        }
        m_sink(row);
        return row.verdict <= Verdict::KeepBoth;
    }

private:
    // What the run will meet at a destination folder: whether it makes it first, what it cannot
    // do there, and the file system it is on.
    struct FolderVerdict
    {
        bool made = false;
        std::optional<Failure> failure;
        dev_t device = 0;
    };

    static std::optional<Failure> accessFailure(const QByteArray &path, int mode)
    {
        if (::faccessat(AT_FDCWD, path.isEmpty() ? "." : path.constData(), mode, AT_EACCESS) == 0)
            return std::nullopt;
        return Failure::fromErrno(errno, path);
    }

    // `folder` is where the run puts its files (native, ending with "/"): made when missing, so
    // its parent must take a new folder (or the first missing one of its `dated` levels); a file
    // of that name stops every file going in there.
    static FolderVerdict lookAtFolder(const QByteArray &folder, bool exists, int dated)
    {
        FolderVerdict verdict;
        verdict.made = !exists;
        QByteArray where = exists ? folder : raw_file::folderPart(folder.chopped(1));
        struct stat st = {};
        for (int level = 0;
             !exists && level < dated && ::stat(where.constData(), &st) != 0 && errno == ENOENT; ++level)
            where = raw_file::folderPart(where.chopped(1));
        if (!exists && ::lstat(folder.chopped(1).constData(), &st) == 0 && !S_ISDIR(st.st_mode)) {
            verdict.failure = Failure::fromErrno(ENOTDIR, folder);
            return verdict;
        }
        if (::stat(where.constData(), &st) == 0)
            verdict.device = st.st_dev;
        verdict.failure = accessFailure(where, W_OK | X_OK);
        return verdict;
    }

    // The destination as the copy or move will find it, by the same rules, with the access the
    // run will need; what the run would fail on is told with the run's own failure text.
    void judgeDestination(const PlannedFile &file, PreviewRow &row)
    {
        row.verdict = file.move ? Verdict::Move : Verdict::Copy;
        row.reason = file.move ? QStringLiteral("Would be moved") : QStringLiteral("Would be copied");
        const QByteArray dest = nativePath(row.dest);
        // A folder seen once is not looked up again: a pattern entry sends every file to one.
        auto known = m_folders.constFind(file.destFolder);
        const bool first = known == m_folders.cend();
        try {
            if (first) {
                const bool exists = host::lookupFolder(file.destFolder);
                if (!exists && !folderLevelCreatable(file.destFolder, int(file.dated))) {
                    row.verdict = Verdict::Fails;
                    row.reason
                        = QStringLiteral("Fails: the destination folder cannot be created, its parent is "
                                         "missing");
                    return;
                }
                known = m_folders.insert(
                    file.destFolder, lookAtFolder(raw_file::folderPart(dest), exists, int(file.dated)));
            }
        } catch (const Failure &failure) {
            row.verdict = Verdict::Fails;
            row.reason = QStringLiteral("Fails: the destination folder cannot be looked up: ")
                + failureText(failure);
            return;
        }
        const FolderVerdict &folder = *known;
        const safe_copy::Known &source = file.source;
        // A move within one file system is a rename, which reads nothing; a link is moved as itself.
        const bool renamed = file.move && source.itself.st_dev == folder.device;
        std::optional<Failure> failure = folder.made ? folder.failure : std::nullopt;
        if (!failure && !renamed && !(file.move && S_ISLNK(source.itself.st_mode)))
            failure = accessFailure(source.path, R_OK);
        if (!failure)
            failure = folder.failure;
        if (!failure && file.move)
            failure = accessFailure(raw_file::folderPart(source.path), W_OK | X_OK);
        struct stat itself = {};
        const bool taken = !failure && !folder.made && ::lstat(dest.constData(), &itself) == 0;
        if (taken && S_ISDIR(itself.st_mode))
            failure = Failure::fromErrno(EISDIR, dest);
        if (failure) {
            row.verdict = Verdict::Fails;
            row.reason = QStringLiteral("Would fail: ") + failureText(*failure);
            return;
        }
        if (m_target.judge(file, row))
            return;
        if (file.atName == PlannedFile::AtName::KeepBoth) {
            row.verdict = Verdict::KeepBoth;
            row.reason = QStringLiteral("Would be kept as ") + file.destName;
            return;
        }
        if (folder.made) {
            if (first)
                row.reason += QStringLiteral("; the destination folder would be created");
            return;
        }
        if (!taken)
            return;
        struct stat target = itself;
        const bool reaches = ::stat(dest.constData(), &target) == 0;
        if (sameFile(itself, source.itself) || (reaches && sameFile(target, source.file))) {
            row.verdict = Verdict::SameFile;
            row.reason = QStringLiteral("Refused: source and destination are the same file");
            return;
        }
        row.verdict = Verdict::Replace;
        row.reason = QStringLiteral("Would replace the existing file (%L1 bytes, %2)")
                         .arg(target.st_size)
                         .arg(host::dateTimeText(target.st_mtim.tv_sec));
    }

    const std::function<void(const PreviewRow &)> &m_sink;
    const std::function<bool()> &m_keepGoing;
    QHash<QString, FolderVerdict> m_folders;
    TargetJudge m_target;
    QString m_starting;
};

} // namespace

void PreviewTotals::add(const PreviewRow &row)
{
    const int k = int(row.verdict);
    ++files[k];
    bytes[k] += row.size > 0 ? row.size : 0;
}

QString verdictName(PreviewRow::Verdict verdict)
{
    static const char *const Names[PreviewRow::VerdictCount]
        = {"Copy", "Move", "Replace", "Keep both", "Skip", "Refused", "Fails", "Run ends", "Not reached"};
    return QLatin1String(Names[int(verdict)]);
}

QString actionName(const PreviewRow &row)
{
    if (row.verdict == PreviewRow::Verdict::EndsRun || row.verdict == PreviewRow::Verdict::NotReached)
        return QString();
    return row.move ? QStringLiteral("Move") : QStringLiteral("Copy");
}

void previewRun(const EntryList &entries, const QString &interval, const QString &unitCode,
    const std::function<void(const PreviewRow &)> &sink, const std::function<bool()> &keepGoing)
{
    const auto restriction = [&] { return Restriction {toInteger16(interval), unitCode}; };
    Planner planner(entries, restriction);
    planner.foreseeNames();
    PreviewVisitor visitor(sink, keepGoing);
    try {
        planner.walk(restriction(), visitor);
        return;
    } catch (const Stopped &) {
        return;
    } catch (const Failure &failure) {
        const int ended = planner.reached();
        PreviewRow row;
        row.verdict = PreviewRow::Verdict::EndsRun;
        row.reason = QStringLiteral("The run would end here: ") + failureText(failure);
        if (ended > 0) {
            const int k = ended - 1;
            row.entry = ended;
            row.source = entries.paths.value(k) + entries.files.value(k);
            row.dest = entries.dests.value(k) + entries.files.value(k);
            // A file of a pattern that went between its listing and its date test.
            if (!visitor.starting().isEmpty()) {
                row.source = visitor.starting();
                row.dest = entries.dests.value(k) + row.source.mid(sc_FolderOf(row.source).size());
            }
        }
        sink(row);
        for (int k = ended; k < entries.count(); ++k) {
            PreviewRow later;
            later.entry = k + 1;
            later.source = entries.paths.at(k) + entries.files.at(k);
            later.dest = entries.dests.at(k) + entries.files.at(k);
            later.verdict = PreviewRow::Verdict::NotReached;
            later.reason = QStringLiteral("Not reached");
            sink(later);
        }
    }
}

} // namespace quillfen
