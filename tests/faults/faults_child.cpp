// The fault suite's child: a transfer run ("run"), an undo of the last run ("undo"), or new
// entry lists saved until it is killed ("save"), with the store and folders its environment
// names. Boxes go to standard error and are answered Yes.
#include "platform/host.h"
#include "platform/message_boxes.h"
#include "settings/entry_list.h"
#include "transfer/transfer_run.h"
#include "transfer/undo.h"

#include <QCoreApplication>

#include <cstdio>

using namespace quillfen;

struct Answering final : MessageBoxes
{
    MsgAnswer show(const MessageBoxRequest &request) override
    {
        std::fprintf(stderr, "[%s] %s\n", qUtf8Printable(request.title), qUtf8Printable(request.text));
        return request.buttons == MsgButtons::Ok ? MsgAnswer::Ok : MsgAnswer::Yes;
    }
};

int main(int argc, char **argv)
{
    host::pinLocalTimeZone();
    QCoreApplication app(argc, argv);
    host::setApplicationFolderOverride(qEnvironmentVariable("QUILLFEN_APP_FOLDER"));
    Answering boxes;
    setMessageBoxes(&boxes);
    const QByteArray job = argc > 1 ? QByteArray(argv[1]) : QByteArray("run");
    for (int generation = 1; job == "save"; ++generation) {
        EntryList list;
        for (int n = 1; n <= 1500 + (generation % 3) * 700; ++n)
            list.append(QStringLiteral("g%1-%2").arg(generation).arg(n), "/src/", "/dst/", "1");
        sc_AddFiles(list);
    }
    RunObserver quiet;
    try {
        if (job == "undo")
            sc_UndoLastRun();
        else
            TransferRun(quiet).sc_TransferFiles();
    } catch (const Failure &failure) {
        std::fprintf(
            stderr, "Run ended: Error %s (%d)\n", qUtf8Printable(failure.description()), failure.number());
        return 3;
    }
    return 0;
}
