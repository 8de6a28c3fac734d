#include "options_values.h"

#include "keys.h"
#include "numeric.h"
#include "store.h"

#include "platform/message_boxes.h"

namespace quillfen {

namespace {

const QString LoadPlace = QStringLiteral("Options form load");
// A check box takes 0 (unchecked) and 1 (checked) only.
constexpr int InvalidPropertyValue = 380;

QString section()
{
    return QString::fromLatin1(keys::AppSettings);
}

template<typename Step>
void loadStep(Step step)
{
    try {
        step();
    } catch (const Failure &failure) {
        reportPlace(failure, LoadPlace);
    }
}

} // namespace

void OptionsValues::load()
{
    loadStep([this] { timer = QString::number(toInteger16(store::get(section(), keys::Timer, 10))); });
    loadStep([this] { defaultFileExt = store::get(section(), keys::DefaultFileExt, "*.txt"); });
    loadStep([this] {
        const qint16 state = toInteger16(store::get(section(), keys::AutoStart, 0));
        if (state != 0 && state != 1)
            throw Failure(InvalidPropertyValue, QStringLiteral("Invalid property value"));
        autoStart = state == 1;
    });
    loadStep([this] { sc_GetFiles(entries); });
    loadStep([this] { interval = store::get(section(), keys::CompareInterval, 1); });
    loadStep([this] { intervalType = store::get(section(), keys::CompareIntType, "h"); });
}

void OptionsValues::close() const
{
    store::WriteBatch batch;
    store::save(section(), QLatin1String(keys::DefaultFileExt), defaultFileExt);
    store::save(section(), QLatin1String(keys::CompareInterval), interval);
    store::save(section(), QLatin1String(keys::CompareIntType), intervalType);
    store::save(section(), QLatin1String(keys::Timer), timer);
    store::save(
        section(), QLatin1String(keys::AutoStart), autoStart ? QStringLiteral("1") : QStringLiteral("0"));
    sc_AddFiles(entries);
    try {
        batch.commit();
    } catch (const Failure &failure) {
        reportPlace(failure, QStringLiteral("Add Files"));
    }
}

} // namespace quillfen
