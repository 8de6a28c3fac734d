// The largest entry list, 32,767 entries, saved to and loaded from the store, each step in
// a process of its own.

#include "measure.h"
#include "scenarios.h"

#include "settings/entry_list.h"
#include "settings/store.h"

#include <QDir>

#include <cstdio>

namespace bench {

namespace {

constexpr int MostEntries = 32767;

quillfen::EntryList largestList()
{
    quillfen::EntryList list;
    for (int n = 1; n <= MostEntries; ++n) {
        const QString file
            = n % 5 == 0 ? QStringLiteral("*.log;*.tmp") : QStringLiteral("report-%1.docx").arg(n);
        list.append(file, QStringLiteral("/home/user/Documents/Projects/project-%1/out/").arg(n % 400),
            QStringLiteral("/media/backup/archive/%1/").arg(n % 1000),
            n % 2 ? QStringLiteral("1") : QStringLiteral("0"));
    }
    return list;
}

void failOnReports(const QList<quillfen::Report> &reports)
{
    if (!reports.isEmpty())
        fail(QStringLiteral("the entry list failed: %1").arg(reports.first().failure.description()));
}

// "<seconds>" printed by a child, or the benchmark stops.
double secondsFrom(const QByteArray &output, int code)
{
    bool ok = false;
    const double seconds = output.trimmed().toDouble(&ok);
    if (code != 0 || !ok)
        fail(QStringLiteral("the entry list step failed: %1").arg(QString::fromUtf8(output)));
    return seconds;
}

} // namespace

int entriesChild(const QString &step)
{
    if (step == QLatin1String("save")) {
        const quillfen::EntryList list = largestList();
        std::printf("%.6f\n", timeOf([&] { failOnReports(quillfen::sc_AddFiles(list)); }));
        return 0;
    }
    quillfen::EntryList loaded;
    const double seconds = timeOf([&] { failOnReports(quillfen::sc_GetFiles(loaded)); });
    const quillfen::EntryList expected = largestList();
    if (loaded.files != expected.files || loaded.paths != expected.paths || loaded.dests != expected.dests
        || loaded.moves != expected.moves) {
        std::fprintf(stderr, "the loaded list differs from the saved one (%d entries)\n", loaded.count());
        return 1;
    }
    std::printf("%.6f\n", seconds);
    return 0;
}

void saveAndLoadEntries(const Setup &setup)
{
    QList<double> saves;
    QList<double> loads;
    long peakKib = 0;
    const QByteArray previousHome = qgetenv("XDG_CONFIG_HOME");
    for (int run = 0; run < setup.runs; ++run) {
        const QString home = setup.scratch + QStringLiteral("entries-%1").arg(run);
        QDir().mkpath(home);
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home));
        for (const char *step : {"save", "load"}) {
            QByteArray output;
            long kib = 0;
            const int code = runSelf({QStringLiteral("--entries-child"), QLatin1String(step)}, &kib, &output);
            (QByteArray(step) == "save" ? saves : loads).append(secondsFrom(output, code));
            peakKib = std::max(peakKib, kib);
        }
        QDir(home).removeRecursively();
    }
    qputenv("XDG_CONFIG_HOME", previousHome);
    const double total = median(saves) + median(loads);
    printLine(QStringLiteral("32,767 entries saved and loaded through the store"),
        QStringLiteral("save %1 s  load %2 s  total %3 s  peak %4 MiB")
            .arg(median(saves), 0, 'f', 3)
            .arg(median(loads), 0, 'f', 3)
            .arg(total, 0, 'f', 3)
            .arg(double(peakKib) / 1024, 0, 'f', 1),
        QStringLiteral("target < 2 s: %1")
            .arg(total < 2.0 ? QStringLiteral("met") : QStringLiteral("MISSED")));
}

} // namespace bench
