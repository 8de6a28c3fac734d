// Destinations a user backs up to: real exFAT, FAT32 and NTFS images mounted through FUSE, and
// a share without O_TMPFILE, rename flags, links or settable times, played by the fault shim.

#include "faults_support.h"

#include "platform/trash.h"
#include "transfer/journal.h"
#include "transfer/preview.h"
#include "transfer/transfer_log.h"
#include "transfer/undo.h"

#include <QProcess>
#include <QStandardPaths>

#include <sys/stat.h>

using namespace quillfen;
using namespace quillfen::faults;

namespace {

bool run(const QString &program, const QStringList &arguments, QByteArray *output = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    const bool done = process.waitForFinished(20000) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
    if (output)
        *output = process.readAllStandardOutput().trimmed();
    return done;
}

struct VolumeRow
{
    const char *name;
    QStringList make; // makes the image; "%1" is its path
    bool loop; // mounted from a loop device
    QStringList mount; // "%1" the image or device, "%2" the folder
    bool refusesNames, foldsCase;
};

void PrintTo(const VolumeRow &row, std::ostream *out)
{
    *out << row.name;
}

// Each shown as owned by another user, as a stick or a mapping-free NTFS shows every file.
const VolumeRow Volumes[] = {
    {"exFAT", {"mkfs.exfat", "%1"}, true, {"mount.exfat-fuse", "-o", "uid=65534,gid=65534", "%1", "%2"}, true,
        true},
    {"FAT32", {"mkfs.vfat", "-F", "32", "-C", "%1", "34000"}, false, {"fusefat", "-o", "rw+", "%1", "%2"},
        true, true},
    {"NTFS", {"mkfs.ntfs", "-F", "-Q", "-q", "%1"}, false,
        {"ntfs-3g", "-o", "uid=65534,gid=65534", "%1", "%2"}, false, false},
};

// A fresh image of the row's file system, mounted at `folder` while it lives.
class MountedImage
{
public:
    MountedImage(const VolumeRow &row, const QString &root)
        : m_folder(root + "/volume")
    {
        const QString image = root + "/volume.img";
        QDir().mkpath(m_folder);
        for (const QString &tool : {row.make.first(), row.mount.first(), QStringLiteral("fusermount")}) {
            if (QStandardPaths::findExecutable(tool, {"/usr/sbin", "/sbin", "/usr/bin", "/bin"}).isEmpty())
                m_why = tool + " is not installed";
        }
        if (!m_why.isEmpty())
            return;
        QFile file(image);
        if (!row.make.contains("-C") && !(file.open(QIODevice::WriteOnly) && file.resize(32 << 20)))
            m_why = "no room for an image";
        file.close();
        if (!run(row.make.first(), arguments(row.make.mid(1), image))) {
            m_why = "the image could not be made";
            return;
        }
        QByteArray source = image.toUtf8();
        if (row.loop && !run("losetup", {"-f", "--show", image}, &m_loop)) {
            m_why = "no loop device may be set up here";
            return;
        }
        if (!m_loop.isEmpty())
            source = m_loop;
        struct stat before = {}, after = {};
        ::stat(nativePath(root).constData(), &before);
        run(row.mount.first(), arguments(row.mount.mid(1), QString::fromUtf8(source)));
        m_mounted = ::stat(nativePath(m_folder).constData(), &after) == 0 && after.st_dev != before.st_dev;
        if (!m_mounted)
            m_why = QStringLiteral("%1 may not be mounted here").arg(row.name);
    }
    ~MountedImage()
    {
        if (m_mounted && !run("fusermount", {"-u", m_folder}))
            run("fusermount", {"-u", "-z", m_folder});
        if (!m_loop.isEmpty())
            run("losetup", {"-d", QString::fromUtf8(m_loop)});
    }

    // Why nothing is mounted; empty when it is.
    const QString &why() const { return m_why; }
    QString folder(const QString &name) const
    {
        QDir().mkpath(m_folder + "/" + name);
        return m_folder + "/" + name + "/";
    }

private:
    QStringList arguments(QStringList list, const QString &first, const QString &second = {}) const
    {
        list.replaceInStrings("%1", first);
        return list.replaceInStrings("%2", second.isEmpty() ? m_folder : second);
    }

