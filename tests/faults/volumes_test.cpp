// Where users back up to: exFAT, FAT32 and NTFS images through FUSE, and a share the shim plays.

#include "faults_support.h"

#include "transfer/journal.h"
#include "transfer/messages.h"
#include "transfer/preview.h"
#include "transfer/transfer_log.h"
#include "transfer/undo.h"

namespace quillfen::faults {

struct VolumeRow
{
    const char *name, *mount; // formats $I, mounts it at $D with every file another user's
    bool refusesNames, foldsCase;
    friend void PrintTo(const VolumeRow &row, std::ostream *out) { *out << row.name; }
};

const VolumeRow Volumes[] = {
    {"exFAT", "mkfs.exfat $I && mount.exfat-fuse -o uid=65534 $(losetup -f --show $I) $D", true, true},
    {"FAT32", "mkfs.vfat -F32 $I && fusefat -o rw+ $I $D", true, true},
    {"NTFS", "mkfs.ntfs -FQ $I && ntfs-3g -o uid=65534 $I $D", false, false},
};

// A fresh image of the row's file system, mounted at `folder` while it lives.
struct MountedImage
{
    MountedImage(const VolumeRow &row, const QString &root)
        : image(root + "/volume.img")
        , folder(root + "/volume/")
    {
        QDir().mkpath(folder);
        mounted = shell(QString("truncate -s32M $I && ") + row.mount) && QDir(folder).mkpath("from")
            && QDir(folder).mkpath("dest");
    }
    ~MountedImage()
    {
        shell("fusermount -u $D || fusermount -uz $D; losetup -j $I | cut -d: -f1 | xargs -r losetup -d");
    }
    bool shell(const QString &script)
    {
        QProcess sh;
        sh.setEnvironment(QProcess::systemEnvironment() << "I=" + image << "D=" + folder);
        sh.start("sh", {"-c", script});
        const bool done = sh.waitForFinished(20000) && sh.exitCode() == 0;
        why = QString::fromUtf8(sh.readAllStandardError()).trimmed();
        return done;
    }

    QString image, folder, why;
    bool mounted = false;
};

using RealFileSystems = testing::TestWithParam<VolumeRow>;

TEST_P(RealFileSystems, ARunKeepsTheFileSystemsRules)
{
    const VolumeRow &volume = GetParam();
    TempStore store;
    MountedImage image(volume, store.root());
    if (!image.mounted)
        GTEST_SKIP() << volume.name << " cannot be mounted here: " << qPrintable(image.why);
    const QString src = store.scratch("src"), from = image.folder + "from/", dest = image.folder + "dest/";
    for (const char *name : {"new file.txt", "old.txt", "Case.txt", "case.txt", "a:b.txt"})
        writeAged(src + name, name);
    writeBytes(dest + "old.txt", "stale");
    writeAged(from + "moved.txt", "moved");
    writeAged(src + "away.dat", "away"); // moved onto the volume from another file system
    storeEntries(
        {{"*.txt", src, dest, false}, {"moved.txt", from, dest, true}, {"away.dat", src, dest, true}});
    EntryList entries;
    sc_GetFiles(entries);
    QStringList reasons;
    previewRun(
        entries, "0", "s", [&](const PreviewRow &row) { reasons << row.reason; }, [] { return true; });
    EXPECT_EQ(reasons.filter("Would fail: Bad file name (64)").size(), volume.refusesNames ? 1 : 0);
    EXPECT_EQ(reasons.filter(QRegularExpression("same name as [Cc]ase.txt on this file system")).size(),
        volume.foldsCase ? 1 : 0);

    const ChildResult result = runChild(store);
    EXPECT_EQ(result.exitCode, 0) << qPrintable(result.errors);
    const QString log = QString::fromUtf8(readBytes(logFilePath()));
    EXPECT_EQ(log.count(" failed: Error Number: 64  Error: Bad file name\t"), volume.refusesNames ? 1 : 0);
    EXPECT_EQ(namesIn(dest).filter("case.txt", Qt::CaseInsensitive).size(), volume.foldsCase ? 1 : 2);
    // As old as its source, to FAT's two seconds.
    EXPECT_LE(std::abs(QFileInfo(dest + "new file.txt")
                           .lastModified()
                           .secsTo(QFileInfo(src + "new file.txt").lastModified())),
        2);
    // The folded pair is a taken name, replaced as old.txt is.
    JournalReader journal;
    journal.rewind();
    int replaced = 0;
    for (JournalEntry entry; journal.previous(entry);)
        replaced += entry.replaced == JournalEntry::Replaced::Nothing ? 0 : 1;
    EXPECT_EQ(replaced, volume.foldsCase ? 2 : 1);
    // The times recorded are the file system's; FUSE may show the pair's first its old size yet.
    QStringList steps;
    {
        const Undo undo;
        for (const UndoStep &step : undo.plan().listed)
            steps << messages::undoStep(step);
    }
    EXPECT_EQ(steps.filter(QRegularExpression("^Changed(?!.*ase\\.txt$)")), QStringList());
    EXPECT_EQ(readBytes(image.folder + QString(".Trash-%1/files/old.txt").arg(::getuid())), "stale");
    EXPECT_EQ(runChild(store, {}, "undo").exitCode, 0);
    EXPECT_EQ(readBytes(from + "moved.txt"), "moved");
    EXPECT_EQ(readBytes(src + "away.dat"), "away");
    EXPECT_EQ(readBytes(dest + "old.txt"), "stale");
}

INSTANTIATE_TEST_SUITE_P(Images, RealFileSystems, testing::ValuesIn(Volumes),
    [](const testing::TestParamInfo<VolumeRow> &info) { return std::string(info.param.name); });

// Every file is placed whole, and one that appears under a name just before it is taken is kept.
TEST(Shares, OnABareShareEveryFileIsPlacedWhole)
{
    TempStore store;
    const QString src = store.scratch("src"), from = store.scratch("from"), dest = store.scratch("dest");
    for (const char *name : {"late.dat", "new.dat", "old.dat"})
        writeBytes(src + name, name);
    writeBytes(dest + "old.dat", "stale");
    writeBytes(from + "moved.dat", "moved");
    storeEntries({{"*.dat", src, dest, false}, {"moved.dat", from, dest, true}});
    // EOPNOTSUPP, EINVAL, EPERM
    const QString share = QString("tmpfile=95@%1;renameat2=22@%2;link,linkat=1@%1;futimens,fchmod=1@%1")
                              .arg(dest.chopped(1), store.root());
    const ChildResult result = runChild(store, "appear=0@" + dest + "late!once;" + share);
    EXPECT_EQ(result.exitCode, 0) << qPrintable(result.errors);
    for (const char *name : {"late.dat", "new.dat", "old.dat"})
        EXPECT_EQ(readBytes(dest + name), name);
    EXPECT_EQ(namesIn(dest).filter(".quillfen-"), QStringList());
    EXPECT_EQ(readBytes(store.root() + "/data/Trash/files/late.dat"), "appeared meanwhile\n");
    const ChildResult undone = runChild(store, share, "undo");
    EXPECT_EQ(undone.exitCode, 0) << qPrintable(undone.errors);
    EXPECT_EQ(readBytes(dest + "late.dat"), "appeared meanwhile\n");
    EXPECT_EQ(readBytes(dest + "old.dat"), "stale");
    EXPECT_EQ(readBytes(from + "moved.dat"), "moved");
}

} // namespace quillfen::faults
