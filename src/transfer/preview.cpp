#include "preview.h"

#include "file_routines.h"
#include "planner.h"

#include "platform/failure.h"
#include "platform/host.h"
#include "platform/native_names.h"
#include "settings/numeric.h"

#include <QDateTime>
#include <QSet>

#include <sys/stat.h>

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

    void file(const PlannedFile &file) override
    {
        m_starting.clear();
        PreviewRow row;
        row.entry = file.entry;
        row.move = file.move;
        row.source = file.sourceFolder + file.name;
        row.dest = file.destFolder + file.name;
        row.size = file.source.file.st_size;
        if (!file.passes) {
            row.verdict = Verdict::TooNew;
            row.reason = QStringLiteral("Skipped by the date restriction: %L1 %2 old, %L3 needed")
                             .arg(file.age)
                             .arg(file.restriction.unitCode)
                             .arg(file.restriction.threshold);
        } else {
            judgeDestination(file, row);
        }
        m_sink(row);
    }

private:
    // The destination as the copy or move will find it, by the same rules.
    void judgeDestination(const PlannedFile &file, PreviewRow &row)
    {
        row.verdict = file.move ? Verdict::Move : Verdict::Copy;
        row.reason = file.move ? QStringLiteral("Would be moved") : QStringLiteral("Would be copied");
        try {
            // A folder seen once is not looked up again: a pattern entry sends every file to one.
            if (!m_knownFolders.contains(file.destFolder)) {
                const bool exists = host::lookupFolder(file.destFolder);
                if (!exists && !folderLevelCreatable(file.destFolder)) {
                    row.verdict = Verdict::NoFolder;
                    row.reason
                        = QStringLiteral("Fails: the destination folder cannot be created, its parent is "
                                         "missing");
                    return;
                }
                m_knownFolders.insert(file.destFolder);
                if (!exists) {
                    row.reason += QStringLiteral("; the destination folder would be created");
                    return;
                }
            }
        } catch (const Failure &failure) {
            row.verdict = Verdict::NoFolder;
            row.reason = QStringLiteral("Fails: the destination folder cannot be looked up: ")
                + failureText(failure);
            return;
        }
        const QByteArray dest = nativePath(row.dest);
        struct stat itself = {};
        if (::lstat(dest.constData(), &itself) != 0)
            return;
        struct stat target = itself;
        const bool reaches = ::stat(dest.constData(), &target) == 0;
        if (sameFile(itself, file.source.itself) || (reaches && sameFile(target, file.source.file))) {
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
    QSet<QString> m_knownFolders; // exist, or would be created
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
        = {"Copy", "Move", "Replace", "Skip", "Refused", "Fails", "Run ends", "Not reached"};
    return QLatin1String(Names[int(verdict)]);
}

void previewRun(const EntryList &entries, const QString &interval, const QString &unitCode,
    const std::function<void(const PreviewRow &)> &sink, const std::function<bool()> &keepGoing)
{
    const auto restriction = [&] { return Restriction {toInteger16(interval), unitCode}; };
    Planner planner(entries, restriction);
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
