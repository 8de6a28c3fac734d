#include "support/test_support.h"

#include "settings/keys.h"
#include "support/scripted_message_boxes.h"
#include "support/temp_store.h"
#include "transfer/countdown.h"

using namespace quillfen;
using namespace quillfen::test;

namespace {

TEST(Countdown, ReadsItsSettingsCountsDownAndTheRunIsDueOnTheTickAfterZero)
{
    // Steps after reading the settings: '+' toggle down, '-' toggle up, '.' a tick, 'a' show
    // the auto-start state, 'f' the run is over, 'r' read again from a Timer and an AutoStart
    // that both fail. The outcome: seconds left, phase, status, and "due" when a tick made the
    // run due.
    const char *rows[][5] = {// Timer, AutoStart (nullptr: absent), steps, outcome, reports
        {nullptr, nullptr, "a", "10 Stopped Auto-Start Disabled", ""},
        {"010", "1.4", "a", "10 Stopped Auto-Start Enabled", ""},
        {"abc", "0", "a", "0 Stopped Auto-Start Disabled", "Error Type mismatch (13) on Main form load"},
        {"40000", "0", "a", "0 Stopped Auto-Start Disabled", "Error Overflow (6) on Main form load"},
        {"10", "2", "a", "10 Stopped Auto-Start Enabled",
            "Error Invalid procedure call or argument (5) on Main form load"},
        {"10", "yes", "a", "10 Stopped Auto-Start Disabled", "Error Type mismatch (13) on Main form load"},
        {"15", "1", "ra", "15 Stopped Auto-Start Enabled",
            "Error Type mismatch (13) on Main form load\nError Type mismatch (13) on Main form load"},
        {"10", "0", "+..........", "0 Counting Started", ""},
        {"10", "0", "+...........", "0 Running Running due", ""},
        {"0", "0", "+.f", "0 Running Finished due", ""}, {"-3", "0", "+.....", "-8 Counting Started", ""},
        {"10", "0", "+...-.", "10 Stopped Stopped", ""}, {"10", "0", "+...-+.", "9 Counting Started", ""}};
    for (const auto &[timer, autoStart, steps, outcome, reports] : rows) {
        SCOPED_TRACE(std::string(timer ? timer : "absent") + " " + steps);
        TempStore store;
        ScriptedMessageBoxes boxes;
        if (timer)
            store.set(keys::Timer, q(timer));
        if (autoStart)
            store.set(keys::AutoStart, q(autoStart));
        Countdown countdown;
        countdown.readSettings();
        int due = 0;
        for (const char *step = steps; *step; ++step) {
            if (*step == '+' || *step == '-')
                countdown.setStarted(*step == '+');
            else if (*step == '.')
                due += countdown.tick();
            else if (*step == 'a')
                countdown.showAutoStart();
            else if (*step == 'f')
                countdown.finish();
            else {
                store.set(keys::Timer, q("abc"));
                store.set(keys::AutoStart, q("yes"));
                countdown.readSettings();
            }
        }
        const char *phases[] = {"Stopped", "Counting", "Running"};
        EXPECT_EQ(QString::number(countdown.secondsLeft()) + ' ' + phases[int(countdown.phase())] + ' '
                + countdown.status() + (due ? " due" : ""),
            q(outcome));
        EXPECT_EQ(boxes.texts().join('\n'), q(reports));
    }
}

} // namespace
