// The file search dialog's scan against find, and the main window's message area.

#include "files.h"
#include "measure.h"
#include "scenarios.h"

#include "app/message_area.h"
#include "dialogs/folder_list.h"
#include "dialogs/frmSearch.h"
#include "platform/message_boxes.h"
#include "transfer/transfer_log.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>

#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace bench {

namespace {

constexpr int TopFolders = 50;
constexpr int SubFolders = 100;
constexpr int FilesPerFolder = 40;

// 5,000 folders of 40 empty files each, a quarter of them "*.txt".
void makeTree(const QString &root)
{
    for (int top = 0; top < TopFolders; ++top) {
        for (int sub = 0; sub < SubFolders; ++sub) {
            const QString folder = root
                + QStringLiteral("d%1/s%2/")
                      .arg(top, 2, 10, QLatin1Char('0'))
                      .arg(sub, 3, 10, QLatin1Char('0'));
            if (!QDir().mkpath(folder))
                fail(QStringLiteral("cannot create %1").arg(folder));
            for (int k = 0; k < FilesPerFolder; ++k) {
                const QString name = QStringLiteral("file%1").arg(k, 2, 10, QLatin1Char('0'))
                    + (k % 4 == 0 ? QStringLiteral(".txt") : QStringLiteral(".dat"));
                const int fd = ::open(
                    QFile::encodeName(folder + name).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
                if (fd < 0)
                    fail(QStringLiteral("cannot create %1").arg(folder + name));
                ::close(fd);
            }
        }
    }
}

class RecordMessages final : public quillfen::MessageBoxes
{
public:
    RecordMessages() { quillfen::setMessageBoxes(this); }
    ~RecordMessages() override { quillfen::setMessageBoxes(nullptr); }
    quillfen::MsgAnswer show(const quillfen::MessageBoxRequest &request) override
    {
        fail(QStringLiteral("the scan showed \"%1\"").arg(request.text));
    }
};

// One search of `root` for "*.txt" by a fresh, shown dialog; answers the files found.
int searchOnce(const QString &root, double *seconds)
{
    RecordMessages boxes;
    frmSearch dialog(nullptr);
    dialog.show();
    auto *folders = dialog.findChild<quillfen::FolderList *>(QStringLiteral("dirList"));
    auto *pattern = dialog.findChild<QLineEdit *>(QStringLiteral("txtSearchSpec"));
    auto *count = dialog.findChild<QLabel *>(QStringLiteral("lblCount"));
    if (!folders || !pattern || !count)
        fail(QStringLiteral("the search dialog lacks dirList, txtSearchSpec or lblCount"));
    folders->setPath(root);
    pattern->setText(QStringLiteral("*.txt"));
    QCoreApplication::processEvents();
    *seconds = timeOf([&] { dialog.cmdSearch_Click(); });
    return count->text().trimmed().toInt();
}

// A begin and a result record as a run forms them.
QString recordText(int k)
{
    const QString name = QStringLiteral("report-%1.txt").arg(k, 6, 10, QLatin1Char('0'));
    return QStringLiteral(
               "Begin Copy File \t05/12/2026 10:15:%1\r\n\tFrom: \t/home/user/Documents/Reports/%2\r\n")
               .arg(k % 60, 2, 10, QLatin1Char('0'))
               .arg(name)
        + QStringLiteral(
            "\tTo:   /media/backup/Reports/%1\r\nCopy File successful\t05/12/2026 10:15:%2\r\n\r\n\r\n")
              .arg(name)
              .arg(k % 60, 2, 10, QLatin1Char('0'));
}

// Seconds that `count` records take to reach a fresh, shown message area, published and painted
// every 40 ms as the main window does during a run.
double fillOnce(int count)
{
    QListView view;
    view.setUniformItemSizes(true);
    MessageArea area;
    view.setModel(&area);
    view.resize(400, 300);
    view.show();
    area.setText(QStringLiteral("Please wait"));
    QCoreApplication::processEvents();
    QStringList records;
    for (int k = 0; k < count; ++k)
        records.append(recordText(k));
    QElapsedTimer sinceShown;
    sinceShown.start();
    const double seconds = timeOf([&] {
        for (const QString &record : records) {
            area.putRecord(record);
            if (sinceShown.elapsed() >= 40) {
                area.publish();
                view.scrollToTop();
                QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                sinceShown.start();
            }
        }
        area.publish();
        QCoreApplication::processEvents();
    });
    const QString newest = records.last().section(QStringLiteral("\r\n"), 0, 0);
    if (area.data(area.index(0)).toString() != newest)
        fail(QStringLiteral("the message area does not show the newest of %1 records on top").arg(count));
    return seconds;
}

} // namespace

void scanTree(const Setup &setup)
{
    const QString root = setup.scratch + QStringLiteral("tree/");
    std::fprintf(stderr, "  (creating 200,000 files in 5,000 folders)\n");
    makeTree(root);
    const int expected = TopFolders * SubFolders * FilesPerFolder / 4;

    Comparison result {QStringLiteral("scan 200,000 files in 5,000 folders (search dialog)"),
        QStringLiteral("find -name"), {}, {}, 2.0};
    const QStringList findArguments = {root.chopped(1), QStringLiteral("-name"), QStringLiteral("*.txt")};
    double ignored = 0;
    searchOnce(root, &ignored);
    timeProgram(QStringLiteral("find"), findArguments);
    int found = 0;
    Alternation alternation;
    alternation.runs = setup.runs;
    alternation.ours = [&](int) {
        double seconds = 0;
        found = searchOnce(root, &seconds);
        return seconds;
    };
    alternation.theirs = [&](int) { return timeProgram(QStringLiteral("find"), findArguments); };
    alternation.check = [&](int, bool ours) {
        if (ours && found != expected)
            fail(QStringLiteral("the scan found %1 files, not %2").arg(found).arg(expected));
    };
    alternate(alternation, result.ours, result.theirs);
    printComparison(result);
    removeTree(root);
}

void fillMessageArea(const Setup &setup)
{
    QList<double> small;
    QList<double> large;
    // The large fill is slow enough that fewer runs still give a stable median.
    const int largeRuns = std::max(1, setup.runs / 2);
    for (int run = 0; run < setup.runs; ++run) {
        small.append(fillOnce(10000));
        if (run < largeRuns)
            large.append(fillOnce(100000));
    }
    const double t10 = median(small);
    const double t100 = median(large);
    const double growth = t100 / t10;
    // Linear at most: ten times the records take at most eleven times as long.
    printLine(QStringLiteral("100,000 records into the message area"),
        QStringLiteral("10,000: %1 s  100,000: %2 s  growth x%3")
            .arg(t10, 0, 'f', 3)
            .arg(t100, 0, 'f', 3)
            .arg(growth, 0, 'f', 1),
        QStringLiteral("target < 1 s, growth <= x11: %1")
            .arg(t100 < 1.0 && growth <= 11.0 ? QStringLiteral("met") : QStringLiteral("MISSED")));
}

} // namespace bench
