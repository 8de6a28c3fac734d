#include "frmMain.h"

#include "ui_frmMain.h"

#include "dialogs/frmAbout.h"
#include "dialogs/frmDone.h"
#include "dialogs/frmLogView.h"
#include "dialogs/message_shown.h"
#include "link_label.h"
#include "message_area.h"
#include "options/frmOptions.h"
#include "platform/failure.h"
#include "platform/host.h"
#include "settings/keys.h"
#include "settings/store.h"
#include "transfer/file_routines.h"
#include "transfer/transfer_log.h"
#include "transfer/transfer_run.h"
#include "window_order.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QLabel>
#include <QListView>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

#include <ctime>

using namespace quillfen;

namespace {

const QString ViewLog = QStringLiteral("View Log");
const QString DeleteLog = QStringLiteral("Delete Log");
const QString LinkTipSuffix = QStringLiteral(" File");

const char PlaceLog[] = "Main form, Log File";
const char PlaceToggle[] = "Timer Toggle";
const char PlaceTick[] = "Timer";
const char PlaceStatus[] = "Set Status Bar";
const char PlaceRun[] = "Timer2";
const char PlaceClose[] = "Main form unload";

// A file larger than this shows the progress of its own bytes.
const qint64 LargeFile = 16 * 1024 * 1024;
// How often a run shows what it did: a few times a second, never per file.
const int ShowMilliseconds = 40;
// The bar's own %v and %m drop the locale's digit grouping: the counts are put in here.
const QString FilesFormat = QStringLiteral("%L1 of %L2 files");
const QString StoppedFormat = QStringLiteral("Stopped after %L1 of %L2 files");

// Runs one step of a handler; a failure is reported with the handler's place words.
template<typename Step>
bool guarded(const char *place, Step step)
{
    try {
        step();
        return true;
    } catch (const Failure &failure) {
        reportPlace(failure, QLatin1String(place));
        return false;
    }
}

QLabel *makePanel(const char *name, QWidget *parent)
{
    auto *panel = new QLabel(parent);
    panel->setObjectName(QLatin1String(name));
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Sunken);
    panel->setContentsMargins(4, 0, 4, 0);
    return panel;
}

} // namespace

frmMain::frmMain(QWidget *parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::frmMain>())
{
    app::trackWindowOrder();
    ui->setupUi(this);
    m_messages = new MessageArea(this);
    ui->txtMsg->setModel(m_messages);
    connect(ui->lblLog, &LinkLabel::clicked, this, &frmMain::lblLog_Click);
    connect(ui->lblOptions, &LinkLabel::clicked, this, &frmMain::lblOptions_Click);
    connect(ui->lblAbout, &LinkLabel::clicked, this, &frmMain::lblAbout_Click);
    connect(ui->tglTimer, &QPushButton::toggled, this, &frmMain::tglTimer_Click);

    m_statusPanel = makePanel("pnlStatus", ui->sbStatusBar);
    m_statusPanel->setText(QStringLiteral("Status"));
    m_datePanel = makePanel("pnlDate", ui->sbStatusBar);
    m_timePanel = makePanel("pnlTime", ui->sbStatusBar);
    ui->sbStatusBar->addWidget(m_statusPanel, 1);
    ui->sbStatusBar->addPermanentWidget(m_datePanel);
    ui->sbStatusBar->addPermanentWidget(m_timePanel);

    m_timer1 = new QTimer(this);
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setInterval(1000);
    connect(m_timer1, &QTimer::timeout, this, &frmMain::Timer1_Timer);
    m_timer2 = new QTimer(this);
    m_timer2->setObjectName(QStringLiteral("Timer2"));
    m_timer2->setInterval(1000);
    m_timer2->setSingleShot(true);
    connect(m_timer2, &QTimer::timeout, this, &frmMain::Timer2_Timer);

    // The date and time panels keep themselves current, each tick aimed just past a
    // change of second.
    m_clock = new QTimer(this);
    m_clock->setObjectName(QStringLiteral("timClock"));
    m_clock->setSingleShot(true);
    connect(m_clock, &QTimer::timeout, this, &frmMain::showClock);
    showClock();
}

frmMain::~frmMain() = default;

QString frmMain::statusText() const
{
    return m_statusPanel->text();
}

