#include "options/clear_settings.h"

#include "platform/host.h"
#include "settings/keys.h"
#include "settings/store.h"
#include "support/qt_test_helpers.h"
#include "support/temp_store.h"

using namespace quillfen;

namespace {

QStringList entryKeys(int from, int to)
{
    QStringList result;
    for (int n = from; n <= to; ++n) {
        for (const char *stem : {"sc_File", "sc_Path", "sc_Dest", "sc_Move"})
            result << stem + QString::number(n);
    }
    return result;
}

TEST(ClearSettings, DeletesCountedEntriesAndGeneralKeysThenEnds)
{
    const QStringList general = {"sc_Files", "Timer", "AutoStart", "sc_DefaultFileExt", "sc_CompareInterval",
        "sc_CompareIntType", "sc_lastSource", "sc_lastDestination"};
    struct Row
    {
        MsgAnswer answer;
        const char *count; // stored sc_Files; nullptr: absent
        int stored, cleared; // entries in the store, entries that go
    };
    const Row rows[] = {{MsgAnswer::No, "3", 3, 3}, {MsgAnswer::Yes, "3", 3, 3}, {MsgAnswer::Yes, "2", 4, 2},
        {MsgAnswer::Yes, "many", 2, 0}, {MsgAnswer::Yes, nullptr, 1, 0}};
    for (const Row &c : rows) {
        SCOPED_TRACE(&c - rows);
        test::TempStore store;
        test::ScriptedMessageBoxes boxes;
        QList<qsizetype> boxesAtEnd; // one item per end of the program
        host::setProgramEnder([&] { boxesAtEnd << boxes.shown().size(); });
        for (const QString &key : general + entryKeys(1, c.stored) + QStringList {"Imported"})
            store.set(key, "x");
        if (c.count)
            store.set("sc_Files", c.count);
        else
            store::remove(keys::Files);
        for (const char *key : {"MainLeft", "MainTop", "MainWidth", "MainHeight"})
            store::save(keys::Section::Window, key, "1440");

        const bool yes = c.answer == MsgAnswer::Yes;
        boxes.answerNext(c.answer);
        EXPECT_EQ(sc_ClearSettings(), yes);
        host::setProgramEnder({});

        for (const QString &key : general + entryKeys(1, c.cleared))
            EXPECT_EQ(store.has(key), !yes) << qPrintable(key);
        for (const QString &key : entryKeys(c.cleared + 1, c.stored) + QStringList {"Imported"})
            EXPECT_TRUE(store.has(key)) << qPrintable(key);
        for (const char *key : {"MainLeft", "MainTop", "MainWidth", "MainHeight"})
            EXPECT_EQ(store::get(keys::Section::Window, key), "1440") << key;
        QStringList expected
            = {"Continue? | Are you sure you want to clear all settings? | Exclamation YesNo"};
        if (yes)
            expected << "Complete | All settings have been cleared.\r\n\r\nQuillfen will now terminate. | "
                        "Exclamation Ok";
        EXPECT_EQ(test::boxesSeen(boxes), expected);
        EXPECT_EQ(boxesAtEnd, yes ? QList<qsizetype> {2} : QList<qsizetype> {})
            << "the end follows the message";
    }
}

} // namespace
