#include "settings/store.h"
#include "support/test_support.h"

#include <QSettings>
#include <QTemporaryDir>

namespace quillfen::test {

// What another process reads from the disk (a copy: this one shares what it parsed of a file).
QString onDisk(const char *key)
{
    QTemporaryDir copy;
    QFile::copy(store::filePath(), copy.filePath(q("c")));
    return QSettings(copy.filePath(q("c")), QSettings::IniFormat).value(q("AppSettings/") + key).toString();
}

TEST(Store, ReadsDefaultsUntilSavedThenWhatWasSaved)
{
    TempStore temp;
    for (const keys::Key &key : keys::All)
        EXPECT_EQ(store::get(key), QString::fromUtf8(key.fallback)) << key.name;
    EXPECT_FALSE(QFileInfo::exists(store::filePath())) << "reading creates nothing";
    for (const char *value : {"", " 15 ", "a,b, c", "@Variant(x)", "C:\\Data\\", "tab\there", "line\r\nbreak",
             "#;not a comment", "key=value [section]", "Grüße ✓", "\"quoted\""}) {
        store::save(keys::Section::App, q("Value"), q(value));
        EXPECT_EQ(store::get(keys::Section::App, q("Value"), q("10")), q(value));
        EXPECT_EQ(onDisk("Value"), q(value));
    }
    store::save(keys::Timer, q("5"));
    store::save(keys::Section::App, q("timer"), q("7"));
    EXPECT_EQ(store::get(keys::Timer), q("5")) << "key names keep their case";
    store::remove(keys::Timer);
    EXPECT_EQ(onDisk("Timer"), QString());
    EXPECT_EQ(failureOf([] { store::remove(keys::Timer); }), 5);
}

TEST(Store, ABatchWritesOnceWhenTheOutermostEndsEvenByAnException)
{
    TempStore temp;
    try {
        store::WriteBatch batch;
        store::save(keys::Timer, q("20"));
        store::WriteBatch().commit();
        EXPECT_EQ(onDisk("Timer"), QString());
        throw Failure(5);
    } catch (const Failure &) {
    }
    EXPECT_EQ(onDisk("Timer"), q("20"));
}

TEST(Store, ARefusedWriteKeepsTheFile)
{
    TempStore temp;
    store::save(keys::Timer, q("10"));
    {
        ReadOnlyFolder readOnly(QFileInfo(store::filePath()).absolutePath());
        if (!readOnly.active())
            GTEST_SKIP() << "cannot make a folder read-only here";
        EXPECT_EQ(failureOf([] { store::save(keys::Timer, q("99")); }), 70);
        EXPECT_EQ(onDisk("Timer"), q("10"));
    }
    store::save(keys::AutoStart, q("1"));
    EXPECT_EQ(onDisk("AutoStart"), q("1"));
}

} // namespace quillfen::test
