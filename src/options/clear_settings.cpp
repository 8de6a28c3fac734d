#include "clear_settings.h"

#include "platform/app_info.h"
#include "platform/host.h"
#include "platform/message_boxes.h"
#include "settings/keys.h"
#include "settings/numeric.h"
#include "settings/store.h"

namespace quillfen {

namespace {

QString section()
{
    return QString::fromLatin1(keys::AppSettings);
}

// A key that is not there is the normal case for keys never written; nothing stops the clear.
void removeIfThere(const QString &key)
{
    try {
        store::remove(section(), key);
    } catch (const Failure &) {
    }
}

} // namespace

bool sc_ClearSettings()
{
    if (!confirm(QStringLiteral("Are you sure you want to clear all settings?")))
        return false;

    int count = 0;
    try {
        count = toInteger16(store::get(section(), QLatin1String(keys::Files), 0));
    } catch (const Failure &) {
        count = 0;
    }
    {
        store::WriteBatch batch;
        for (int n = 1; n <= count; ++n) {
            for (const char *stem : keys::EntryStems)
                removeIfThere(keys::entryKey(stem, n));
        }
        for (const char *key : keys::General)
            removeIfThere(QLatin1String(key));
        try {
            batch.commit();
        } catch (const Failure &) {
            // The message and the end of the program follow a confirmed clear in any case.
        }
    }

    showMessage(QStringLiteral("All settings have been cleared.\r\n\r\n")
            + QString::fromUtf8(app_info::ProductName) + QStringLiteral(" will now terminate."),
        QStringLiteral("Complete"), MsgIcon::Exclamation);
    host::endProgram();
    return true;
}

} // namespace quillfen
