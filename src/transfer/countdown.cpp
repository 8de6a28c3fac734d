#include "countdown.h"

#include "platform/failure.h"
#include "settings/keys.h"
#include "settings/numeric.h"
#include "settings/store.h"

namespace quillfen {

QList<Report> Countdown::readSettings()
{
    QList<Report> reports;
    const auto readStep = [&reports](auto step) {
        try {
            step();
        } catch (const Failure &failure) {
            reports.append(Report::place(failure, QLatin1String(Countdown::LoadPlace)));
        }
    };
    readStep([this] {
        m_length = toInteger16(store::get(keys::Timer));
        m_secondsLeft = m_length;
    });
    readStep([this] {
        m_autoStart = toInteger16(store::get(keys::AutoStart));
        if (m_autoStart != 0 && m_autoStart != 1)
            throw Failure(failure_no::InvalidArgument);
    });
    return reports;
}

void Countdown::setStarted(bool started)
{
    if (started) {
        m_phase = Phase::Counting;
        m_status = QStringLiteral("Started");
        return;
    }
    m_phase = Phase::Stopped;
    m_secondsLeft = m_length;
    m_status = QStringLiteral("Stopped");
}

bool Countdown::tick()
{
    if (m_phase != Phase::Counting)
        return false;
    if (m_secondsLeft != 0) {
        --m_secondsLeft;
        return false;
    }
    m_phase = Phase::Running;
    m_status = QStringLiteral("Running");
    return true;
}

void Countdown::showAutoStart()
{
    m_status = autoStart() ? QStringLiteral("Auto-Start Enabled") : QStringLiteral("Auto-Start Disabled");
}

void Countdown::finish()
{
    m_status = QStringLiteral("Finished");
}

} // namespace quillfen
