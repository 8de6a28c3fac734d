#include "clear_settings.h"

#include "dialogs/message_shown.h"
#include "platform/host.h"
#include "settings/entry_list.h"
#include "settings/keys.h"
#include "settings/store.h"

namespace quillfen {

namespace {

// A key that is not there is the normal case for keys never written; nothing stops the clear.
void removeIfThere(const QString &key)
{
    try {
        store::remove(keys::Section::App, key);
    } catch (const Failure &) {
    }
}

} // namespace

bool sc_ClearSettings()
{
    if (!confirm(messages::clearQuestion()))
        return false;

    const int count = storedEntryCountOrZero();
    {
        store::WriteBatch batch;
        for (int n = 1; n <= count; ++n) {
            for (const char *stem : keys::EntryStems)
                removeIfThere(keys::entryKey(stem, n));
            for (const char *stem : keys::ChoiceStems)
                removeIfThere(keys::entryKey(stem, n));
        }
        for (const keys::Key &key : keys::General)
            removeIfThere(key.nameText());
        removeIfThere(keys::KeepReplaced.nameText());
        removeIfThere(keys::Notify.nameText());
        try {
            batch.commit();
        } catch (const Failure &) {
            // The message and the end of the program follow a confirmed clear in any case.
        }
    }

    showMessage(messages::settingsCleared());
    host::endProgram();
    return true;
}

} // namespace quillfen
