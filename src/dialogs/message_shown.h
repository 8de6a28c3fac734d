#pragma once

#include "platform/message_boxes.h"
#include "transfer/messages.h"
#include "transfer/run_observer.h"

#include <QList>

namespace quillfen {

// A message of the shared table shown as a message box through the seam: a question with Yes
// and No, anything else with OK.
MsgAnswer showMessage(const messages::Message &message);
// A question; true only for Yes.
bool confirm(const messages::Message &question);
bool confirm(const QString &text);

void showReport(const Report &report);
void showReports(const QList<Report> &reports);
void reportPlace(const Failure &failure, const QString &place);

// Watches an undo (or a run) for a window: each failure shows its box as it happens.
class ReportsShown : public RunObserver
{
public:
    void report(const Report &report) override { showReport(report); }
};

} // namespace quillfen
