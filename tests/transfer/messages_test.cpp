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
        QString seen; // title | text | tone (0 plain, 1 notice, 2 warning, 3 failure, 4 confirm)
    } rows[] = {
        {.name = "a lookup of a device not there",
            .said = messages::report({Kind::LookupFailed, Failure(68), "/m/f"}),
            .seen = "Error | Error: Device unavailable (68)\r\n\r\nYou do not currently have access to "
                    "\r\n/m/f | 3"},
        {.name = "another failed lookup",
            .said = messages::report({Kind::LookupFailed, Failure(70), "/m/f"}),
            .seen = "Error 70 | Error: Permission denied (70) | 3"},
        {.name = "a journal changed during undo",
            .said = messages::undoChangedMeanwhile(),
            .seen = "Quillfen | The journal of the last run changed while it was undone: the undo stopped "
                    "there. | 2"},
        {.name = "another's login entry",
            .said = messages::foreignAutostart("/a/q.desktop", false),
            .seen = "Continue? | The start-at-login entry /a/q.desktop was not written by Quillfen for this "
                    "program.\r\nIt will be removed. | 4"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(
            row.said.title + " | " + row.said.text + " | " + QString::number(int(row.said.tone)), row.seen);
    }
}

} // namespace quillfen::test
