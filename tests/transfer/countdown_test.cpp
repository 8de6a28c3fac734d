#include "support/temp_store.h"
#include "support/test_support.h"
#include "transfer/countdown.h"

namespace quillfen::test {

TEST(Countdown, ReadsItsSettingsCountsDownAndTheRunIsDueOnTheTickAfterZero)
{
    // Timer|AutoStart (empty: absent)|steps: '+' toggle down, '-' up, '.' tick, 'a' show auto-start, 'f' the
    // run is over|seconds left, phase, status, "due" once a tick made the run due, failures reported.
    const char *const rows[]
        = {"||a|10 Stopped Auto-Start Disabled", "abc|0|a|0 Stopped Auto-Start Disabled 13",
            "10|2|a|10 Stopped Auto-Start Enabled 5", "10|yes|a|10 Stopped Auto-Start Disabled 13",
            "10|0|+..........|0 Counting Started", "10|0|+...........|0 Running Running due",
            "0|0|+.f|0 Running Finished due", "-3|0|+.....|-8 Counting Started",
            "10|0|+...-.|10 Stopped Stopped", "10|0|+...-+.|9 Counting Started"};
    for (const char *row : rows) {
        SCOPED_TRACE(row);
        const QStringList c = q(row).split('|');
        TempStore store;
        ScriptedMessageBoxes boxes;
        for (const auto &[key, value] : {std::pair {keys::Timer, c[0]}, {keys::AutoStart, c[1]}})
            value.isEmpty() ? void() : store.set(key, value);
        Countdown countdown;
        countdown.readSettings();
        bool due = false;
        for (const QChar step : c[2]) {
            if (step == '+' || step == '-')
                countdown.setStarted(step == '+');
            due = (step == '.' && countdown.tick()) || due;
            step == 'a' ? countdown.showAutoStart() : step == 'f' ? countdown.finish() : void();
        }
        const char *phases[] = {"Stopped", "Counting", "Running"};
        QStringList seen
            = {QString::number(countdown.secondsLeft()), phases[int(countdown.phase())], countdown.status()};
        if (due)
            seen << "due";
        seen += boxes.texts()
                    .replaceInStrings("Error Type mismatch (13) on Main form load", "13")
                    .replaceInStrings("Error Invalid procedure call or argument (5) on Main form load", "5");
        EXPECT_EQ(seen.join(' '), c[3]);
    }
}

} // namespace quillfen::test
