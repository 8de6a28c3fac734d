#include "undo_last_run.h"

#include "dialogs/message_shown.h"
#include "transfer/undo.h"

namespace quillfen {

void undoLastRun()
{
    ReportsShown observer;
    try {
        Undo undo;
        const messages::Message plan = messages::undoPlan(undo.plan());
        if (plan.tone != messages::Message::Tone::Confirm) {
            showMessage(plan);
            return;
        }
        if (!confirm(plan))
            return;
        const qint64 done = undo.perform(observer);
        showMessage(messages::undoDone(done, undo.plan().doable));
    } catch (const Failure &failure) {
        // The journal cannot be read, or the log cannot be written: nothing more is undone
        // without its record.
        reportPlace(failure, QStringLiteral("Undo Last Run"));
    } catch (const JournalReader::Changed &) {
        showMessage(messages::undoChangedMeanwhile());
    }
}

} // namespace quillfen
