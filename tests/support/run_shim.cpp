#include "run_shim.h"

#include "platform/message_boxes.h"
#include "transfer/messages.h"
#include "transfer/transfer_run.h"

#include <memory>
#include <utility>

namespace quillfen::test {

namespace {
RunRecorder *g_recorder = nullptr;
std::unique_ptr<TransferRun> g_pending;
} // namespace

void ReportBoxes::report(const Report &report)
{
    const messages::Message message = messages::report(report);
    showMessage(message.text, message.title, MsgIcon::Critical);
}

RunRecorder::RunRecorder()
    : m_previous(std::exchange(g_recorder, this))
{
}

RunRecorder::~RunRecorder()
{
    g_recorder = m_previous;
}

void sc_TransferFiles()
{
    static ReportBoxes quiet;
    auto run = std::make_unique<TransferRun>(g_recorder ? *g_recorder : quiet);
    try {
        run->sc_TransferFiles();
    } catch (...) {
        g_pending = std::move(run);
        throw;
    }
}

void sc_ClosePendingRun()
{
    if (g_pending)
        std::exchange(g_pending, nullptr)->close();
}

} // namespace quillfen::test
