#include "frmMain.h"

#include "dialogs/frmAbout.h"
#include "dialogs/frmDone.h"
#include "link_label.h"
#include "options/frmOptions.h"
#include "platform/failure.h"
#include "platform/host.h"
#include "platform/message_boxes.h"
#include "settings/keys.h"
#include "settings/numeric.h"
#include "settings/store.h"
#include "transfer/file_routines.h"
#include "window_order.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

#include <ctime>

using namespace quillfen;

namespace {

const QString ViewLog = QStringLiteral("View Log");
const QString DeleteLog = QStringLiteral("Delete Log");
const QString LinkTipSuffix = QStringLiteral(" File");

const QString Stopped = QStringLiteral("Stopped");
const QString Started = QStringLiteral("Started");
const QString Running = QStringLiteral("Running");
const QString Finished = QStringLiteral("Finished");

const char PlaceLoad[] = "Main form load";
const char PlaceLog[] = "Main form, Log File";
const char PlaceToggle[] = "Timer Toggle";
const char PlaceTick[] = "Timer";
const char PlaceStatus[] = "Set Status Bar";
const char PlaceRun[] = "Timer2";
const char PlaceClose[] = "Main form unload";

// A file larger than this shows the progress of its own bytes.
const qint64 LargeFile = 16 * 1024 * 1024;

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

QString localText(const char *format)
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    ::localtime_r(&now, &local);
    char buffer[128];
    const std::size_t length = std::strftime(buffer, sizeof buffer, format, &local);
    return QString::fromLocal8Bit(buffer, static_cast<qsizetype>(length));
}

QString readAppSetting(const char *key, int defaultValue)
{
    return store::get(QLatin1String(keys::AppSettings), QLatin1String(key), defaultValue);
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
{
    app::trackWindowOrder();
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Quillfen"));

    auto *central = new QWidget(this);
    setCentralWidget(central);

    m_log = new LinkLabel(ViewLog, central);
    m_log->setObjectName(QStringLiteral("lblLog"));
    m_log->setToolTip(ViewLog + LinkTipSuffix);
    m_log->hide();
    m_options = new LinkLabel(QStringLiteral("Options"), central);
    m_options->setObjectName(QStringLiteral("lblOptions"));
    m_options->setToolTip(QStringLiteral("Options"));
    m_about = new LinkLabel(QStringLiteral("About"), central);
    m_about->setObjectName(QStringLiteral("lblAbout"));
    m_about->setToolTip(QStringLiteral("About"));
    connect(m_log, &LinkLabel::clicked, this, &frmMain::lblLog_Click);
    connect(m_options, &LinkLabel::clicked, this, &frmMain::lblOptions_Click);
    connect(m_about, &LinkLabel::clicked, this, &frmMain::lblAbout_Click);

    m_label1 = new QLabel(QStringLiteral("Application will commence in "), central);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setAlignment(Qt::AlignCenter);

    m_toggle = new QPushButton(QString::number(m_countdownLength), central);
    m_toggle->setObjectName(QStringLiteral("tglTimer"));
    m_toggle->setCheckable(true);
    m_toggle->setToolTip(QStringLiteral("Click to Stop/Start"));
    QFont large = m_toggle->font();
    large.setBold(true);
    large.setPointSize(28);
    m_toggle->setFont(large);
    m_toggle->setFixedSize(120, 72);
    connect(m_toggle, &QPushButton::toggled, this, &frmMain::tglTimer_Click);

    m_label2 = new QLabel(QStringLiteral("seconds"), central);
    m_label2->setObjectName(QStringLiteral("Label2"));
    m_label2->setAlignment(Qt::AlignCenter);

    m_messages = new QPlainTextEdit(central);
    m_messages->setObjectName(QStringLiteral("txtMsg"));
    m_messages->setReadOnly(true);
    m_messages->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_messages->setUndoRedoEnabled(false);
    m_messages->hide();

    m_filesBar = new QProgressBar(central);
    m_filesBar->setObjectName(QStringLiteral("prgFiles"));
    m_filesBar->setRange(0, 0);
    m_filesBar->setFormat(QStringLiteral("%v of %m files"));
    m_filesBar->hide();
    m_bytesBar = new QProgressBar(central);
    m_bytesBar->setObjectName(QStringLiteral("prgBytes"));
    m_bytesBar->setRange(0, 1000);
    m_bytesBar->hide();

    auto *links = new QHBoxLayout;
    links->addWidget(m_log);
    links->addStretch(1);
    links->addWidget(m_options);
    links->addSpacing(12);
    links->addWidget(m_about);

    auto *layout = new QVBoxLayout(central);
    layout->addLayout(links);
    layout->addStretch(1);
    layout->addWidget(m_label1);
    layout->addWidget(m_toggle, 0, Qt::AlignHCenter);
    layout->addWidget(m_label2);
    layout->addStretch(1);
    layout->addWidget(m_messages, 100);
    layout->addWidget(m_filesBar);
    layout->addWidget(m_bytesBar);

    auto *bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("sbStatusBar"));
    bar->setSizeGripEnabled(false);
    m_statusPanel = makePanel("pnlStatus", bar);
    m_statusPanel->setText(QStringLiteral("Status"));
    m_datePanel = makePanel("pnlDate", bar);
    m_timePanel = makePanel("pnlTime", bar);
    bar->addWidget(m_statusPanel, 1);
    bar->addPermanentWidget(m_datePanel);
    bar->addPermanentWidget(m_timePanel);
    setStatusBar(bar);

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

    resize(400, 280);
    setLogSink(this);
    setTransferProgress(this);
}