void frmMain::showCountdown()
{
    ui->tglTimer->setText(QString::number(m_countdown.secondsLeft()));
    m_statusPanel->setText(m_countdown.status());
    if (m_countdown.phase() != Countdown::Phase::Counting)
        m_timer1->stop();
    else if (!m_timer1->isActive())
        m_timer1->start();
}

void frmMain::showClock()
{
    m_datePanel->setText(host::localTimeText(std::time(nullptr), "%x"));
    m_timePanel->setText(host::localTimeText(std::time(nullptr), "%X"));
    m_clock->start(1000 - QTime::currentTime().msec() + 5);
}

void frmMain::readSettings()
{
    showReports(m_countdown.readSettings());
    ui->tglTimer->setChecked(m_countdown.autoStart());
}

void frmMain::Form_Load()
{
    readSettings();
    tglTimer_Click();
    SC_StatusBar();
    guarded(Countdown::LoadPlace, [this] {
        const Lookup log = sc_FileExists(logFilePath());
        if (log.report)
            showReport(*log.report);
        if (log.found)
            ui->lblLog->show();
    });
}

void frmMain::SC_StatusBar()
{
    guarded(PlaceStatus, [this] {
        m_countdown.showAutoStart();
        showCountdown();
    });
}

void frmMain::tglTimer_Click()
{
    guarded(PlaceToggle, [this] {
        const bool down = ui->tglTimer->isChecked();
        m_countdown.setStarted(down);
        ui->tglTimer->setToolTip(down ? QStringLiteral("Click to Stop") : QStringLiteral("Click to Start"));
        showCountdown();
    });
}

void frmMain::Timer1_Timer()
{
    guarded(PlaceTick, [this] {
        if (m_countdown.tick())
            enterRunning();
        showCountdown();
    });
}

void frmMain::enterRunning()
{
    for (QWidget *widget : {static_cast<QWidget *>(ui->tglTimer), static_cast<QWidget *>(ui->Label1),
             static_cast<QWidget *>(ui->Label2), static_cast<QWidget *>(ui->lblLog),
             static_cast<QWidget *>(ui->lblOptions), static_cast<QWidget *>(ui->lblAbout)})
        widget->hide();
    m_messages->setText(QStringLiteral("Please wait"));
    m_messages->setLogPath(logFilePath());
    ui->txtMsg->show();
    m_timer2->start();
}

void frmMain::Timer2_Timer()
{
    // Disarmed first, so it cannot fire again while the run waits on one of its message boxes.
    m_timer2->stop();
    m_filesPlanned = 0;
    m_filesDone = 0;
    m_tally = {};
    m_filesFormat = FilesFormat;
    ui->prgFiles->show();
    showRunProgress();
    m_sinceEvents.start();
    m_transferring = true;
    auto run = std::make_unique<TransferRun>(*this);
    try {
        run->sc_TransferFiles();
    } catch (const Failure &failure) {
        m_transferring = false;
        m_endedRun = std::move(run);
        // The bar says that the run stopped, not that it is still busy.
        m_filesFormat = StoppedFormat;
        m_filesPlanned = std::max(m_filesPlanned, 1);
        m_bytesTotal = 0;
        showRunProgress();
        reportPlace(failure, QLatin1String(PlaceRun));
        return;
    }
    m_transferring = false;
    m_bytesTotal = 0;
    showRunProgress();
    m_countdown.finish();
    showCountdown();
    if (const std::unique_ptr<app::DesktopNotification> notification = app::notifyRunEnd(m_tally)) {
        close();
        app::followRunNotice(*notification);
        host::endProgram();
        return;
    }
    auto *notice = new frmDone;
    notice->show();
    close();
}

void frmMain::lblAbout_Click()
{
    ui->tglTimer->setChecked(false);
    {
        frmAbout about(this);
        about.exec();
    }
    if (m_countdown.autoStart())
        ui->tglTimer->setChecked(true);
    tglTimer_Click();
}

void frmMain::lblOptions_Click()
{
    ui->tglTimer->setChecked(false);
    {
        frmOptions options(this);
        options.exec();
    }
    readSettings();
    SC_StatusBar();
    tglTimer_Click();
}

