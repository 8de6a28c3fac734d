// The preview window on a pattern entry over 200,000 files, against the least a preview needs:
// listing them, statting each and looking for it in the destination.

#include "files.h"
#include "measure.h"
#include "scenarios.h"

#include "dialogs/frmPreview.h"
#include "settings/entry_list.h"
#include "transfer/listing.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPushButton>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bench {

namespace {

constexpr int Files = 200000;

// Seconds from showing a fresh preview window until it has every row and its totals.
double previewOnce(const quillfen::EntryList &entries)
{
    return timeOf([&] {
        frmPreview window(entries, QStringLiteral("0"), QStringLiteral("h"), false);
        window.show();
        auto *button = window.findChild<QPushButton *>(QStringLiteral("cmdCancel"));
        if (!button)
            fail(QStringLiteral("the preview window lacks cmdCancel"));
        QElapsedTimer waited;
        waited.start();
        // The preview runs inside the window's events; its button says "Close" once it is done.
        while (button->text() != QLatin1String("&Close")) {
            if (waited.elapsed() > 600000)
                fail(QStringLiteral("the preview did not end within 10 minutes"));
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        }
    });
}

} // namespace

void previewFiles(const Setup &setup)
{
    const QString source = setup.scratch + QStringLiteral("preview/");
    const QString dest = setup.scratch + QStringLiteral("preview-dest/");
    makeFolder(source);
    makeFolder(dest);
    progress("creating 200,000 files in one folder");
    for (int k = 0; k < Files; ++k) {
        const int fd
            = ::open(native(source + QStringLiteral("p%1.txt").arg(k, 6, 10, QLatin1Char('0'))).constData(),
                O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0 || ::write(fd, "x", 1) != 1)
            fail(QStringLiteral("cannot create the preview's files"));
        ::close(fd);
    }
    quillfen::EntryList entries;
    entries.append(QStringLiteral("*.txt"), source, dest, QStringLiteral("0"));

    qsizetype statted = 0;
    const auto listAndStat = [&] {
        statted = 0;
        struct stat st = {};
        for (const QString &name : quillfen::listMatchingFiles(source, QStringLiteral("*.txt"))) {
            const QByteArray path = native(source + name);
            statted += ::stat(path.constData(), &st) == 0;
            statted -= ::faccessat(AT_FDCWD, path.constData(), R_OK, AT_EACCESS) != 0;
            statted -= ::lstat(native(dest + name).constData(), &st) == 0;
        }
    };
    Comparison result {QStringLiteral("preview of a pattern entry over 200,000 files (window)"),
        QStringLiteral("list, stat, access, lstat"), {}, {}, 1.5};
    // Both meet the folder in the cache.
    listAndStat();
    Alternation alternation;
    alternation.runs = setup.runs;
    alternation.ours = [&](int) { return previewOnce(entries); };
    alternation.theirs = [&](int) { return timeOf(listAndStat); };
    alternation.check = [&](int, bool ours) {
        if (!ours && statted != Files)
            fail(QStringLiteral("listing found %1 files, not %2").arg(statted).arg(Files));
    };
    alternate(alternation, result.ours, result.theirs);
    printComparison(result);
    removeTree(source);
    removeTree(dest);
}

} // namespace bench