frmMain::~frmMain()
{
    setLogSink(nullptr);
    if (transferProgress() == this)
        setTransferProgress(nullptr);
}

QString frmMain::statusText() const
{
    return m_statusPanel->text();
}

void frmMain::setStatus(const QString &text)
{
    m_statusPanel->setText(text);
}

void frmMain::showClock()
{
    m_datePanel->setText(localText("%x"));
    m_timePanel->setText(localText("%X"));
    m_clock->start(1000 - QTime::currentTime().msec() + 5);
}

void frmMain::readCountdownLength()
{
    m_countdownLength = toInteger16(readAppSetting(keys::Timer, 10));
    m_toggle->setText(QString::number(m_countdownLength));
}

void frmMain::readAutoStart()
{
    m_autoStart
        = toInteger16(store::get(QLatin1String(keys::AppSettings), QLatin1String(keys::AutoStart), false));
}

void frmMain::setToggleFromAutoStart()
{
    if (m_autoStart == 0 || m_autoStart == 1) {
        m_toggle->setChecked(m_autoStart == 1);
        return;
    }
    // The toggle has no state for another value; it shows down, as any nonzero flag means
    // auto-start, and the value is reported.
    m_toggle->setChecked(true);
    throw Failure(failure_no::InvalidArgument);
}

void frmMain::Form_Load()
{
    guarded(PlaceLoad, [this] { readCountdownLength(); });
    guarded(PlaceLoad, [this] {
        readAutoStart();
        setToggleFromAutoStart();
    });
    tglTimer_Click();
    SC_StatusBar();
    guarded(PlaceLoad, [this] {
        if (sc_FileExists(logFilePath()))
            m_log->show();
    });
}

void frmMain::SC_StatusBar()
{
    guarded(PlaceStatus, [this] {
        setStatus(
            m_autoStart != 0 ? QStringLiteral("Auto-Start Enabled") : QStringLiteral("Auto-Start Disabled"));
    });
}

void frmMain::tglTimer_Click()
{
    guarded(PlaceToggle, [this] {
        const bool down = m_toggle->isChecked();
        if (!down) {
            m_timer1->stop();
            m_toggle->setText(QString::number(m_countdownLength));
            setStatus(Stopped);
            m_toggle->setToolTip(QStringLiteral("Click to Start"));
            return;
        }
        if (!m_timer1->isActive())
            m_timer1->start();
        setStatus(Started);
        m_toggle->setToolTip(QStringLiteral("Click to Stop"));
    });
}

void frmMain::Timer1_Timer()
{
    guarded(PlaceTick, [this] {
        bool isNumber = false;
        const qlonglong seconds = m_toggle->text().trimmed().toLongLong(&isNumber);
        if (!isNumber)
            throw Failure(failure_no::TypeMismatch);
        if (seconds == 0)
            enterRunning();
        else
            m_toggle->setText(QString::number(seconds - 1));
    });
}

void frmMain::enterRunning()
{
    m_timer1->stop();
    setStatus(Running);
    for (QWidget *widget : {static_cast<QWidget *>(m_toggle), static_cast<QWidget *>(m_label1),
             static_cast<QWidget *>(m_label2), static_cast<QWidget *>(m_log),
             static_cast<QWidget *>(m_options), static_cast<QWidget *>(m_about)})
        widget->hide();
    m_messages->setPlainText(QStringLiteral("Please wait"));
    m_messages->show();
    m_timer2->start();
}

