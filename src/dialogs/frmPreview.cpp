#include "frmPreview.h"

#include "ui_frmPreview.h"

#include "preview_model.h"

#include "transfer/preview.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>

using quillfen::PreviewModel;

namespace {

const QString SavedTitle = QStringLiteral("Preview of the next run");
const QString UnsavedTitle = QStringLiteral("Preview of the next run (unsaved changes)");
const QString CloseCaption = QStringLiteral("&Close");
const QString RunningNote = QStringLiteral("Looking at the files\u2026 ");
const QString StoppedNote = QStringLiteral(" \u2014 stopped before the end: the list is incomplete");

// The size the window last had, for the next preview of the session: the settings are not
// the preview's to change.
QSize g_lastSize;

} // namespace

frmPreview::frmPreview(const quillfen::EntryList &entries, const QString &interval, const QString &unitCode,
    bool unsaved, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::frmPreview>())
    , m_model(new PreviewModel(this))
    , m_entries(entries)
    , m_interval(interval)
    , m_unitCode(unitCode)
{
    ui->setupUi(this);
    setWindowTitle(unsaved ? UnsavedTitle : SavedTitle);
    ui->tblPreview->setModel(m_model);
    // Rows of one height are laid out without measuring them, however many there are.
    QHeaderView *rows = ui->tblPreview->verticalHeader();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 6);
    setColumnWidths();
    ui->lblTotals->setText(RunningNote);

    const QSize fallback(ui->tblPreview->horizontalHeader()->length() + 60, fontMetrics().lineSpacing() * 28);
    QSize size = g_lastSize.isEmpty() ? fallback : g_lastSize;
    if (const QScreen *screen = this->screen())
        size = size.boundedTo(screen->availableSize());
    resize(size);
    ui->tblPreview->horizontalHeader()->setStretchLastSection(false);
    ui->tblPreview->setFocus();

    connect(ui->cmdCancel, &QPushButton::clicked, this, &frmPreview::cmdCancel_Click);
}

frmPreview::~frmPreview() = default;

// Fixed widths from the header and the widest text a column usually holds, not from the rows:
// measuring hundreds of thousands of rows would cost more than the preview itself.
void frmPreview::setColumnWidths()
{
    const QFontMetrics metrics = ui->tblPreview->fontMetrics();
    const QString widest[PreviewModel::ColumnCount] = {QStringLiteral("9999"), QStringLiteral("Move"),
        QString(36, u'n'), QString(36, u'n'), QString(), QStringLiteral("Not reached"), QString()};
    QHeaderView *columns = ui->tblPreview->horizontalHeader();
    for (int column = 0; column < PreviewModel::ColumnCount; ++column) {
        const QString header = m_model->headerData(column, Qt::Horizontal).toString();
        const int text = std::max(
            metrics.horizontalAdvance(widest[column]), columns->fontMetrics().horizontalAdvance(header));
        columns->resizeSection(column, text + 24);
    }
}

// The reason is read whole and the size to its last digit: their columns widen to the widest
// the rows hold, as far as the model's cheap guess of it goes. The paths share what is left,
// elided in the middle, down to a dozen characters each; below that the table scrolls.
void frmPreview::fitColumns()
{
    const QFontMetrics metrics = ui->tblPreview->fontMetrics();
    QHeaderView *columns = ui->tblPreview->horizontalHeader();
    const std::pair<int, QString> widest[]
        = {{PreviewModel::SizeColumn, QLocale().toString(m_model->largestSize())},
            {PreviewModel::ReasonColumn, m_model->longestReason()}};
    for (const auto &[column, text] : widest)
        columns->resizeSection(
            column, std::max(columns->sectionSize(column), metrics.horizontalAdvance(text) + 24));
    const int paths = ui->tblPreview->viewport()->width() + columns->sectionSize(PreviewModel::SourceColumn)
        + columns->sectionSize(PreviewModel::DestColumn) - columns->length();
    for (const int column : {PreviewModel::SourceColumn, PreviewModel::DestColumn})
        columns->resizeSection(column, std::max(metrics.averageCharWidth() * 12, paths / 2));
}

void frmPreview::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    fitColumns();
}

void frmPreview::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!m_started)
        QTimer::singleShot(0, this, &frmPreview::run);
}

void frmPreview::run()
{
    if (m_started || m_stopped)
        return;
    m_started = true;
    m_running = true;
    const QPointer<frmPreview> alive(this);
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    bool cut = false;
    m_sinceRows.start();
    quillfen::previewRun(
        m_entries, m_interval, m_unitCode, [this](const quillfen::PreviewRow &row) { m_model->append(row); },
        [&] {
            if (sinceEvents.elapsed() >= EventsMilliseconds) {
                showProgress(false);
                QCoreApplication::processEvents();
                if (!alive)
                    return false;
                sinceEvents.restart();
            }
            cut = m_stopped;
            return !cut;
        });
    if (!alive)
        return;
    m_running = false;
    m_cut = cut;
    showProgress(true);
    ui->cmdCancel->setText(CloseCaption);
}

void frmPreview::showProgress(bool now)
{
    if (!now && m_sinceRows.elapsed() < RowsMilliseconds)
        return;
    m_sinceRows.restart();
    m_model->publish();
    fitColumns();
    if (m_running && m_model->count() == 0)
        return;
    // A line breaks only between two verdicts' totals.
    const QString totals = quillfen::totalsParts(m_model->totals())
                               .replaceInStrings(QStringLiteral(" "), QStringLiteral("\u00a0"))
                               .join(QStringLiteral(" \u00b7 "));
    ui->lblTotals->setText(m_running ? RunningNote + totals : m_cut ? totals + StoppedNote : totals);
}

void frmPreview::cmdCancel_Click()
{
    if (m_running)
        m_stopped = true;
    else
        reject();
}

void frmPreview::done(int result)
{
    m_stopped = true;
    g_lastSize = size();
    QDialog::done(result);
}
