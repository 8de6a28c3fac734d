// The fault suite's child: one transfer run ("run"), one undo of the last run ("undo"), or
// ever new entry lists saved to the store until it is killed ("save"). The store comes from
// XDG_CONFIG_HOME, the log goes to QUILLFEN_APP_FOLDER; boxes go to standard error and are
// answered Yes. The suite kills it, or preloads the fault shim into it.
#include "platform/host.h"
#include "platform/message_boxes.h"
#include "settings/entry_list.h"
#include "transfer/transfer_run.h"
#include "transfer/undo.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

class Answering final : public quillfen::MessageBoxes
{
public:
    quillfen::MsgAnswer show(const quillfen::MessageBoxRequest &request) override
    {
        std::fprintf(stderr, "[%s] %s\n", qUtf8Printable(request.title), qUtf8Printable(request.text));
        return request.buttons == quillfen::MsgButtons::Ok ? quillfen::MsgAnswer::Ok
                                                           : quillfen::MsgAnswer::Yes;
    }
};

} // namespace

int main(int argc, char **argv)
{
    using namespace quillfen;
    host::pinLocalTimeZone();
    QCoreApplication app(argc, argv);
    host::setApplicationFolderOverride(qEnvironmentVariable("QUILLFEN_APP_FOLDER"));
    Answering boxes;
    setMessageBoxes(&boxes);
    const QByteArray job = argc > 1 ? QByteArray(argv[1]) : QByteArray("run");
    if (job == "undo") {
        sc_UndoLastRun();
    } else if (job == "save") {
        for (int generation = 1;; ++generation) {
            EntryList list;
            for (int n = 1; n <= 1500 + (generation % 3) * 700; ++n)
                list.append(QStringLiteral("g%1-%2").arg(generation).arg(n), "/src/", "/dst/", "1");
            sc_AddFiles(list);
        }
    } else {
        try {
            RunObserver quiet;
            TransferRun(quiet).sc_TransferFiles();
        } catch (const Failure &failure) {
            std::fprintf(stderr, "Run ended: Error %s (%d)\n", qUtf8Printable(failure.description()),
                failure.number());
            return 3;
        }
    }
    return 0;
}
