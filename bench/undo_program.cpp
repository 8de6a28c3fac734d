// The engine's undo of the last run as a program of its own, answering yes to its question:
// what `quillfen --undo --yes` will be once the program has a command line, which this then
// gives way to.
//
//   quillfen_undo
//
// The store, data and state folders come from the environment (XDG_*), the log's folder from
// QUILLFEN_APP_FOLDER. Prints "<steps done> of <steps to do>"; ends 0 when every step was done,
// 1 when some were not, 2 when there was no journal to undo.

#include "platform/host.h"
#include "transfer/messages.h"
#include "transfer/undo.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    quillfen::host::pinLocalTimeZone();
    QCoreApplication app(argc, argv);
    quillfen::host::setApplicationFolderOverride(qEnvironmentVariable("QUILLFEN_APP_FOLDER"));
    try {
        quillfen::Undo undo;
        const quillfen::UndoPlan &plan = undo.plan();
        if (plan.journal != quillfen::UndoPlan::Journal::Usable) {
            std::fprintf(stderr, "%s\n", qUtf8Printable(quillfen::messages::undoPlan(plan).text));
            return 2;
        }
        struct : quillfen::RunObserver
        {
            void report(const quillfen::Report &report) override
            {
                std::fprintf(stderr, "%s\n", qUtf8Printable(quillfen::messages::report(report).text));
            }
        } printing;
        const qint64 done = undo.perform(printing);
        std::printf("%lld of %lld\n", static_cast<long long>(done), static_cast<long long>(plan.doable));
        return done == plan.doable ? 0 : 1;
    } catch (const quillfen::Failure &failure) {
        std::fprintf(stderr, "%s\n", failure.what());
    } catch (const quillfen::JournalReader::Changed &) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(quillfen::messages::undoChangedMeanwhile().text));
    }
    return 2;
}
