#include "settings/entry_list.h"
#include "settings/options_values.h"
#include "settings/store.h"
#include "support/temp_store.h"
#include "support/test_support.h"

using namespace quillfen;
using test::q;

namespace {

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

TEST(EntryList, AfterAnUnreadableCountTheLengthShownBeforeStands)
{
    test::TempStore temp;
    test::ScriptedMessageBoxes boxes;
    sc_AddFiles(numbered({1, 2, 3}));
    temp.set(keys::Files, q("abc"));
    EntryList list = numbered({8, 9});
    EXPECT_FALSE(sc_GetFiles(list));
    EXPECT_EQ(list, numbered({1, 2}));
    EXPECT_EQ(boxes.texts(), QStringList {q("Error Type mismatch (13) on Get Files")});
}

TEST(OptionsValues, LoadShowsEachValueAndCloseWritesWhatIsShown)
{
    // What an empty store shows, as close writes it.
    const std::pair<const char *, const char *> shown[]
        = {{"Timer", "10"}, {"AutoStart", "0"}, {"sc_DefaultFileExt", "*.txt"}, {"sc_CompareInterval", "1"},
            {"sc_CompareIntType", "h"}, {"KeepReplacedInTrash", "1"}, {"sc_Files", "0"}};
    // One key stored, what close writes for it, the report of the step that failed.
    const std::tuple<const char *, const char *, const char *, const char *> rows[]
        = {{"", "", "", nullptr}, {"Timer", " 7.5 ", "8", nullptr}, {"AutoStart", "1", "1", nullptr},
            {"sc_CompareInterval", "010", "010", nullptr}, {"KeepReplacedInTrash", "0", "0", nullptr},
            {"Timer", "abc", "", "Error Type mismatch (13) on Options form load"},
            {"AutoStart", "2", "0", "Error Invalid property value (380) on Options form load"},
            {"sc_Files", "99999", "99999", "Error Overflow (6) on Get Files"},
            {"sc_Files", "0x1", "0x1", "Error Type mismatch (13) on Get Files"},
            {"sc_Files", "-3", "-3", "Error Invalid procedure call or argument (5) on Get Files"}};
    for (const auto &[key, stored, closed, report] : rows) {
        SCOPED_TRACE(std::string(key) + "=" + stored);
        test::TempStore temp;
        test::ScriptedMessageBoxes boxes;
        temp.set(q("sc_File1"), q("kept"));
        if (*key)
            temp.set(q(key), q(stored));
        OptionsValues values;
        values.load();
        values.close();
        EXPECT_EQ(boxes.texts(), report ? QStringList {q(report)} : QStringList {});
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
