#include "dialogs/drive_list.h"
#include "dialogs/file_list.h"
#include "dialogs/folder_list.h"
#include "platform/failure.h"
#include "support/qt_test_helpers.h"
#include "support/temp_store.h"
#include "transfer/sub_folders.h"

using namespace quillfen;
using test::q;

namespace {

class Lists : public ::testing::Test
{
protected:
    void SetUp() override
    {
        test::makeTree(m_root,
            {"beta/", "Alpha/", "gamma.txt", ".hidden/", "link->Alpha", "dangling->nowhere", "Alpha/a.txt",
                "Alpha/B.TXT", "Alpha/c.log", "Alpha/.h.txt", "Alpha/inner/"});
    }

    QString at(const char *relative) const { return m_root + q(relative); }

    test::TempStore m_store;
    const QString m_root = m_store.scratch(); // ends with the separator
    const QString m_normal = normalFolder(m_root);
};

TEST_F(Lists, FolderListAddressesSubFoldersAndAncestorsByIndexAndOpensTheHighlight)
{
    FolderList list;
    int changed = 0;
    QObject::connect(&list, &FolderList::changed, [&] { ++changed; });
    list.setPath(m_root);
    EXPECT_EQ(list.path(), m_normal);
    ASSERT_EQ(list.listCount(), 3);
    EXPECT_EQ(list.listPath(0), m_normal + q("/Alpha"));
    EXPECT_EQ(list.listPath(2), m_normal + q("/link"));
    EXPECT_EQ(list.listPath(3), QString());
    EXPECT_EQ(list.listPath(-1), m_normal);
    EXPECT_EQ(list.listPath(-2), m_normal.left(m_normal.lastIndexOf(QLatin1Char('/'))));
    EXPECT_EQ(changed, 1);

    // A folder that cannot be opened leaves the list as it was.
    EXPECT_THROW(list.setPath(at("missing")), Failure);
    EXPECT_EQ(list.path(), m_normal);
    EXPECT_EQ(list.listCount(), 3);
    EXPECT_EQ(changed, 1);

    // The highlight moves without opening, until opened.
    EXPECT_EQ(list.highlightedIndex(), -1);
    list.setHighlightedIndex(1);
    EXPECT_EQ(list.highlightedPath(), list.listPath(1));
    EXPECT_EQ(list.path(), m_normal);
    list.openHighlighted();
    EXPECT_EQ(list.path(), normalFolder(at("beta")));
    EXPECT_EQ(list.highlightedIndex(), -1);
    list.setHighlightedIndex(-2); // the parent
    list.openHighlighted();
    EXPECT_EQ(list.path(), m_normal);
}

TEST_F(Lists, FileListFiltersByPatternAndReportsTheSelectedName)
{
    FileList list;
    list.setFolder(at("Alpha"));
    const std::pair<const char *, QStringList> rows[]
        = {{"*.LOG;a*", {"a.txt", "c.log"}}, {"*.doc", {}}, {"*.txt", {"a.txt", "B.TXT"}}};
    for (const auto &row : rows) {
        list.setPattern(q(row.first));
        EXPECT_EQ(list.names(), row.second) << row.first;
    }
    EXPECT_EQ(list.selectedName(), QString());
    list.setCurrentIndex(list.model()->index(1, 0));
    EXPECT_EQ(list.selectedName(), q("B.TXT"));
    list.setFolder(m_root);
    EXPECT_EQ(list.selectedName(), QString()) << "another folder drops the selection";
    EXPECT_EQ(list.names(), QStringList({"gamma.txt"}));

    list.setFolder(at("missing"));
    EXPECT_THROW(list.names(), Failure);
}

TEST(Drives, TheDriveOfAFolderIsTheLongestRootHoldingItAndIsShownQuietly)
{
    const QStringList roots {q("/"), q("/media/usb"), q("/media/usb2")};
    const char *rows[][2] = {{"/home/me", "/"}, {"/media/usb", "/media/usb"},
        {"/media/usb2/photos", "/media/usb2"}, {"/media/usbx", "/"}, {"/", "/"}};
    for (const auto &row : rows)
        EXPECT_EQ(driveOf(roots, q(row[0])), q(row[1])) << row[0];

    DriveList drives;
    drives.setDrives({q("/media/usb"), q("/")});
    EXPECT_EQ(drives.drives(), QStringList({"/", "/media/usb"}));
    int chosen = 0;
    QObject::connect(&drives, &DriveList::driveChosen, [&] { ++chosen; });
    drives.showDriveOf(q("/media/usb/photos"));
    EXPECT_EQ(drives.drive(), q("/media/usb"));
    EXPECT_EQ(chosen, 0);
}

TEST(Drives, OnlyVolumesAUserBrowsesAreListed)
{
    // root, file system type, listed
    const char *rows[][3] = {{"/", "ext4", "1"}, {"/home", "btrfs", "1"},
        {"/run/media/me/STICK", "vfat", "1"}, {"/mnt/share", "nfs4", "1"}, {"/tmp", "tmpfs", "1"},
        {"/run/user/1000", "tmpfs", ""}, {"/dev/shm", "tmpfs", ""}, {"/sys/fs/cgroup", "cgroup2", ""},
        {"/snap/core/1", "squashfs", ""}, {"/proc", "proc", ""}};
    for (const auto &row : rows)
        EXPECT_EQ(isBrowsableVolume(q(row[0]), QByteArray(row[1])), *row[2] == '1') << row[0];
}

} // namespace
