#include "options/clear_settings.h"
#include "options/settings_file.h"

#include "platform/host.h"
#include "settings/entry_list.h"
#include "settings/store.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

namespace quillfen::test {

TEST(EntryChoices, SurviveExportThenClearThenImport)
{
    TempStore store;
    ScriptedMessageBoxes boxes;
    Installed<host::setProgramEnder> noEnd([] {});
    EntryList list;
    list.append("a", "/s/", "/d/", "1", "1", "3");
    list.append("b", "/s/", "/d/", "0");
    list.append("c", "/s/", "/d/", "0", QString(), "2");
    sc_AddFiles(list);
    sc_ExportSettings();
    boxes.answerNext(MsgAnswer::Yes);
    sc_ClearSettings();
    EXPECT_FALSE(store::contains(keys::Section::App, "sc_Conflict1"));
    boxes.answerNext(MsgAnswer::Yes);
    sc_ImportSettings();
    EntryList back;
    sc_GetFiles(back);
    EXPECT_EQ(back, list);
}

} // namespace quillfen::test
