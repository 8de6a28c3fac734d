#include "settings/options_values.h"
#include "support/scripted_message_boxes.h"
#include "support/temp_store.h"

#include <gtest/gtest.h>

using namespace quillfen;

namespace {

TEST(OptionsValues, AnEmptyStoreOpensWithDefaultsAndClosesStoringThem)
{
    test::TempStore temp;
    test::ScriptedMessageBoxes boxes;
    OptionsValues values;
    values.load();
    EXPECT_EQ(values.timer, QStringLiteral("10"));
    EXPECT_FALSE(values.autoStart);
    EXPECT_EQ(values.defaultFileExt, QStringLiteral("*.txt"));
    EXPECT_EQ(values.interval, QStringLiteral("1"));
    EXPECT_EQ(values.intervalType, QStringLiteral("h"));
    EXPECT_EQ(values.entries.count(), 0);
    values.close();
    EXPECT_EQ(temp.value(QStringLiteral("Timer")), QStringLiteral("10"));
    EXPECT_EQ(temp.value(QStringLiteral("AutoStart")), QStringLiteral("0"));
    EXPECT_EQ(temp.value(QStringLiteral("sc_DefaultFileExt")), QStringLiteral("*.txt"));
    EXPECT_EQ(temp.value(QStringLiteral("sc_CompareInterval")), QStringLiteral("1"));
    EXPECT_EQ(temp.value(QStringLiteral("sc_CompareIntType")), QStringLiteral("h"));
    EXPECT_EQ(temp.value(QStringLiteral("sc_Files")), QStringLiteral("0"));
    EXPECT_TRUE(boxes.shown().isEmpty());
}

TEST(OptionsValues, StoredValuesAreShownNormalisedOrAsTyped)
{
    const struct
    {
        const char *key;
        const char *stored;
        QString OptionsValues::*field;
        const char *shown;
    } cases[] = {
        {"Timer", "010", &OptionsValues::timer, "10"},
        {"Timer", " 7.5 ", &OptionsValues::timer, "8"},
        {"sc_CompareInterval", "010", &OptionsValues::interval, "010"},
        {"sc_CompareIntType", "ww", &OptionsValues::intervalType, "ww"},
        {"sc_DefaultFileExt", "*.log;*.txt", &OptionsValues::defaultFileExt, "*.log;*.txt"},
    };
    for (const auto &c : cases) {
        test::TempStore temp;
        temp.set(QString::fromUtf8(c.key), QString::fromUtf8(c.stored));
        OptionsValues values;
        values.load();
        EXPECT_EQ(values.*c.field, QString::fromUtf8(c.shown)) << c.key << " " << c.stored;
    }
}

TEST(OptionsValues, AFailedLoadStepIsReportedAndKeepsItsValue)
{
    const struct
    {
        const char *key;
        const char *stored;
        const char *message;
        const char *storedOnClose;
    } cases[] = {
        {"Timer", "abc", "Error Type mismatch (13) on Options form load", ""},
        {"Timer", "", "Error Type mismatch (13) on Options form load", ""},
        {"Timer", "99999", "Error Overflow (6) on Options form load", ""},
        {"AutoStart", "yes", "Error Type mismatch (13) on Options form load", "0"},
        {"AutoStart", "2", "Error Invalid property value (380) on Options form load", "0"},
        // A list that could not be read is never written back over the store.
        {"sc_Files", "99999", "Error Overflow (6) on Get Files", "99999"},
        {"sc_Files", "0x1", "Error Type mismatch (13) on Get Files", "0x1"},
        {"sc_Files", "-3", "Error Invalid procedure call or argument (5) on Get Files", "-3"},
    };
    for (const auto &c : cases) {
        test::TempStore temp;
        test::ScriptedMessageBoxes boxes;
        temp.set(QString::fromUtf8(c.key), QString::fromUtf8(c.stored));
        temp.set(QStringLiteral("sc_File1"), QStringLiteral("kept"));
        OptionsValues values;
        values.load();
        ASSERT_EQ(boxes.shown().size(), 1) << c.key << " " << c.stored;
        EXPECT_EQ(boxes.shown()[0].text, QString::fromUtf8(c.message));
        EXPECT_EQ(values.defaultFileExt, QStringLiteral("*.txt")) << "loading goes on after the failure";
        EXPECT_EQ(values.intervalType, QStringLiteral("h"));
        values.close();
        EXPECT_EQ(temp.value(QString::fromUtf8(c.key)), QString::fromUtf8(c.storedOnClose));
        EXPECT_EQ(temp.value(QStringLiteral("sc_File1")), QStringLiteral("kept"));
    }
}

TEST(OptionsValues, AReloadKeepsTheFailedControlsPreviousValue)
{
    test::TempStore temp;
    test::ScriptedMessageBoxes boxes;
    OptionsValues values;
    values.load();
    temp.set(QStringLiteral("Timer"), QStringLiteral("abc"));
    values.load();
    EXPECT_EQ(values.timer, QStringLiteral("10"));
}

TEST(OptionsValues, CloseWritesEditedValuesAndEntries)
{
    test::TempStore temp;
    OptionsValues values;
    values.load();
    values.timer = QStringLiteral(" 15");
    values.autoStart = true;
    values.interval = QStringLiteral("0");
    values.intervalType = QStringLiteral("n");
    values.entries.append(
        QStringLiteral("*.log"), QStringLiteral("/a/"), QStringLiteral("/b/"), QStringLiteral("1"));
    values.close();
    EXPECT_EQ(temp.value(QStringLiteral("Timer")), QStringLiteral(" 15")) << "stored exactly as typed";
    EXPECT_EQ(temp.value(QStringLiteral("AutoStart")), QStringLiteral("1"));
    EXPECT_EQ(temp.value(QStringLiteral("sc_CompareInterval")), QStringLiteral("0"));
    EXPECT_EQ(temp.value(QStringLiteral("sc_CompareIntType")), QStringLiteral("n"));
    EXPECT_EQ(temp.value(QStringLiteral("sc_Files")), QStringLiteral("1"));
    EXPECT_EQ(temp.value(QStringLiteral("sc_File1")), QStringLiteral("*.log"));
}

} // namespace
