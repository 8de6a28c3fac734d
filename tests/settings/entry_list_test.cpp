#include "settings/entry_list.h"
#include "settings/keys.h"
#include "settings/store.h"
#include "support/scripted_message_boxes.h"
#include "support/temp_store.h"

#include <gtest/gtest.h>

using namespace quillfen;

namespace {

void storeEntries(test::TempStore &temp, int count, const QString &tag)
{
    for (int n = 1; n <= count; ++n) {
        temp.set(QStringLiteral("sc_File%1").arg(n), QStringLiteral("%1file%2.txt").arg(tag).arg(n));
        temp.set(QStringLiteral("sc_Path%1").arg(n), QStringLiteral("/src/%1/").arg(n));
        temp.set(QStringLiteral("sc_Dest%1").arg(n), QStringLiteral("/dst/%1/").arg(n));
        temp.set(QStringLiteral("sc_Move%1").arg(n), n % 2 ? QStringLiteral("1") : QStringLiteral("0"));
    }
    temp.set(QStringLiteral("sc_Files"), QString::number(count));
}

void expectEqualLengths(const EntryList &list)
{
    EXPECT_EQ(list.paths.size(), list.files.size());
    EXPECT_EQ(list.dests.size(), list.files.size());
    EXPECT_EQ(list.moves.size(), list.files.size());
}

TEST(EntryListLoad, CountDecidesWhichKeysAreRead)
{
    const struct
    {
        const char *storedCount; // nullptr: no sc_Files key
        int storedEntries;
        int loaded;
    } cases[] = {{nullptr, 3, 0}, {"0", 3, 0}, {"2", 5, 2}, {"3", 3, 3}, {" 3 ", 3, 3}, {"2.5", 3, 2}};
    for (const auto &c : cases) {
        test::TempStore temp;
        test::ScriptedMessageBoxes boxes;
        storeEntries(temp, c.storedEntries, QStringLiteral("x"));
        if (c.storedCount)
            temp.set(QStringLiteral("sc_Files"), QString::fromUtf8(c.storedCount));
        else
            store::remove(keys::Section::App, QStringLiteral("sc_Files"));
        EntryList list;
        sc_GetFiles(list);
        EXPECT_EQ(list.count(), c.loaded) << (c.storedCount ? c.storedCount : "absent");
        expectEqualLengths(list);
        EXPECT_TRUE(boxes.shown().isEmpty());
    }
}

TEST(EntryListLoad, MissingEntryKeysGiveEmptyFields)
{
    test::TempStore temp;
    storeEntries(temp, 3, QString());
    store::remove(keys::Section::App, QStringLiteral("sc_Path2"));
    EntryList list;
    sc_GetFiles(list);
    ASSERT_EQ(list.count(), 3);
    expectEqualLengths(list);
    EXPECT_EQ(list.paths[1], QString());
    EXPECT_EQ(list.paths[2], QStringLiteral("/src/3/"));
}

TEST(EntryListLoad, AReloadReplacesRatherThanDuplicates)
{
    test::TempStore temp;
    storeEntries(temp, 2, QString());
    EntryList list;
    sc_GetFiles(list);
    sc_GetFiles(list);
    EXPECT_EQ(list.count(), 2);
    expectEqualLengths(list);
}

TEST(EntryListLoad, AnUnreadableCountIsReportedAndTheListsStayEqual)
{
    const struct
    {
        const char *count;
        const char *text;
        const char *title;
    } cases[] = {{"abc", "Error Type mismatch (13) on Get Files", "Error 13"},
        {"", "Error Type mismatch (13) on Get Files", "Error 13"},
        {"40000", "Error Overflow (6) on Get Files", "Error 6"}};
    for (const auto &c : cases) {
        test::TempStore temp;
        test::ScriptedMessageBoxes boxes;
        storeEntries(temp, 4, QString());
        temp.set(QStringLiteral("sc_Files"), QString::fromUtf8(c.count));

        EntryList fresh;
        sc_GetFiles(fresh);
        EXPECT_EQ(fresh.count(), 0) << "a first load has nothing to fall back on";
        expectEqualLengths(fresh);
        ASSERT_EQ(boxes.shown().size(), 1);
        EXPECT_EQ(boxes.shown()[0].text, QString::fromUtf8(c.text));
        EXPECT_EQ(boxes.shown()[0].title, QString::fromUtf8(c.title));
        EXPECT_EQ(boxes.shown()[0].icon, MsgIcon::Critical);

        // A reload keeps the length shown before and reads that many entries.
        EntryList shown;
        shown.append(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("0"));
        shown.append(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("0"));
        sc_GetFiles(shown);
        ASSERT_EQ(shown.count(), 2);
        expectEqualLengths(shown);
        EXPECT_EQ(shown.files[1], QStringLiteral("file2.txt"));
    }
}

TEST(EntryListSave, WritesEntriesThenCountAndLeavesLongerListsKeys)
{
    test::TempStore temp;
    storeEntries(temp, 5, QStringLiteral("old"));
    EntryList list;
    sc_GetFiles(list);
    list.removeAt(4);
    list.removeAt(0);
    ASSERT_EQ(list.count(), 3);
    sc_AddFiles(list);

    EXPECT_EQ(temp.value(QStringLiteral("sc_Files")), QStringLiteral("3"));
    EXPECT_EQ(temp.value(QStringLiteral("sc_File1")), QStringLiteral("oldfile2.txt"));
    EXPECT_EQ(temp.value(QStringLiteral("sc_File4")), QStringLiteral("oldfile4.txt")) << "kept, not deleted";
    EXPECT_EQ(temp.value(QStringLiteral("sc_Move5")), QStringLiteral("1"));
    EntryList reloaded;
    sc_GetFiles(reloaded);
    EXPECT_EQ(reloaded.count(), 3);
}

TEST(EntryListSave, TenthEntryKeysCarryNoLeadingZeros)
{
    test::TempStore temp;
    EntryList list;
    for (int k = 0; k < 10; ++k)
        list.append(
            QStringLiteral("f%1").arg(k), QStringLiteral("/p/"), QStringLiteral("/d/"), QStringLiteral("0"));
    sc_AddFiles(list);
    EXPECT_EQ(temp.value(QStringLiteral("sc_File10")), QStringLiteral("f9"));
    EXPECT_EQ(temp.value(QStringLiteral("sc_Path10")), QStringLiteral("/p/"));
    EXPECT_EQ(temp.value(QStringLiteral("sc_Dest10")), QStringLiteral("/d/"));
    EXPECT_EQ(temp.value(QStringLiteral("sc_Move10")), QStringLiteral("0"));
    EXPECT_FALSE(temp.has(QStringLiteral("sc_File010")));
    EXPECT_EQ(temp.value(QStringLiteral("sc_Files")), QStringLiteral("10"));
}

TEST(EntryListSave, LoadThenSaveWritesBackTheExactTexts)
{
    test::TempStore temp;
    const QStringList texts = {QStringLiteral(" spaced .txt"), QStringLiteral("/src with space/"),
        QStringLiteral("C:\\Data\\"), QStringLiteral("-1")};
    temp.set(QStringLiteral("sc_File1"), texts[0]);
    temp.set(QStringLiteral("sc_Path1"), texts[1]);
    temp.set(QStringLiteral("sc_Dest1"), texts[2]);
    temp.set(QStringLiteral("sc_Move1"), texts[3]);
    temp.set(QStringLiteral("sc_Files"), QStringLiteral("1"));
    EntryList list;
    sc_GetFiles(list);
    sc_AddFiles(list);
    EXPECT_EQ(temp.value(QStringLiteral("sc_File1")), texts[0]);
    EXPECT_EQ(temp.value(QStringLiteral("sc_Path1")), texts[1]);
    EXPECT_EQ(temp.value(QStringLiteral("sc_Dest1")), texts[2]);
    EXPECT_EQ(temp.value(QStringLiteral("sc_Move1")), texts[3]);
}

TEST(EntryListSave, AnEmptyListStoresCountZeroAndNoEntryKeys)
{
    test::TempStore temp;
    sc_AddFiles(EntryList {});
    EXPECT_EQ(temp.value(QStringLiteral("sc_Files")), QStringLiteral("0"));
    EXPECT_FALSE(temp.has(QStringLiteral("sc_File1")));
}

} // namespace
