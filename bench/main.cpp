// The benchmark driver: quillfen_bench --scratch DIR [--second DIR] [--exfat DIR] [--runs N]
// [--only a,b] [--floor FILE] [--program FILE] [--scale X] measures the engine, the search
// dialog, the main window and the whole program against the standard tools and the floor program, and prints
// one line per measurement. bench/run.sh prepares the folders and the machine description around it.

#include "measure.h"
#include "scenarios.h"

#include "platform/host.h"

#include <QApplication>
#include <QDir>

#include <algorithm>
#include <cstdio>

namespace {

struct Scenario
{
    const char *name;
    void (*run)(const bench::Setup &);
};

// In the order they run: the whole-program lines last, as they leave the most files behind
// to delete.
const Scenario Scenarios[] = {
    {"copy-large", bench::copyLargeFile},
    {"copy-small", bench::copySmallFiles},
    {"move-same", bench::moveWithinFileSystem},
    {"move-cross", bench::moveAcrossFileSystems},
    {"list", bench::listByPattern},
    {"scan", bench::scanTree},
    {"preview", bench::previewFiles},
    {"entries", bench::saveAndLoadEntries},
    {"messages", bench::fillMessageArea},
    {"undo", bench::undoJournal},
    {"program-copy", bench::programCopy},
    {"program-run", bench::programCommandLine},
    {"program-exfat", bench::programExfat},
    {"program-move", bench::programMove},
    {"program-taken", bench::programTaken},
};

// The offscreen platform warns about window hints it cannot honour; that is no news here.
QtMessageHandler g_previousHandler = nullptr;

void quietHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (message.contains(QLatin1String("propagateSizeHints")))
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
}

QString withSeparator(const QString &folder)
{
    return folder.isEmpty() || folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 4 && QByteArray(argv[1]) == "--launch")
        return bench::launcherMain(argc, argv);
    quillfen::host::pinLocalTimeZone();
    if (argc == 3 && QByteArray(argv[1]) == "--entries-child") {
        QCoreApplication app(argc, argv);
        return bench::entriesChild(QString::fromLocal8Bit(argv[2]));
    }

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    g_previousHandler = qInstallMessageHandler(quietHandler);
    QApplication app(argc, argv);
    bench::Setup setup;
    QStringList only;
    const QStringList arguments = app.arguments();
    for (qsizetype k = 1; k + 1 < arguments.size(); k += 2) {
        const QString &option = arguments.at(k);
        const QString &value = arguments.at(k + 1);
        if (option == QLatin1String("--scratch"))
            setup.scratch = withSeparator(value);
        else if (option == QLatin1String("--second"))
            setup.second = withSeparator(value);
        else if (option == QLatin1String("--exfat"))
            setup.exfat = withSeparator(value);
        else if (option == QLatin1String("--runs"))
            setup.runs = std::max(5, value.toInt());
        else if (option == QLatin1String("--only"))
            only = value.split(QLatin1Char(','));
        else if (option == QLatin1String("--floor"))
            setup.floor = value;
        else if (option == QLatin1String("--program"))
            setup.program = value;
        else if (option == QLatin1String("--scale"))
            setup.scale = value.toDouble();
        else
            bench::fail(QStringLiteral("unknown option %1").arg(option));
    }
    if (setup.scratch.isEmpty() || !QDir(setup.scratch).exists())
        bench::fail(QStringLiteral(
            "usage: quillfen_bench --scratch DIR [--second DIR] [--exfat DIR] [--runs N] [--only a,b] "
            "[--floor FILE] [--program FILE] [--scale X]"));
    if (!(setup.scale > 0))
        bench::fail(QStringLiteral("--scale takes a number above 0"));
    for (const QString &name : only) {
        if (std::none_of(std::begin(Scenarios), std::end(Scenarios),
                [&](const Scenario &scenario) { return name == QLatin1String(scenario.name); }))
            bench::fail(QStringLiteral("no scenario is called %1").arg(name));
    }

    // The engine's store, log and journal live in the scratch folder too.
    for (const char *folder : {"config", "app", "state", "data"})
        QDir().mkpath(setup.scratch + QLatin1String(folder));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(setup.scratch + QStringLiteral("config")));
    qputenv("XDG_STATE_HOME", QFile::encodeName(setup.scratch + QStringLiteral("state")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(setup.scratch + QStringLiteral("data")));
    quillfen::host::setApplicationFolderOverride(setup.scratch + QStringLiteral("app"));

    for (const Scenario &scenario : Scenarios) {
        if (!only.isEmpty() && !only.contains(QLatin1String(scenario.name)))
            continue;
        std::fprintf(stderr, "%s...\n", scenario.name);
        scenario.run(setup);
    }
    return 0;
}
