#pragma once

#include "platform/report.h"

#include <QList>
#include <QString>
#include <QtGlobal>

namespace quillfen {

// The schedule of a launch's one transfer run: the countdown length and the auto-start
// flag from the store, the seconds left, and the status text that goes with them. The
// main window only shows this state and feeds it its toggle and its timer ticks.
class Countdown
{
public:
    enum class Phase { Stopped, Counting, Running };

    // The place words of a failure while the main form loads.
    static constexpr char LoadPlace[] = "Main form load";

    // Reads `Timer` into the length and the seconds left, then `AutoStart`. A value that
    // fails is to be reported for the main form's load and the one read before stays (0 at
    // first); a flag other than 0 and 1 is kept, and reported, as the toggle has no state
    // for it. Answers the reports in order.
    QList<Report> readSettings();

    qint16 length() const { return m_length; }
    // Any nonzero flag means auto-start.
    bool autoStart() const { return m_autoStart != 0; }
    qint64 secondsLeft() const { return m_secondsLeft; }
    Phase phase() const { return m_phase; }
    QString status() const { return m_status; }

    // The toggle went down: counting goes on from the seconds left. Up: counting stops and
    // the seconds left return to the full length.
    void setStarted(bool started);
    // One second of counting. The tick that finds no second left makes the run due: it
    // answers true and the countdown is running from then on.
    bool tick();
    // The status names the auto-start state.
    void showAutoStart();
    // The run is over.
    void finish();

private:
    qint16 m_length = 0;
    qint16 m_autoStart = 0;
    qint64 m_secondsLeft = 0;
    Phase m_phase = Phase::Stopped;
    QString m_status;
};

} // namespace quillfen
