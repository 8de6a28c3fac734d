#include "settings/numeric.h"
#include "settings/options_values.h"
#include "settings/store.h"
#include "support/read_only_folder.h"
#include "support/temp_store.h"
#include "support/test_support.h"

#include <QSettings>
#include <QTemporaryDir>

using namespace quillfen;
using test::q;

namespace {

// What another process reads from the disk (a copy: this one shares what it parsed of a file).
QString onDisk(const char *key)
{
    QTemporaryDir copy;
    QFile::copy(store::filePath(), copy.filePath(q("c")));
    return QSettings(copy.filePath(q("c")), QSettings::IniFormat).value(q("AppSettings/") + key).toString();
}

TEST(Store, ReadsDefaultsUntilSavedThenExactlyWhatWasSavedAndOnDiskAtOnce)
{
    test::TempStore temp;
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
    EXPECT_EQ(test::failureOf([] { store::remove(keys::Timer); }), 5);
}

TEST(Store, ABatchWritesOnceWhenTheOutermostEndsEvenByAnException)
{
    test::TempStore temp;
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

TEST(Store, AFileThatCannotBeReplacedFailsStaysAsItWasAndTheNextWriteGoesThrough)
{
    test::TempStore temp;
    test::ScriptedMessageBoxes boxes;
    store::save(keys::Timer, q("10"));
    {
        test::ReadOnlyFolder readOnly(QFileInfo(store::filePath()).absolutePath());
        if (!readOnly.active())
            GTEST_SKIP() << "cannot make a folder read-only here";
        EXPECT_EQ(test::failureOf([] { store::save(keys::Timer, q("99")); }), 70);
        sc_AddFiles(EntryList {});
        OptionsValues {}.close();
        EXPECT_EQ(boxes.texts(), QStringList(2, q("Error Permission denied (70) on Add Files")));
        EXPECT_EQ(onDisk("Timer"), q("10"));
    }
    store::save(keys::AutoStart, q("1"));
    EXPECT_EQ(onDisk("AutoStart"), q("1"));
}

TEST(Numeric, StoredTextAsA16BitNumberAndAsAMoveFlag)
{
    // text, toInteger16's number or failure, toMoveFlag's answer (0, 1) or failure (13)
    const std::tuple<const char *, int, int, int> rows[]
        = {{" +7 ", 7, 0, 1}, {"2.5", 2, 0, 1}, {"-3.5", -4, 0, 1}, {".5", 0, 0, 1}, {"1e3", 1000, 0, 1},
            {"32767", 32767, 0, 1}, {"-32768.5", -32768, 0, 1}, {"32767.5", 0, 6, 1}, {"-32769", 0, 6, 1},
            {"1e999", 0, 6, 1}, {"0.0", 0, 0, 0}, {"", 0, 13, 13}, {"1 2", 0, 13, 13}, {"1e", 0, 13, 13},
            {" tRUE", 0, 13, 1}, {"FALSE ", 0, 13, 0}, {"yes", 0, 13, 13}};
    for (const auto &[text, number, failure, flag] : rows) {
        SCOPED_TRACE(text);
        qint16 converted = 0;
        EXPECT_EQ(test::failureOf([&] { converted = toInteger16(QString::fromUtf8(text)); }), failure);
        EXPECT_EQ(converted, number);
        bool asFlag = false;
        const int flagFailure = test::failureOf([&] { asFlag = toMoveFlag(QString::fromUtf8(text)); });
        EXPECT_EQ(flagFailure ? flagFailure : int(asFlag), flag);
    }
}

} // namespace
