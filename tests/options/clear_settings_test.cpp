#include "options/clear_settings.h"

#include "platform/host.h"
#include "settings/store.h"
#include "support/scripted_message_boxes.h"
#include "support/temp_store.h"

#include <gtest/gtest.h>

using namespace quillfen;

namespace {

const QStringList GeneralKeys = {"sc_Files", "Timer", "AutoStart", "sc_DefaultFileExt", "sc_CompareInterval",
    "sc_CompareIntType", "sc_lastSource", "sc_lastDestination"};
const QStringList PlacementKeys = {"MainLeft", "MainTop", "MainWidth", "MainHeight"};

QStringList entryKeys(int from, int to)
{
    QStringList result;
    for (int n = from; n <= to; ++n) {
        for (const char *stem : {"sc_File", "sc_Path", "sc_Dest", "sc_Move"})
            result.append(QLatin1String(stem) + QString::number(n));
    }
    return result;
}

struct ClearCase
{
    const char *name;
    MsgAnswer answer;
    const char *count; // stored sc_Files; nullptr: absent
    int storedEntries; // entries whose keys are in the store
    int clearedEntries; // entries whose keys go

    friend void PrintTo(const ClearCase &c, std::ostream *os) { *os << c.name; }
};

class ClearSettings : public ::testing::TestWithParam<ClearCase>
{
protected:
    ClearSettings()
    {
        host::setProgramEnder([this] { m_boxesAtEnd.append(m_boxes.shown().size()); });
    }
    ~ClearSettings() override { host::setProgramEnder({}); }

    test::TempStore m_store;
    test::ScriptedMessageBoxes m_boxes;
    QList<qsizetype> m_boxesAtEnd; // one item per end of the program
};

TEST_P(ClearSettings, DeletesCountedEntriesAndGeneralKeysThenEnds)
{
    const ClearCase &c = GetParam();
    for (const QString &key : GeneralKeys + entryKeys(1, c.storedEntries) + QStringList {"Imported"})
        m_store.set(key, QStringLiteral("x"));
    if (c.count)
        m_store.set(QStringLiteral("sc_Files"), QString::fromLatin1(c.count));
    else
        store::remove(QStringLiteral("AppSettings"), QStringLiteral("sc_Files"));
    for (const QString &key : PlacementKeys)
        store::save(QStringLiteral("Settings"), key, QStringLiteral("1440"));

    const bool yes = c.answer == MsgAnswer::Yes;
    m_boxes.answerNext(c.answer);
    EXPECT_EQ(sc_ClearSettings(), yes);

    for (const QString &key : GeneralKeys + entryKeys(1, c.clearedEntries))
        EXPECT_EQ(m_store.has(key), !yes) << qPrintable(key);
    for (const QString &key : entryKeys(c.clearedEntries + 1, c.storedEntries) + QStringList {"Imported"})
        EXPECT_TRUE(m_store.has(key)) << qPrintable(key);
    for (const QString &key : PlacementKeys)
        EXPECT_EQ(store::get(QStringLiteral("Settings"), key), QStringLiteral("1440")) << qPrintable(key);

    ASSERT_EQ(m_boxes.shown().size(), yes ? 2 : 1);
    const MessageBoxRequest &question = m_boxes.shown().first();
    EXPECT_EQ(question.text, QStringLiteral("Are you sure you want to clear all settings?"));
    EXPECT_EQ(question.title, QStringLiteral("Continue?"));
    EXPECT_EQ(question.buttons, MsgButtons::YesNo);
    if (yes) {
        const MessageBoxRequest &done = m_boxes.shown().at(1);
        EXPECT_EQ(
            done.text, QStringLiteral("All settings have been cleared.\r\n\r\nQuillfen will now terminate."));
        EXPECT_EQ(done.title, QStringLiteral("Complete"));
        EXPECT_EQ(done.icon, MsgIcon::Exclamation);
    }
    EXPECT_EQ(m_boxesAtEnd, yes ? QList<qsizetype> {2} : QList<qsizetype> {})
        << "the end follows the message";
}

INSTANTIATE_TEST_SUITE_P(Rows, ClearSettings,
    ::testing::Values(ClearCase {"AnswerNoKeepsEverything", MsgAnswer::No, "3", 3, 3},
        ClearCase {"ThreeEntries", MsgAnswer::Yes, "3", 3, 3},
        ClearCase {"KeysBeyondTheCountStay", MsgAnswer::Yes, "2", 4, 2},
        ClearCase {"NonNumericCountClearsNoEntry", MsgAnswer::Yes, "many", 2, 0},
        ClearCase {"AbsentCount", MsgAnswer::Yes, nullptr, 1, 0}),
    [](const ::testing::TestParamInfo<ClearCase> &info) { return std::string(info.param.name); });

} // namespace
