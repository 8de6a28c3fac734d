#include "transfer_tests.h"

#include "transfer/messages.h"

namespace quillfen::test {

TEST(Messages, EachOutcomeIsSaidInItsOwnWordsAndTitle)
{
    using Kind = Report::Kind;
    UndoPlan unrecorded, broken, busy, listed;
    unrecorded.journal = UndoPlan::Journal::Unrecorded;
    unrecorded.unrecorded = 61;
    broken.journal = UndoPlan::Journal::Broken;
    busy.journal = UndoPlan::Journal::Busy;
    listed.journal = UndoPlan::Journal::Usable;
    listed.steps = 17;
    listed.doable = 1;
    listed.listed = {{UndoStep::Kind::RemoveCopy, {}, "/d/c", {}}};
    const struct
    {
        const char *name;
        messages::Message said;
        QString seen; // title | text | tone (0 plain, 1 notice, 2 warning, 3 failure, 4 question)
    } rows[] = {
        {.name = "a failed step",
            .said = messages::report({Kind::Place, Failure(53), "Get Files"}),
            .seen = "Error 53 | Error File not found (53) on Get Files | 3"},
        {.name = "a copy into a missing folder",
            .said = messages::report({Kind::CopyFailed, Failure(76), "/d/"}),
            .seen = "Error | Error: Path not found (76)\r\n\r\nCheck the path to \r\n/d/\r\nYou may need to "
                    "create the file manually. | 3"},
        {.name = "another failed copy",
            .said = messages::report({Kind::CopyFailed, Failure(70), "/d/"}),
            .seen = "Error | Error: Permission denied (70) | 3"},
        {.name = "a lookup of a device not there",
            .said = messages::report({Kind::LookupFailed, Failure(68), "/m/f"}),
            .seen = "Error | Error: Device unavailable (68)\r\n\r\nYou do not currently have access to "
                    "\r\n/m/f | 3"},
        {.name = "another failed lookup",
            .said = messages::report({Kind::LookupFailed, Failure(70), "/m/f"}),
            .seen = "Error 70 | Error: Permission denied (70) | 3"},
        {.name = "an unrecorded run",
            .said = messages::undoPlan(unrecorded),
            .seen
            = "Quillfen | The last run could not be recorded, so it cannot be undone: Disk full (61). | 2"},
        {.name = "a journal that fails its check",
            .said = messages::undoPlan(broken),
            .seen
            = "Quillfen | The journal of the last run fails its check: it was changed after the run, or "
              "its key is gone. It is not used. | 2"},
        {.name = "a journal in use",
            .said = messages::undoPlan(busy),
            .seen
            = "Quillfen | A transfer run or another undo is under way. Try again when it has ended. | 2"},
        {.name = "nothing to undo",
            .said = messages::undoPlan({}),
            .seen = "Quillfen | The last run left nothing to undo. | 1"},
        {.name = "the undo question",
            .said = messages::undoPlan(listed),
            .seen
            = "Continue? | Undo the last run?\r\n\r\nRemove the copy to the Trash: /d/c\r\n\u2026 and 16 "
              "more | 4"},
        {.name = "an undo done",
            .said = messages::undoDone(3, 4),
            .seen = "Complete | The last run has been undone: 3 of 4 steps done. | 1"},
        {.name = "a journal changed during undo",
            .said = messages::undoChangedMeanwhile(),
            .seen = "Quillfen | The journal of the last run changed while it was undone: the undo stopped "
                    "there. | 2"},
        {.name = "another's login entry",
            .said = messages::foreignAutostart("/a/q.desktop", false),
            .seen = "Continue? | The start-at-login entry /a/q.desktop was not written by Quillfen for this "
                    "program.\r\nIt will be removed. | 4"},
        {.name = "no system information tool",
            .said = messages::systemInformationUnavailable(),
            .seen = "Quillfen | System Information Is Unavailable At This Time | 0"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(
            row.said.title + " | " + row.said.text + " | " + QString::number(int(row.said.tone)), row.seen);
    }
}

} // namespace quillfen::test
