#include "transfer_tests.h"

#include "transfer/messages.h"

namespace quillfen::test {

TEST(Messages, EachOutcomeIsSaidInItsOwnWords)
{
    using Kind = Report::Kind;
    const struct
    {
        const char *name;
        messages::Message said;
        const char *title;
        QString text;
        int tone; // 0 plain, 1 notice, 2 warning, 3 failure, 4 confirm
    } rows[] = {
        {"a lookup of a device not there", messages::report({Kind::LookupFailed, Failure(68), "/m/f"}),
            "Error", "Error: Device unavailable (68)\r\n\r\nYou do not currently have access to \r\n/m/f", 3},
        {"another failed lookup", messages::report({Kind::LookupFailed, Failure(70), "/m/f"}), "Error 70",
            "Error: Permission denied (70)", 3},
        {"a journal changed during undo", messages::undoChangedMeanwhile(), "Quillfen",
            "The journal of the last run changed while it was undone: the undo stopped there.", 2},
        {"another's login entry", messages::foreignAutostart("/a/q.desktop", false), "Continue?",
            "The start-at-login entry /a/q.desktop was not written by Quillfen for this program.\r\nIt will "
            "be "
            "removed.",
            4}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.said.title, row.title);
        EXPECT_EQ(row.said.text, row.text);
        EXPECT_EQ(int(row.said.tone), row.tone);
    }
}

} // namespace quillfen::test