    QString m_folder, m_why;
    QByteArray m_loop;
    bool m_mounted = false;
};

class RealFileSystems : public testing::TestWithParam<VolumeRow>
{
};

QList<PreviewRow> preview(const QList<std::tuple<QString, QString, QString, bool>> &entries)
{
    EntryList list;
    for (const auto &[file, source, dest, move] : entries)
        list.append(file, source, dest, move ? "1" : "0");
    QList<PreviewRow> rows;
    previewRun(
        list, "0", "s", [&](const PreviewRow &row) { rows.append(row); }, [] { return true; });
    return rows;
}

int rowsSaying(const QList<PreviewRow> &rows, const QString &words)
{
    return int(std::count_if(
        rows.cbegin(), rows.cend(), [&](const PreviewRow &row) { return row.reason.contains(words); }));
}

TEST_P(RealFileSystems, ARunOfNewReplacedAndMovedFilesKeepsTheRules)
{
    const VolumeRow &volume = GetParam();
    TempStore store;
    const MountedImage image(volume, store.root());
    if (!image.why().isEmpty())
        GTEST_SKIP() << qPrintable(image.why());
    const QString src = store.scratch("src"), from = image.folder("from"), dest = image.folder("dest");
    const std::pair<const char *, const char *> files[] = {{"new.txt", "new"}, {"old.txt", "fresh"},
        {"Case.txt", "upper"}, {"case.txt", "lower case"}, {"a:b.txt", "colon"}};
    for (const auto &[name, content] : files)
        writeAged(src + name, content);
    writeBytes(dest + "old.txt", "stale");
    writeBytes(from + "moved.txt", "moved");
    const QList<std::tuple<QString, QString, QString, bool>> entries
        = {{"*.txt", src, dest, false}, {"moved.txt", from, dest, true}};
    storeEntries(entries);
    const QList<PreviewRow> rows = preview(entries);
    EXPECT_EQ(rowsSaying(rows, "Fails: Bad file name (64)"), volume.refusesNames ? 1 : 0);
    EXPECT_EQ(rowsSaying(rows, " on this file system"), volume.foldsCase ? 1 : 0);

    const ChildResult result = runChild(store);
    EXPECT_EQ(result.exitCode, 0) << qPrintable(result.errors);
    const QString log = QString::fromUtf8(readBytes(logFilePath()));
    EXPECT_EQ(log.count(" failed: Error Number: 64  Error: Bad file name\t"), volume.refusesNames ? 1 : 0);
    EXPECT_EQ(log.count(" failed: "), volume.refusesNames ? 1 : 0) << qPrintable(log);
    EXPECT_EQ(readBytes(dest + "new.txt"), "new");
    EXPECT_EQ(readBytes(dest + "old.txt"), "fresh");
    // As old as its source, to the file system's two seconds at most.
    EXPECT_LE(
        std::abs(
            QFileInfo(dest + "new.txt").lastModified().secsTo(QFileInfo(src + "new.txt").lastModified())),
        2);
    EXPECT_EQ(readBytes(dest + "moved.txt"), "moved");
    EXPECT_FALSE(present(from + "moved.txt"));
    EXPECT_EQ(namesIn(dest).filter("case.txt", Qt::CaseInsensitive).size(), volume.foldsCase ? 1 : 2);
    EXPECT_EQ(namesIn(dest).filter(".quillfen-"), QStringList());
    // The folded pair is a taken name, recorded as a replacement like old.txt's.
    const QList<JournalEntry> journal = readJournal();
    EXPECT_EQ(journal.size(), volume.refusesNames ? 5 : 6);
    EXPECT_EQ(
        std::count_if(journal.cbegin(), journal.cend(),
            [](const JournalEntry &entry) { return entry.replaced != JournalEntry::Replaced::Nothing; }),
        volume.foldsCase ? 2 : 1);
    // Every file the run left is as it left it, at the times the file system holds; the pair's
    // first is not, but FUSE may show its spelling's old size for a second yet.
    for (const UndoStep &step : planUndo(journal)) {
        if (!step.from.endsWith("ase.txt")) {
            EXPECT_FALSE(step.text.startsWith("Changed since the run")) << qPrintable(step.text);
        }
    }
}

TEST_P(RealFileSystems, UndoLeavesTheVolumeAsTheRunFoundIt)
{
    TempStore store;
    const MountedImage image(GetParam(), store.root());
    if (!image.why().isEmpty())
        GTEST_SKIP() << qPrintable(image.why());
    const QString src = store.scratch("src"), from = image.folder("from"), dest = image.folder("dest");
    const QByteArray probe = nativePath(dest + "probe");
    writeBytes(dest + "probe", "probe");
    Trash trash;
    if (trash.keep(probe).isEmpty() && ::link(probe.constData(), (probe + "2").constData()) != 0)
        GTEST_SKIP() << "the Trash keeps files by link alone so far, and this file system has none";
    removeTree(nativePath(dest));
    QDir().mkpath(dest);
    writeBytes(src + "new.txt", "new");
    writeBytes(src + "old.txt", "fresh");
    writeBytes(dest + "old.txt", "stale");
    writeBytes(from + "moved.txt", "moved");
    storeEntries({{"*.txt", src, dest, false}, {"moved.txt", from, dest, true}});
    ASSERT_EQ(runChild(store).exitCode, 0);
    ASSERT_EQ(readBytes(dest + "old.txt"), "fresh");

    const ChildResult undone = runChild(store, QString(), "undo");
    EXPECT_TRUE(undone.errors.contains("4 of 4 steps done")) << qPrintable(undone.errors);
    EXPECT_FALSE(present(dest + "new.txt"));
    EXPECT_EQ(readBytes(dest + "old.txt"), "stale");
    EXPECT_EQ(readBytes(from + "moved.txt"), "moved");
}

INSTANTIATE_TEST_SUITE_P(Images, RealFileSystems, testing::ValuesIn(Volumes),
    [](const testing::TestParamInfo<VolumeRow> &info) { return std::string(info.param.name); });

// A share that offers no nameless files, no rename flags, no links and no settable times: every
// file is still placed whole, a file that appears under a name just before it is taken is kept
// in the Trash, and an undo brings back what was there.
TEST(Shares, WithoutLinksOrRenameFlagsEveryFileIsPlacedAndNoneLost)
{
    TempStore store;
    const QString src = store.scratch("src"), late = store.scratch("late"), from = store.scratch("from"),
                  dest = store.scratch("dest");
    writeBytes(src + "new.dat", "new");
    writeBytes(src + "old.dat", "fresh");
    writeBytes(late + "late.dat", "late");
    writeBytes(dest + "old.dat", "stale");
    writeBytes(from + "moved.dat", "moved");
    storeEntries(
        {{"late.dat", late, dest, false}, {"*.dat", src, dest, false}, {"moved.dat", from, dest, true}});
    const QString folder = dest.chopped(1), sources = store.root();
    const QString share
        = QStringLiteral("tmpfile=%2@%1;renameat2=%3@%4;link,linkat=%5@%1;futimens,fchmod=%5@%1")
              .arg(folder)
              .arg(EOPNOTSUPP)
              .arg(EINVAL)
              .arg(sources)
              .arg(EPERM);
    const ChildResult result = runChild(store, "appear=0@" + folder + "!once;" + share);
    EXPECT_EQ(result.exitCode, 0) << qPrintable(result.errors);
    EXPECT_FALSE(QString::fromUtf8(readBytes(logFilePath())).contains(" failed: "));
    EXPECT_EQ(readBytes(dest + "new.dat"), "new");
    EXPECT_EQ(readBytes(dest + "old.dat"), "fresh");
    EXPECT_EQ(readBytes(dest + "late.dat"), "late");
    EXPECT_EQ(readBytes(dest + "moved.dat"), "moved");
    EXPECT_FALSE(present(from + "moved.dat"));
    EXPECT_EQ(namesIn(dest).filter(".quillfen-"), QStringList());
    const QString trash = nameFromNative(Trash::homeTrash()) + "/files/";
    EXPECT_EQ(readBytes(trash + "late.dat"), "appeared meanwhile\n");
    EXPECT_EQ(readBytes(trash + "old.dat"), "stale");

    ASSERT_EQ(runChild(store, share, "undo").exitCode, 0);
    EXPECT_EQ(readBytes(dest + "late.dat"), "appeared meanwhile\n");
    EXPECT_EQ(readBytes(dest + "old.dat"), "stale");
    EXPECT_FALSE(present(dest + "new.dat"));
    EXPECT_EQ(readBytes(from + "moved.dat"), "moved");
}

} // namespace
