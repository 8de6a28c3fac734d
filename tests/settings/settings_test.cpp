#include "settings/entry_list.h"
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

TEST(Store, ReadsDefaultsUntilSavedThenWhatWasSaved)
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

TEST(Store, ARefusedWriteFailsWith70AndKeepsTheFile)
{
    test::TempStore temp;
    store::save(keys::Timer, q("10"));
    {
        test::ReadOnlyFolder readOnly(QFileInfo(store::filePath()).absolutePath());
        if (!readOnly.active())
            GTEST_SKIP() << "a folder cannot be made read-only here (root ignores modes)";
        EXPECT_EQ(test::failureOf([] { store::save(keys::Timer, q("99")); }), 70);
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

// Entry n of the list is "File<n>", "Path<n>", "Dest<n>", "Move<n>".
EntryList numbered(std::initializer_list<int> numbers)
{
    EntryList list;
    for (const int n : numbers)
        list.append(q("File%1").arg(n), q("Path%1").arg(n), q("Dest%1").arg(n), q("Move%1").arg(n));
    return list;
}

TEST(EntryList, SavesEveryEntryThenTheCountAndLoadsNoKeyBeyondIt)
{
    test::TempStore temp;
    sc_AddFiles(numbered({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    for (const char *field : {"File", "Path", "Dest", "Move"})
        EXPECT_EQ(temp.value("sc_" + q(field) + "10"), q(field) + "10");

    temp.set(keys::Files, q("3"));
    store::remove(keys::Section::App, q("sc_Path2"));
    EntryList list = numbered({7});
    sc_GetFiles(list);
    EXPECT_EQ(list.count(), 3) << "a reload replaces the list";

    list.removeAt(0);
    sc_AddFiles(list);
    // Entry 1 is the former entry 2, with the field its missing key gave; a longer list's keys stay.
    const char *stored[][2] = {{"sc_Files", "2"}, {"sc_File1", "File2"}, {"sc_Path1", ""},
        {"sc_Dest1", "Dest2"}, {"sc_Move1", "Move2"}, {"sc_File3", "File3"}, {"sc_Move10", "Move10"}};
    for (const auto &[key, value] : stored)
        EXPECT_EQ(temp.value(q(key)), q(value)) << key;
}

TEST(OptionsValues, LoadShowsEachValueAndCloseWritesWhatIsShown)
{
    // What an empty store shows, as close writes it.
    const std::pair<const char *, const char *> shown[]
        = {{"Timer", "10"}, {"AutoStart", "0"}, {"sc_DefaultFileExt", "*.txt"}, {"sc_CompareInterval", "1"},
            {"sc_CompareIntType", "h"}, {"KeepReplacedInTrash", "1"}, {"sc_Files", "0"}};
    // One key stored, what close writes for it, the failure and place of the step that failed.
    const std::tuple<const char *, const char *, const char *, const char *> rows[]
        = {{"", "", "", nullptr}, {"Timer", " 7.5 ", "8", nullptr}, {"AutoStart", "1", "1", nullptr},
            {"sc_CompareInterval", "010", "010", nullptr}, {"KeepReplacedInTrash", "0", "0", nullptr},
            {"Timer", "abc", "", "Type mismatch (13) on Options form load"},
            {"AutoStart", "2", "0", "Invalid property value (380) on Options form load"},
            {"sc_Files", "99999", "99999", "Overflow (6) on Get Files"},
            {"sc_Files", "0x1", "0x1", "Type mismatch (13) on Get Files"},
            {"sc_Files", "-3", "-3", "Invalid procedure call or argument (5) on Get Files"}};
    for (const auto &[key, stored, closed, report] : rows) {
        SCOPED_TRACE(std::string(key) + "=" + stored);
        test::TempStore temp;
        temp.set(q("sc_File1"), q("kept"));
        if (*key)
            temp.set(q(key), q(stored));
        OptionsValues values;
        QList<Report> reports = values.load();
        reports += values.close();
        QStringList reported;
        for (const Report &failed : reports)
            reported << QString::fromUtf8(failed.failure.what()) + " on " + failed.where;
        EXPECT_EQ(reported, report ? QStringList {q(report)} : QStringList {});
        for (const auto &[name, value] : shown)
            EXPECT_EQ(temp.value(q(name)), q(qstrcmp(name, key) ? value : closed)) << name;
        EXPECT_EQ(temp.value(q("sc_File1")), q("kept"));
    }
    test::TempStore temp;
    OptionsValues typed;
    typed.timer = q(" 15");
    typed.close();
    EXPECT_EQ(temp.value(keys::Timer), q(" 15")) << "stored exactly as typed";
}

} // namespace
