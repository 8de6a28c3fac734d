#include "options_values.h"

#include "keys.h"
#include "numeric.h"
#include "store.h"

namespace quillfen {

namespace {

const QString LoadPlace = QStringLiteral("Options form load");
// A check box takes 0 (unchecked) and 1 (checked) only.
constexpr int InvalidPropertyValue = 380;

} // namespace

QList<Report> OptionsValues::load()
{
    QList<Report> reports;
    const auto loadStep = [&reports](auto step) {
        try {
            step();
        } catch (const Failure &failure) {
            reports.append(Report::place(failure, LoadPlace));
        }
    };
    loadStep([this] { timer = QString::number(toInteger16(store::get(keys::Timer))); });
    loadStep([this] { defaultFileExt = store::get(keys::DefaultFileExt); });
    loadStep([this] {
        const qint16 state = toInteger16(store::get(keys::AutoStart));
        if (state != 0 && state != 1)
            throw Failure(InvalidPropertyValue, QStringLiteral("Invalid property value"));
        autoStart = state == 1;
    });
    loadStep([this, &reports] {
        const QList<Report> list = sc_GetFiles(entries);
        listReadable = list.isEmpty();
        reports += list;
    });
    loadStep([this] { interval = store::get(keys::CompareInterval); });
    loadStep([this] { intervalType = store::get(keys::CompareIntType); });
    loadStep([this] { keepReplaced = store::get(keys::KeepReplaced) != QLatin1String("0"); });
    return reports;
}

QList<Report> OptionsValues::close() const
{
    QList<Report> reports;
    store::WriteBatch batch;
    store::save(keys::DefaultFileExt, defaultFileExt);
    store::save(keys::CompareInterval, interval);
    store::save(keys::CompareIntType, intervalType);
    store::save(keys::Timer, timer);
    store::save(keys::AutoStart, autoStart ? QStringLiteral("1") : QStringLiteral("0"));
    store::save(keys::KeepReplaced, keepReplaced ? QStringLiteral("1") : QStringLiteral("0"));
    if (listReadable)
        reports += sc_AddFiles(entries);
    try {
        batch.commit();
    } catch (const Failure &failure) {
        reports.append(Report::place(failure, QStringLiteral("Add Files")));
    }
    return reports;
}

} // namespace quillfen
