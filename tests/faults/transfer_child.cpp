// Performs one transfer run and exits: the store comes from XDG_CONFIG_HOME, the log goes
// to the folder named by QUILLFEN_APP_FOLDER. The fault suite kills it, or preloads the
// fault shim into it. Message boxes are written to standard error and answered OK.
#include "platform/failure.h"
#include "platform/host.h"
#include "transfer/transfer_run.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    quillfen::host::setApplicationFolderOverride(qEnvironmentVariable("QUILLFEN_APP_FOLDER"));
    try {
        quillfen::RunObserver quiet;
        quillfen::TransferRun(quiet).sc_TransferFiles();
    } catch (const quillfen::Failure &failure) {
        std::fprintf(
            stderr, "Run ended: Error %s (%d)\n", qUtf8Printable(failure.description()), failure.number());
        return 3;
    }
    return 0;
}