void frmMain::lblLog_Click()
{
    guarded(PlaceLog, [this] {
        const QString path = logFilePath();
        if (ui->lblLog->text() == ViewLog) {
            QPointer<frmMain> self(this);
            host::openWithApplication(path, [self, path] {
                if (self)
                    (new frmLogView(path, self))->show();
            });
            ui->lblLog->setText(DeleteLog);
            ui->lblLog->setToolTip(DeleteLog + LinkTipSuffix);
            return;
        }
        if (confirm(messages::deleteLogQuestion())) {
            sc_DeleteFile(path);
            ui->lblLog->hide();
        } else {
            ui->lblLog->setText(ViewLog);
            ui->lblLog->setToolTip(ViewLog + LinkTipSuffix);
        }
    });
}

void frmMain::putRecord(const QString &recordWithLineEnd)
{
    m_messages->putRecord(recordWithLineEnd);
    if (!m_transferring)
        m_messages->publish();
    keepResponsive();
}

void frmMain::filesPlanned(int count)
{
    m_filesPlanned += count;
}

void frmMain::fileStarted(const QString &sourcePath)
{
    m_currentFile = sourcePath;
}

void frmMain::bytesCopied(qint64 done, qint64 total)
{
    m_bytesDone = done;
    m_bytesTotal = total;
    keepResponsive();
}

void frmMain::report(const Report &report)
{
    showReport(report);
}

void frmMain::fileFinished(const FileEnd &end)
{
    ++m_filesDone;
    if (end.kind == FileEnd::Kind::Failed)
        ++m_tally.failed;
    else if (end.kind == FileEnd::Kind::Done)
        ++(end.move ? m_tally.moved : m_tally.copied);
    m_bytesTotal = 0;
    keepResponsive();
}

// The run holds the window thread: every few frames the window shows what the run did and
// paints, without taking the user's input. Nothing is laid out or painted per file.
void frmMain::keepResponsive()
{
    if (!m_transferring || m_sinceEvents.elapsed() < ShowMilliseconds)
        return;
    showRunProgress();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    m_sinceEvents.start();
}

void frmMain::showRunProgress()
{
    m_messages->publish();
    ui->txtMsg->scrollToTop();
    // No total yet: the bar shows that it is busy.
    const int total = std::max(m_filesPlanned, m_filesDone);
    ui->prgFiles->setRange(0, total);
    ui->prgFiles->setValue(m_filesDone);
    ui->prgFiles->setFormat(m_filesFormat.arg(m_filesDone).arg(total));
    const bool large = m_bytesTotal >= LargeFile;
    if (large) {
        QString name = m_currentFile.mid(m_currentFile.lastIndexOf(host::separator()) + 1);
        // An invisible joiner keeps a "%v" or "%p" in the name from being read as the bar's.
        name.replace(u'%', QStringLiteral("%\u2060"));
        ui->prgBytes->setFormat(name + QStringLiteral(": %p%"));
        ui->prgBytes->setValue(int(qBound(qint64(0), m_bytesDone * 1000 / m_bytesTotal, qint64(1000))));
    }
    ui->prgBytes->setVisible(large);
}

void frmMain::storePlacement()
{
    const QRect frame = frameGeometry();
    const auto twipsX = [this](int pixels) { return QString::number(qint64(pixels) * 1440 / logicalDpiX()); };
    const auto twipsY = [this](int pixels) { return QString::number(qint64(pixels) * 1440 / logicalDpiY()); };
    store::WriteBatch batch;
    store::save(keys::MainLeft, twipsX(frame.x()));
    store::save(keys::MainTop, twipsY(frame.y()));
    store::save(keys::MainWidth, twipsX(frame.width()));
    store::save(keys::MainHeight, twipsY(frame.height()));
    batch.commit();
}

void frmMain::closeEvent(QCloseEvent *event)
{
    // A run in progress has the window thread; the window closes when it is over.
    if (m_transferring) {
        event->ignore();
        return;
    }
    for (QWidget *window : app::windowsNewestFirst()) {
        if (window != this && window->isVisible() && !qobject_cast<frmDone *>(window))
            window->close();
    }
    if (m_endedRun)
        guarded(PlaceClose, [this] { std::exchange(m_endedRun, nullptr)->close(); });
    if (!isMinimized())
        guarded(PlaceClose, [this] { storePlacement(); });
    m_timer1->stop();
    m_clock->stop();
    event->accept();
}
