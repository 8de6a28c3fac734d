#include "command_line.h"

#include "desktop_notification.h"

#include "platform/app_info.h"
#include "settings/entry_list.h"
#include "settings/options_values.h"
#include "settings/store.h"
#include "transfer/messages.h"
#include "transfer/preview.h"
#include "transfer/transfer_run.h"
#include "transfer/undo.h"

#include <QCommandLineParser>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace quillfen::app {

namespace {

enum Status { AllDone = 0, SomeFailed = 1, NothingDone = 2 };

// The window system's own options, which the window takes, and those of them that take a value.
const QStringList WindowFlags = {QStringLiteral("-reverse"), QStringLiteral("-nograb"),
    QStringLiteral("-dograb"), QStringLiteral("-sync"), QStringLiteral("-widgetcount")};
const QStringList WindowOptions
    = {QStringLiteral("-platform"), QStringLiteral("-platformpluginpath"), QStringLiteral("-platformtheme"),
        QStringLiteral("-plugin"), QStringLiteral("-qwindowgeometry"), QStringLiteral("-geometry"),
        QStringLiteral("-qwindowtitle"), QStringLiteral("-title"), QStringLiteral("-qwindowicon"),
        QStringLiteral("-icon"), QStringLiteral("-style"), QStringLiteral("-stylesheet"),
        QStringLiteral("-session"), QStringLiteral("-display"), QStringLiteral("-name")};

// The arguments less the window system's options; the program's name stays first.
QStringList withoutWindowOptions(const QStringList &arguments)
{
    QStringList left;
    for (qsizetype k = 0; k < arguments.size(); ++k) {
        QString option = arguments[k];
        if (option.startsWith(QLatin1String("--")))
            option.remove(0, 1);
        if (k > 0 && WindowOptions.contains(option.section(QLatin1Char('='), 0, 0))) {
            k += option.contains(QLatin1Char('=')) ? 0 : 1;
            continue;
        }
        if (k == 0 || !WindowFlags.contains(option))
            left.append(arguments[k]);
    }
    return left;
}

void print(std::FILE *to, const QString &text)
{
    std::fprintf(
        to, "%s\n", qUtf8Printable(QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n"))));
}

void printJson(const QJsonObject &object)
{
    std::fprintf(stdout, "%s\n", QJsonDocument(object).toJson(QJsonDocument::Compact).constData());
}

QJsonObject reportObject(const Report &report)
{
    return {{QStringLiteral("error"), report.failure.number()},
        {QStringLiteral("description"), report.failure.description()},
        {QStringLiteral("where"), report.where}, {QStringLiteral("text"), messages::report(report).text}};
}

// Reports go to standard error in the words of the boxes, and as objects with --json.
class Printer : public RunObserver
{
public:
    explicit Printer(bool json)
        : m_json(json)
    {
    }
    void report(const Report &report) override
    {
        ++reports;
        print(stderr, messages::report(report).text);
        if (m_json)
            printJson({{QStringLiteral("report"), reportObject(report)}});
    }
    void fileStarted(const QString &sourcePath) override { m_file = sourcePath; }
    void fileFinished(const FileEnd &end) override
    {
        static const char *const Ends[] = {"done", "failed", "skipped"};
        ++files[int(end.kind)];
        if (end.kind == FileEnd::Kind::Done) {
            bytes += end.bytes;
            moved += end.move ? 1 : 0;
        }
        if (m_json)
            printJson({{QStringLiteral("file"), m_file},
                {QStringLiteral("end"), QLatin1String(Ends[int(end.kind)])},
                {QStringLiteral("bytes"), end.bytes}});
    }

    qint64 files[3] = {};
    qint64 bytes = 0;
    qint64 moved = 0;
    int reports = 0;

private:
    bool m_json;
    QString m_file;
};

int preview(bool json)
{
    OptionsValues values;
    Printer printer(false);
    for (const Report &report : values.load())
        printer.report(report);
    previewRun(
        values.entries, values.interval, values.intervalType,
        [json](const PreviewRow &row) {
            if (json) {
                printJson({{QStringLiteral("entry"), row.entry}, {QStringLiteral("action"), actionName(row)},
                    {QStringLiteral("source"), row.source}, {QStringLiteral("destination"), row.dest},
                    {QStringLiteral("size"), row.size >= 0 ? QJsonValue(row.size) : QJsonValue()},
                    {QStringLiteral("verdict"), verdictName(row.verdict)},
                    {QStringLiteral("reason"), row.reason}});
                return;
            }
            const QStringList fields = {row.entry > 0 ? QString::number(row.entry) : QString(),
                actionName(row), row.source, row.dest, row.size >= 0 ? QString::number(row.size) : QString(),
                verdictName(row.verdict), row.reason};
            print(stdout, fields.join(QLatin1Char('\t')));
        },
        [] { return true; });
    return AllDone;
}

int run(bool json)
{
    Printer printer(json);
    if (storedEntryCountOrZero() <= 0) {
        print(stderr, messages::nothingConfigured().text);
        return NothingDone;
    }
    TransferRun transfer(printer);
    int status = AllDone;
    try {
        transfer.sc_TransferFiles();
    } catch (const Failure &failure) {
        printer.report(Report::place(failure, QStringLiteral("Timer2")));
        transfer.close();
        status = NothingDone;
    }
    const qint64 *files = printer.files;
    const QString summary = messages::runSummary(files[0], files[1], files[2], printer.bytes);
    if (json)
        printJson({{QStringLiteral("summary"), summary}, {QStringLiteral("done"), files[0]},
            {QStringLiteral("failed"), files[1]}, {QStringLiteral("skipped"), files[2]},
            {QStringLiteral("bytes"), printer.bytes}});
    else
        print(stdout, summary);
    if (status == AllDone && (files[1] > 0 || printer.reports > 0))
        status = SomeFailed;
    std::fflush(nullptr);
    if (const std::unique_ptr<DesktopNotification> notification
        = notifyRunEnd({.moved = printer.moved, .copied = files[0] - printer.moved, .failed = files[1]}))
        followRunNotice(*notification);
    return status;
}

int undo(bool yes)
{
    Printer printer(false);
    try {
        Undo undo;
        const messages::Message plan = messages::undoPlan(undo.plan());
        if (plan.tone == messages::Message::Tone::Warning) {
            print(stderr, plan.text);
            return NothingDone;
        }
        print(stdout, messages::plainText(plan));
        if (plan.tone != messages::Message::Tone::Confirm || !yes)
            return AllDone;
        const qint64 done = undo.perform(printer);
        print(stdout, messages::undoDone(done, undo.plan().doable).text);
        return done == undo.plan().doable ? AllDone : SomeFailed;
    } catch (const Failure &failure) {
        printer.report(Report::place(failure, QStringLiteral("Undo Last Run")));
    } catch (const JournalReader::Changed &) {
        print(stderr, messages::undoChangedMeanwhile().text);
    }
    return NothingDone;
}

} // namespace

bool wantsWindowsToo(int argc, char **argv)
{
    const bool display = qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
    return display && std::find(argv, argv + argc, std::string_view("--run")) != argv + argc
        && store::get(keys::Notify) == QLatin1String("1");
}

bool wantsCommandLine(int argc, char **argv)
{
    QStringList arguments;
    for (int k = 0; k < argc; ++k)
        arguments.append(QString::fromLocal8Bit(argv[k]));
    return withoutWindowOptions(arguments).size() > 1;
}

int runCommandLine(QStringList arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Moves or copies files out of source folders into destination folders, as the transfer entries "
        "stored by the window say.\nWithout options the window counts down and runs."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption previewOption(QStringLiteral("preview"),
        QStringLiteral("Lists what the next run would do with each file, and why; changes nothing."));
    const QCommandLineOption runOption(QStringLiteral("run"),
        QStringLiteral("Runs the transfer entries once, without a window or countdown; failures go to "
                       "standard error, a summary to standard output."));
    const QCommandLineOption undoOption(
        QStringLiteral("undo"), QStringLiteral("Lists what undoing the last run would do."));
    const QCommandLineOption yesOption(QStringLiteral("yes"), QStringLiteral("With --undo: undoes it."));
    const QCommandLineOption jsonOption(
        QStringLiteral("json"), QStringLiteral("With --preview or --run: one JSON object per line."));
    parser.addOptions({previewOption, runOption, undoOption, yesOption, jsonOption});

    arguments = withoutWindowOptions(arguments);
    const auto usage = [&parser](const QString &why) {
        print(stderr, QStringLiteral("quillfen: ") + why);
        std::fprintf(stderr, "%s", qUtf8Printable(parser.helpText()));
        return int(NothingDone);
    };
    if (!parser.parse(arguments))
        return usage(parser.errorText());
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        std::fprintf(stdout, "%s", qUtf8Printable(parser.helpText()));
        return AllDone;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        print(stdout, app_info::title() + QLatin1Char(' ') + QCoreApplication::applicationVersion());
        return AllDone;
    }
    const bool previewing = parser.isSet(previewOption), running = parser.isSet(runOption),
               undoing = parser.isSet(undoOption);
    if (!parser.positionalArguments().isEmpty())
        return usage(QStringLiteral("unexpected argument: ") + parser.positionalArguments().first());
    if (int(previewing) + int(running) + int(undoing) != 1)
        return usage(QStringLiteral("give one of --preview, --run and --undo"));
    if (parser.isSet(jsonOption) && undoing)
        return usage(QStringLiteral("--json goes with --preview or --run"));
    if (parser.isSet(yesOption) && !undoing)
        return usage(QStringLiteral("--yes goes with --undo"));
    if (previewing)
        return preview(parser.isSet(jsonOption));
    if (running)
        return run(parser.isSet(jsonOption));
    return undo(parser.isSet(yesOption));
}

} // namespace quillfen::app
