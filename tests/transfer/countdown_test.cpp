#include "transfer_tests.h"

#include "transfer/countdown.h"

namespace quillfen::test {

using Phase = Countdown::Phase;

TEST(Countdown, ReadsItsSettings)
{
    const struct
    {
        const char *name, *timer {}, *autoStart {}; // nullptr: absent
        qint64 seconds;
        const char *status;
        QList<int> failures {};
    } rows[] = {{.name = "defaults", .seconds = 10, .status = "Auto-Start Disabled"},
        {.name = "no number",
            .timer = "abc",
            .autoStart = "0",
            .seconds = 0,
            .status = "Auto-Start Disabled",
            .failures = {13}},
        {.name = "auto-start",
            .timer = "10",
            .autoStart = "2",
            .seconds = 10,
            .status = "Auto-Start Enabled",
            .failures = {5}},
        {.name = "auto-start word",
            .timer = "10",
            .autoStart = "yes",
            .seconds = 10,
            .status = "Auto-Start Disabled",
            .failures = {13}}};
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
    const struct
    {
        const char *name, *timer;
        int ticks; // while started
        bool stopped {}, restarted {}, finished {}; // then one tick more
        qint64 seconds;
        Phase phase;
        const char *status;
        bool due {};
    } rows[] = {{.name = "at zero",
                    .timer = "10",
                    .ticks = 9,
                    .seconds = 0,
                    .phase = Phase::Counting,
                    .status = "Started"},
        {.name = "after zero",
            .timer = "10",
            .ticks = 10,
            .seconds = 0,
            .phase = Phase::Running,
            .status = "Running",
            .due = true},
        {.name = "finished",
            .timer = "0",
            .ticks = 0,
            .finished = true,
            .seconds = 0,
            .phase = Phase::Running,
            .status = "Finished",
            .due = true},
        {.name = "below zero",
            .timer = "-3",
            .ticks = 4,
            .seconds = -8,
            .phase = Phase::Counting,
            .status = "Started"},
        {.name = "stopped",
            .timer = "10",
            .ticks = 3,
            .stopped = true,
            .seconds = 10,
            .phase = Phase::Stopped,
            .status = "Stopped"},
        {.name = "restarted",
            .timer = "10",
            .ticks = 3,
            .restarted = true,
            .seconds = 9,
            .phase = Phase::Counting,
            .status = "Started"}};
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
        if (row.stopped || row.restarted)
            countdown.setStarted(false);
        if (row.restarted)
            countdown.setStarted(true);
        due = countdown.tick() || due;
        if (row.finished)
            countdown.finish();
        EXPECT_EQ(countdown.secondsLeft(), row.seconds);
        EXPECT_EQ(countdown.phase(), row.phase);
        EXPECT_EQ(countdown.status(), row.status);
        EXPECT_EQ(due, row.due);
    }
}

} // namespace quillfen::test
