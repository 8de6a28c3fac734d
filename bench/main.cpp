// The benchmark driver: quillfen_bench --scratch DIR [--second DIR] [--runs N] [--only a,b]
// measures the engine, the search dialog and the main window against the standard tools
// and prints one line per measurement. bench/run.sh prepares the folders and the machine
// description around it.

#include "measure.h"
#include "scenarios.h"

#include "platform/host.h"

#include <QApplication>
#include <QDir>

#include <cstdio>
#include <map>

namespace {

const std::map<QString, void (*)(const bench::Setup &)> &scenarios()
{
    static const std::map<QString, void (*)(const bench::Setup &)> all = {
        {QStringLiteral("1-copy-large"), bench::copyLargeFile},
        {QStringLiteral("2-copy-small"), bench::copySmallFiles},
        {QStringLiteral("3-move-same"), bench::moveWithinFileSystem},
        {QStringLiteral("4-move-cross"), bench::moveAcrossFileSystems},
        {QStringLiteral("5-list"), bench::listByPattern},
        {QStringLiteral("6-scan"), bench::scanTree},
        {QStringLiteral("7-entries"), bench::saveAndLoadEntries},
        {QStringLiteral("8-messages"), bench::fillMessageArea},
    };
    return all;
}

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
        else if (option == QLatin1String("--runs"))
            setup.runs = std::max(5, value.toInt());
        else if (option == QLatin1String("--only"))
            only = value.split(QLatin1Char(','));
        else
            bench::fail(QStringLiteral("unknown option %1").arg(option));
    }
    if (setup.scratch.isEmpty() || !QDir(setup.scratch).exists())
        bench::fail(
            QStringLiteral("usage: quillfen_bench --scratch DIR [--second DIR] [--runs N] [--only a,b]"));

    // The engine's store and log live in the scratch folder too.
    QDir().mkpath(setup.scratch + QStringLiteral("config"));
    QDir().mkpath(setup.scratch + QStringLiteral("app"));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(setup.scratch + QStringLiteral("config")));
    quillfen::host::setApplicationFolderOverride(setup.scratch + QStringLiteral("app"));

    for (const auto &[name, run] : scenarios()) {
        const QString bare = name.mid(2);
        if (!only.isEmpty() && !only.contains(bare))
            continue;
        std::fprintf(stderr, "%s...\n", qUtf8Printable(bare));
        run(setup);
    }
    return 0;
}
