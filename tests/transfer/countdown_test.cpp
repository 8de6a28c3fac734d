#include "transfer_tests.h"

#include "transfer/countdown.h"

namespace quillfen::test {

using Phase = Countdown::Phase;

TEST(Countdown, ReadsItsSettings)
{
    const struct
    {
        const char *name, *timer, *autoStart; // nullptr: absent
        qint64 seconds;
        const char *status;
        QList<int> failures;
    } rows[] = {{"defaults", nullptr, nullptr, 10, "Auto-Start Disabled", {}},
        {"no number", "abc", "0", 0, "Auto-Start Disabled", {13}},
        {"auto-start", "10", "2", 10, "Auto-Start Enabled", {5}},
        {"auto-start word", "10", "yes", 10, "Auto-Start Disabled", {13}}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        TempStore store;
        for (const auto &[key, value] :
            {std::pair {keys::Timer, row.timer}, {keys::AutoStart, row.autoStart}})
            if (value)
                store.set(key, value);
        Countdown countdown;
        QList<int> failures;
        for (const Report &report : countdown.readSettings()) {
            failures << report.failure.number();
            EXPECT_EQ(report.where, "Main form load");
        }
        countdown.showAutoStart();
        EXPECT_EQ(countdown.secondsLeft(), row.seconds);
        EXPECT_EQ(countdown.phase(), Phase::Stopped);
        EXPECT_EQ(countdown.status(), row.status);
        EXPECT_EQ(failures, row.failures);
    }
}

TEST(Countdown, TheRunIsDueOnTheTickAfterZero)
{
    enum class Then { Tick, StopAndTick, RestartAndTick, TickAndFinish };
    const struct
    {
        const char *name, *timer;
        int ticks; // while started
        Then then;
        qint64 seconds;
        Phase phase;
        const char *status;
        bool due;
    } rows[] = {{"at zero", "10", 9, Then::Tick, 0, Phase::Counting, "Started", false},
        {"after zero", "10", 10, Then::Tick, 0, Phase::Running, "Running", true},
        {"finished", "0", 0, Then::TickAndFinish, 0, Phase::Running, "Finished", true},
        {"below zero", "-3", 4, Then::Tick, -8, Phase::Counting, "Started", false},
        {"stopped", "10", 3, Then::StopAndTick, 10, Phase::Stopped, "Stopped", false},
        {"restarted", "10", 3, Then::RestartAndTick, 9, Phase::Counting, "Started", false}};
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        TempStore store;
        store.set(keys::Timer, row.timer);
        store.set(keys::AutoStart, "0");
        Countdown countdown;
        countdown.readSettings();
        countdown.setStarted(true);
        bool due = false;
        for (int tick = 0; tick < row.ticks; ++tick)
            due = countdown.tick() || due;
        if (row.then == Then::StopAndTick || row.then == Then::RestartAndTick)
            countdown.setStarted(false);
        if (row.then == Then::RestartAndTick)
            countdown.setStarted(true);
        due = countdown.tick() || due;
        if (row.then == Then::TickAndFinish)
            countdown.finish();
        EXPECT_EQ(countdown.secondsLeft(), row.seconds);
        EXPECT_EQ(countdown.phase(), row.phase);
        EXPECT_EQ(countdown.status(), row.status);
        EXPECT_EQ(due, row.due);
    }
}

} // namespace quillfen::test
