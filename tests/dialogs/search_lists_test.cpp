#include "dialogs/drive_list.h"
#include "dialogs/file_list.h"
#include "dialogs/folder_list.h"
#include "dialogs/found_files_model.h"
#include "dialogs/sub_folders.h"

#include "platform/failure.h"
#include "support/temp_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <functional>

#include <unistd.h>

using namespace quillfen;

namespace {

QString q(const char *text)
{
    return QString::fromUtf8(text);
}

// Creates each entry below `root`: a name ending in "/" is a folder, "name->target" a link.
void makeTree(const QString &root, std::initializer_list<const char *> entries)
{
    for (const char *entry : entries) {
        const QString text = q(entry);
        if (text.contains(q("->"))) {
            const QStringList parts = text.split(q("->"));
            ASSERT_EQ(::symlink(parts[1].toUtf8().constData(), (root + parts[0]).toUtf8().constData()), 0);
        } else if (text.endsWith(QLatin1Char('/'))) {
            ASSERT_TRUE(QDir().mkpath(root + text));
        } else {
            QDir().mkpath(QFileInfo(root + text).absolutePath());
            QFile file(root + text);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        }
    }
}

int failureNumber(const std::function<void()> &action)
{
    try {
        action();
    } catch (const Failure &failure) {
        return failure.number();
    }
    return 0;
}

class Lists : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_root = m_store.scratch(); // ends with the separator
        makeTree(m_root,
            {"beta/", "Alpha/", "gamma.txt", ".hidden/", "link->Alpha", "dangling->nowhere", "Alpha/a.txt",
                "Alpha/B.TXT", "Alpha/c.log", "Alpha/.h.txt", "Alpha/inner/"});
    }

    QString at(const char *relative) const { return m_root + q(relative); }

    test::TempStore m_store;
    QString m_root;
};

TEST_F(Lists, SubFoldersAreSortedWithoutCaseAndLeaveOutFilesHiddenAndDanglingNames)
{
    EXPECT_EQ(listSubFolders(m_root), QStringList({"Alpha", "beta", "link"}));
    EXPECT_EQ(failureNumber([&] { listSubFolders(at("missing")); }), failure_no::PathNotFound);
    EXPECT_EQ(failureNumber([&] { listSubFolders(at("gamma.txt")); }), failure_no::PathNotFound);
}

TEST(FolderTexts, AreAbsoluteCleanAndEndWithTheSeparatorOnlyAtTheRoot)
{
    const QString current = QDir::currentPath();
    const struct
    {
        QString given, normal, prefix;
    } rows[] = {
        {q("/"), q("/"), q("/")},
        {q("/a/b/"), q("/a/b"), q("/a/b/")},
        {q("/a//b/../c"), q("/a/c"), q("/a/c/")},
        {QString(), current, current == q("/") ? current : current + q("/")},
        {q("rel"), QDir::cleanPath(current + q("/rel")), QDir::cleanPath(current + q("/rel")) + q("/")},
    };
    for (const auto &row : rows) {
        EXPECT_EQ(normalFolder(row.given), row.normal) << row.given.toStdString();
        EXPECT_EQ(folderPrefix(normalFolder(row.given)), row.prefix) << row.given.toStdString();
    }
    EXPECT_EQ(joinFolder(q("/"), q("x")), q("/x"));
    EXPECT_EQ(joinFolder(q("/a"), q("x")), q("/a/x"));
}

TEST_F(Lists, FolderListAddressesSubFoldersAndAncestorsByIndex)
{
    FolderList list;
    int changed = 0;
    QObject::connect(&list, &FolderList::changed, [&] { ++changed; });
    list.setPath(m_root);
    const QString root = normalFolder(m_root);

    EXPECT_EQ(list.path(), root);
    ASSERT_EQ(list.listCount(), 3);
    EXPECT_EQ(list.listPath(0), root + q("/Alpha"));
    EXPECT_EQ(list.listPath(2), root + q("/link"));
    EXPECT_EQ(list.listPath(3), QString());
    EXPECT_EQ(list.listPath(-1), root);
    EXPECT_EQ(list.listPath(-2), root.left(root.lastIndexOf(QLatin1Char('/'))));
    EXPECT_EQ(changed, 1);

    // A folder that cannot be opened leaves the list as it was.
    EXPECT_EQ(failureNumber([&] { list.setPath(at("missing")); }), failure_no::PathNotFound);
    EXPECT_EQ(list.path(), root);
    EXPECT_EQ(list.listCount(), 3);
    EXPECT_EQ(changed, 1);
}

TEST_F(Lists, HighlightMovesWithoutOpeningUntilOpened)
{
    FolderList list;
    list.setPath(m_root);
    EXPECT_EQ(list.highlightedIndex(), -1);

    list.setHighlightedIndex(1);
    EXPECT_EQ(list.highlightedPath(), list.listPath(1));
    EXPECT_EQ(list.path(), normalFolder(m_root));

    list.openHighlighted();
    EXPECT_EQ(list.path(), normalFolder(at("beta")));
    EXPECT_EQ(list.highlightedIndex(), -1);

    list.setHighlightedIndex(-2); // the parent
    list.openHighlighted();
    EXPECT_EQ(list.path(), normalFolder(m_root));
}