void frmMain::Timer2_Timer()
{
    // Disarmed first, so it cannot fire again while the run waits on one of its message boxes.
    m_timer2->stop();
    m_filesPlanned = 0;
    m_filesDone = 0;
    m_filesBar->setRange(0, 0);
    m_filesBar->show();
    m_sinceEvents.start();
    m_transferring = true;
    try {
        sc_TransferFiles();
    } catch (const Failure &failure) {
        m_transferring = false;
        reportPlace(failure, QLatin1String(PlaceRun));
        return;
    }
    m_transferring = false;
    m_bytesBar->hide();
    setStatus(Finished);
    auto *notice = new frmDone;
    notice->show();
    close();
}

void frmMain::lblAbout_Click()
{
    m_toggle->setChecked(false);
    {
        frmAbout about(this);
        about.exec();
    }
    if (m_autoStart != 0)
        m_toggle->setChecked(true);
    tglTimer_Click();
}

void frmMain::lblOptions_Click()
{
    m_toggle->setChecked(false);
    {
        frmOptions options(this);
        options.exec();
    }
    // A value that is not a number is reported as at load, and the previous one stays.
    guarded(PlaceLoad, [this] { readCountdownLength(); });
    guarded(PlaceLoad, [this] {
        readAutoStart();
        setToggleFromAutoStart();
    });
    if (m_autoStart != 0)
        m_toggle->setChecked(true);
    SC_StatusBar();
    tglTimer_Click();
}

void frmMain::lblLog_Click()
{
    guarded(PlaceLog, [this] {
        const QString path = logFilePath();
        if (m_log->text() == ViewLog) {
            host::openWithApplication(path);
            m_log->setText(DeleteLog);
            m_log->setToolTip(DeleteLog + LinkTipSuffix);
            return;
        }
        if (showMessage(
                QStringLiteral("Delete the log file?"), DeleteLog, MsgIcon::Question, MsgButtons::YesNo)
            == MsgAnswer::Yes) {
            sc_DeleteFile(path);
            m_log->hide();
        } else {
            m_log->setText(ViewLog);
            m_log->setToolTip(ViewLog + LinkTipSuffix);
        }
    });
}

void frmMain::putRecord(const QString &recordWithLineEnd)
{
    QString text = recordWithLineEnd;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    // Inserting at the start costs the same however much text is already shown.
    QTextCursor cursor(m_messages->document());
    cursor.movePosition(QTextCursor::Start);
    cursor.insertText(text);
    m_messages->verticalScrollBar()->setValue(0);
    keepResponsive();
}

void frmMain::filesPlanned(int count)
{
    m_filesPlanned += count;
    m_filesBar->setRange(0, qMax(m_filesPlanned, m_filesDone));
    m_filesBar->setValue(m_filesDone);
}

void frmMain::fileStarted(const QString &sourcePath)
{
    m_currentFile = sourcePath.mid(sourcePath.lastIndexOf(host::separator()) + 1);
}

void frmMain::bytesCopied(qint64 done, qint64 total)
{
    if (total < LargeFile)
        return;
    if (m_bytesBar->isHidden()) {
        m_bytesBar->setFormat(m_currentFile + QStringLiteral(": %p%"));
        m_bytesBar->show();
    }
    m_bytesBar->setValue(static_cast<int>(qBound(qint64(0), done * 1000 / total, qint64(1000))));
    keepResponsive();
}

void frmMain::fileFinished()
{
    ++m_filesDone;
    m_filesBar->setRange(0, qMax(m_filesPlanned, m_filesDone));
    m_filesBar->setValue(m_filesDone);
    m_bytesBar->hide();
    keepResponsive();
}

void frmMain::keepResponsive()
{
    // The run holds the window thread; every few frames the window paints what the run
    // changed (painting each record would cost more than the record), without taking the
    // user's input.
    if (!m_transferring || m_sinceEvents.elapsed() < 40)
        return;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    m_sinceEvents.start();
}

void frmMain::storePlacement()
{
    const QRect frame = frameGeometry();
    const auto twipsX = [this](int pixels) { return QString::number(qint64(pixels) * 1440 / logicalDpiX()); };
    const auto twipsY = [this](int pixels) { return QString::number(qint64(pixels) * 1440 / logicalDpiY()); };
    const QString section = QLatin1String(keys::WindowSettings);
    store::WriteBatch batch;
    store::save(section, QLatin1String(keys::MainLeft), twipsX(frame.x()));
    store::save(section, QLatin1String(keys::MainTop), twipsY(frame.y()));
    store::save(section, QLatin1String(keys::MainWidth), twipsX(frame.width()));
    store::save(section, QLatin1String(keys::MainHeight), twipsY(frame.height()));
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
    guarded(PlaceClose, [] { sc_ClosePendingRun(); });
    if (!isMinimized())
        guarded(PlaceClose, [this] { storePlacement(); });
    m_timer1->stop();
    m_clock->stop();
    event->accept();
}
