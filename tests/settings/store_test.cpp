#include "platform/failure.h"
#include "settings/keys.h"
#include "settings/store.h"
#include "support/read_only_folder.h"
#include "support/temp_store.h"

#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace quillfen;

namespace {

const auto App = keys::Section::App;

// What another process would read from the disk right now (a copy, since the process
// shares what it has parsed of one file among its readers).
QString onDisk(const QString &key)
{
    QTemporaryDir copyDir;
    const QString copy = copyDir.path() + QStringLiteral("/copy.conf");
    QFile::copy(store::filePath(), copy);
    QSettings fresh(copy, QSettings::IniFormat);
    return fresh.value(QStringLiteral("AppSettings/") + key, QStringLiteral("<absent>")).toString();
}

TEST(Store, AbsentKeysReadAsTheirDefaultText)
{
    test::TempStore temp;
    EXPECT_EQ(store::get(App, QStringLiteral("Timer")), QString());
    EXPECT_EQ(store::get(keys::Timer), QStringLiteral("10"));
    EXPECT_EQ(store::get(keys::DefaultFileExt), QStringLiteral("*.txt"));
    EXPECT_EQ(store::get(keys::AutoStart), QStringLiteral("0"));
    EXPECT_EQ(store::get(keys::MainLeft), QString());
    EXPECT_FALSE(QFileInfo::exists(store::filePath())) << "reading creates nothing";
}

TEST(Store, StoredTextComesBackExactlyAndIsOnDiskAtOnce)
{
    test::TempStore temp;
    const QString values[] = {
        QString(),
        QStringLiteral(" 15 "),
        QStringLiteral("010"),
        QStringLiteral("a,b, c"),
        QStringLiteral("@Variant(x)"),
        QStringLiteral("/data/"),
        QStringLiteral("C:\\Data\\"),
        QStringLiteral("tab\there"),
        QStringLiteral("line\r\nbreak"),
        QStringLiteral("#not a comment"),
        QStringLiteral("key=value;[section]"),
        QStringLiteral("Grüße ✓"),
        QStringLiteral("\"quoted\""),
    };
    for (const QString &value : values) {
        store::save(App, QStringLiteral("Value"), value);
        EXPECT_EQ(store::get(App, QStringLiteral("Value"), QStringLiteral("10")), value);
        EXPECT_EQ(onDisk(QStringLiteral("Value")), value);
    }
    store::save(App, QStringLiteral("Timer"), QStringLiteral("5"));
    store::save(App, QStringLiteral("timer"), QStringLiteral("7"));
    EXPECT_EQ(store::get(App, QStringLiteral("Timer")), QStringLiteral("5")) << "key names keep their case";
}

TEST(Store, DeleteRemovesAndAMissingKeyIsAFailure)
{
    test::TempStore temp;
    store::save(App, QStringLiteral("Timer"), QStringLiteral("10"));
    store::remove(App, QStringLiteral("Timer"));
    EXPECT_FALSE(store::contains(App, QStringLiteral("Timer")));
    EXPECT_EQ(onDisk(QStringLiteral("Timer")), QStringLiteral("<absent>"));
    try {
        store::remove(App, QStringLiteral("Timer"));
        ADD_FAILURE() << "deleting a missing key succeeded";
    } catch (const Failure &failure) {
        EXPECT_EQ(failure.number(), 5);
    }
}

TEST(Store, ABatchReachesTheDiskOnlyWhenItCommits)
{
    test::TempStore temp;
    store::save(App, QStringLiteral("Timer"), QStringLiteral("10"));
    {
        store::WriteBatch batch;
        store::save(App, QStringLiteral("Timer"), QStringLiteral("20"));
        store::save(App, QStringLiteral("AutoStart"), QStringLiteral("1"));
        {
            store::WriteBatch inner;
            store::save(App, QStringLiteral("sc_Files"), QStringLiteral("0"));
            inner.commit();
        }
        EXPECT_EQ(onDisk(QStringLiteral("Timer")), QStringLiteral("10"));
        EXPECT_EQ(store::get(App, QStringLiteral("Timer")), QStringLiteral("20"));
        batch.commit();
    }
    EXPECT_EQ(onDisk(QStringLiteral("Timer")), QStringLiteral("20"));
    EXPECT_EQ(onDisk(QStringLiteral("sc_Files")), QStringLiteral("0"));
}

TEST(Store, AWriteThatCannotReachTheDiskFailsAndKeepsTheOldFile)
{
    test::TempStore temp;
    store::save(App, QStringLiteral("Timer"), QStringLiteral("10"));
    const QString folder = QFileInfo(store::filePath()).absolutePath();
    test::ReadOnlyFolder readOnly(folder);
    if (!readOnly.active())
        GTEST_SKIP() << "cannot make a folder read-only here";
    try {
        store::save(App, QStringLiteral("Timer"), QStringLiteral("99"));
        ADD_FAILURE() << "a write into a read-only folder succeeded";
    } catch (const Failure &failure) {
        EXPECT_EQ(failure.number(), 70);
    }
    EXPECT_EQ(onDisk(QStringLiteral("Timer")), QStringLiteral("10"));
}

} // namespace