TEST_F(Lists, ReusedListingsLastOnlyWhileSwitchedOn)
{
    FolderList list;
    list.setReuseListings(true);
    list.setPath(m_root);
    makeTree(m_root, {"delta/"});
    list.setPath(at("Alpha"));
    list.setPath(m_root);
    EXPECT_EQ(list.listCount(), 3) << "a parent is not read again while the walk stays inside it";

    list.setReuseListings(false);
    list.setPath(m_root);
    EXPECT_EQ(list.listCount(), 4);
}

TEST_F(Lists, FolderReachedThroughALinkHasTheSameIdentity)
{
    FolderList list;
    list.setPath(at("Alpha"));
    const FolderIdentity direct = list.identity();
    list.setPath(at("link"));
    EXPECT_EQ(list.identity(), direct);
    list.setPath(at("beta"));
    EXPECT_FALSE(list.identity() == direct);
}

TEST_F(Lists, FileListFiltersByPatternAndReportsTheSelectedName)
{
    FileList list;
    list.setFolder(at("Alpha"));
    const struct
    {
        const char *pattern;
        QStringList names;
    } rows[] = {
        {"*.txt", {"a.txt", "B.TXT"}},
        {"*.LOG;a*", {"a.txt", "c.log"}},
        {"*.doc", {}},
    };
    for (const auto &row : rows) {
        list.setPattern(q(row.pattern));
        EXPECT_EQ(list.names(), row.names) << row.pattern;
        EXPECT_EQ(list.count(), row.names.size()) << row.pattern;
    }

    list.setPattern(q("*.txt"));
    ASSERT_EQ(list.count(), 2);
    EXPECT_EQ(list.selectedName(), QString());
    list.setCurrentIndex(list.model()->index(1, 0));
    EXPECT_EQ(list.selectedName(), q("B.TXT"));
    list.setFolder(m_root);
    EXPECT_EQ(list.selectedName(), QString()) << "another folder drops the selection";
    EXPECT_EQ(list.names(), QStringList({"gamma.txt"}));

    list.setFolder(at("missing"));
    EXPECT_EQ(failureNumber([&] { list.count(); }), failure_no::PathNotFound);
}

TEST(FoundFiles, RefusesBeyondItsCapacityAndShowsRowsOnlyWhenPublished)
{
    FoundFilesModel model;
    model.setCapacity(3);
    EXPECT_EQ(model.append(q("/f/"), {q("a"), q("b")}), 2);
    EXPECT_EQ(model.append(q("/g/"), {q("c"), q("d")}), 1);
    EXPECT_EQ(model.append(q("/h/"), {q("e")}), 0);
    EXPECT_EQ(model.count(), 3);
    EXPECT_EQ(model.rowCount(), 0);

    model.publish();
    ASSERT_EQ(model.rowCount(), 3);
    QStringList shown;
    for (int row = 0; row < model.rowCount(); ++row)
        shown.append(model.data(model.index(row)).toString());
    EXPECT_EQ(shown, QStringList({"/f/a", "/f/b", "/g/c"}));

    model.clear();
    EXPECT_EQ(model.count(), 0);
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(model.append(q("/i/"), {q("x")}), 1);
    EXPECT_EQ(model.path(0), q("/i/x"));
}

TEST(Drives, TheDriveOfAFolderIsTheLongestRootHoldingIt)
{
    const QStringList roots {q("/"), q("/media/usb"), q("/media/usb2")};
    const struct
    {
        const char *folder, *drive;
    } rows[] = {
        {"/home/me", "/"},
        {"/media/usb", "/media/usb"},
        {"/media/usb2/photos", "/media/usb2"},
        {"/media/usbx", "/"},
        {"/", "/"},
    };
    for (const auto &row : rows)
        EXPECT_EQ(driveOf(roots, q(row.folder)), q(row.drive)) << row.folder;
}

TEST(Drives, OnlyVolumesAUserBrowsesAreListed)
{
    const struct
    {
        const char *root, *type;
        bool listed;
    } rows[] = {
        {"/", "ext4", true},
        {"/home", "btrfs", true},
        {"/run/media/me/STICK", "vfat", true},
        {"/mnt/share", "nfs4", true},
        {"/tmp", "tmpfs", true},
        {"/run/user/1000", "tmpfs", false},
        {"/dev/shm", "tmpfs", false},
        {"/sys/fs/cgroup", "cgroup2", false},
        {"/snap/core/1", "squashfs", false},
        {"/proc", "proc", false},
    };
    for (const auto &row : rows)
        EXPECT_EQ(isBrowsableVolume(q(row.root), QByteArray(row.type)), row.listed) << row.root;
}

TEST(Drives, TheProgramShowsADriveWithoutAnnouncingAChoice)
{
    DriveList drives;
    drives.setDrives({q("/media/usb"), q("/")});
    EXPECT_EQ(drives.drives(), QStringList({"/", "/media/usb"}));
    int chosen = 0;
    QObject::connect(&drives, &DriveList::driveChosen, [&] { ++chosen; });
    drives.showDriveOf(q("/media/usb/photos"));
    EXPECT_EQ(drives.drive(), q("/media/usb"));
    EXPECT_EQ(chosen, 0);
}

} // namespace
