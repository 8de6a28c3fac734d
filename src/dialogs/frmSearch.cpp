#include "frmSearch.h"

#include "ui_frmSearch.h"

#include "frmFileSelect.h"

#include "message_shown.h"
#include "platform/failure.h"
#include "platform/host.h"
#include "settings/keys.h"
#include "settings/store.h"
#include "transfer/folder_walk.h"
#include "transfer/found_files_model.h"

#include <QCoreApplication>
#include <QEvent>

using quillfen::Failure;

namespace {

const QString SearchCaption = QStringLiteral("&Search");
const QString ResetCaption = QStringLiteral("&Reset");
const QString CloseCaption = QStringLiteral("&Close");
const QString CancelCaption = QStringLiteral("Cancel");

QString lastFolderKey(const QString &target)
{
    return QLatin1String(quillfen::keys::LastStem) + target;
}

} // namespace

frmSearch::frmSearch(frmFileSelect *editor, QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::frmSearch>())
    , m_editor(editor)
    , m_found(new quillfen::FoundFilesModel(this))
{
    ui->setupUi(this);
    ui->lstFoundFiles->setModel(m_found);

    connect(ui->drvList, &quillfen::DriveList::driveChosen, this, &frmSearch::drvList_Change);
    connect(ui->dirList, &quillfen::FolderList::changed, this, &frmSearch::dirList_Change);
    connect(ui->dirList, &quillfen::FolderList::lostFocus, this, &frmSearch::dirList_LostFocus);
    connect(ui->txtSearchSpec, &QLineEdit::textChanged, this, &frmSearch::txtSearchSpec_Change);
    ui->txtSearchSpec->installEventFilter(this);
    connect(ui->filList, &QAbstractItemView::doubleClicked, this, &frmSearch::filList_DblClick);
    connect(ui->lstFoundFiles, &QAbstractItemView::doubleClicked, this, &frmSearch::lstFoundFiles_DblClick);
    connect(ui->cmdSearch, &QPushButton::clicked, this, &frmSearch::cmdSearch_Click);
    connect(ui->cmdCancel, &QPushButton::clicked, this, &frmSearch::cmdCancel_Click);
    connect(ui->cmdSelect, &QPushButton::clicked, this, &frmSearch::cmdSelect_Click);

    Form_Load();
}

frmSearch::~frmSearch() = default;

void frmSearch::Form_Load()
{
    // Both panels share the window's one cell; the window keeps the size it opens with.
    for (QWidget *widget : {ui->Picture1, ui->Picture2, static_cast<QWidget *>(ui->lblCount),
             static_cast<QWidget *>(ui->lblCriteria), static_cast<QWidget *>(ui->lblfound)}) {
        widget->setBackgroundRole(QPalette::Window);
        widget->setAutoFillBackground(true);
    }
    setFixedSize(sizeHint());

    ui->filList->setPattern(ui->txtSearchSpec->text());
    const QString target = m_editor ? m_editor->mode() : QString();
    m_startFolder = quillfen::store::get(quillfen::keys::Section::App, lastFolderKey(target));
    openStartFolder();
    ui->drvList->showDriveOf(ui->dirList->path());
    ui->txtSearchSpec->setText(quillfen::store::get(quillfen::keys::DefaultFileExt));
    ui->filList->setPattern(ui->txtSearchSpec->text());
    ui->dirList->setFocus();
}

// A start folder that is not stored, or no longer there, gives way to the process's
// current folder, and that to the root, so that the dialog always opens somewhere.
void frmSearch::openStartFolder()
{
    for (const QString &folder : {m_startFolder, QString(), quillfen::host::separator()}) {
        try {
            ui->dirList->setPath(folder);
            return;
        } catch (const Failure &) {
            continue;
        }
    }
}

void frmSearch::reject()
{
    // Closing the window stops a running search at its next folder.
    m_searching = false;
    QDialog::reject();
}

void frmSearch::drvList_Change()
{
    const QString drive = ui->drvList->drive();
    const QString current = quillfen::normalFolder(QString());
    // A drive opens at the process's current folder when it holds it, else at its root.
    const QString folder = quillfen::driveOf(ui->drvList->drives(), current) == drive ? current : drive;
    try {
        ui->dirList->setPath(folder);
    } catch (const Failure &) {
        ui->drvList->showDriveOf(ui->dirList->path());
    }
}

void frmSearch::dirList_Change()
{
    ui->filList->setFolder(ui->dirList->path());
    ui->drvList->showDriveOf(ui->dirList->path());
}

void frmSearch::dirList_LostFocus()
{
    if (ui->dirList->highlightedIndex() == -1)
        return; // the current folder is open already
    try {
        ui->dirList->openHighlighted();
    } catch (const Failure &) {
        ui->dirList->setHighlightedIndex(-1);
    }
}

void frmSearch::txtSearchSpec_Change()
{
    ui->filList->setPattern(ui->txtSearchSpec->text());
}

bool frmSearch::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->txtSearchSpec && event->type() == QEvent::FocusIn)
        ui->txtSearchSpec->selectAll();
    return QDialog::eventFilter(watched, event);
}

void frmSearch::filList_DblClick()
{
    cmdSelect_Click();
}

void frmSearch::cmdSearch_Click()
{
    if (m_scanRunning)
        return;
    if (ui->cmdSearch->text() == ResetCaption) {
        ClearSearch();
        ui->txtSearchSpec->setFocus();
        return;
    }
    ui->cmdSelect->hide();
    if (ui->dirList->highlightedIndex() != -1) {
        // The user sees the highlighted folder before searching it.
        try {
            ui->dirList->openHighlighted();
        } catch (const Failure &) {
            ui->dirList->setHighlightedIndex(-1);
        }
        return;
    }
    ui->Picture2->show();
    ui->Picture1->hide();
    ui->cmdCancel->setText(CancelCaption);
    ui->filList->setPattern(ui->txtSearchSpec->text());
    if (!Search(ui->dirList->path()))
        return;
    ui->filList->setFolder(ui->dirList->path());
    ui->cmdSearch->setText(ResetCaption);
    ui->cmdSearch->setFocus();
    ui->cmdCancel->setText(CloseCaption);
}

bool frmSearch::Search(const QString &root)
{
    m_scanRunning = true;
    m_sinceCount.invalidate();
    m_sinceRows.invalidate();
    QStringList rootSubFolders; // shown again at the end, without reading the root twice
    quillfen::FolderWalk::Observer observer;
    observer.folderEntered = [&](const QString &folder, const QStringList &subFolders) {
        if (folder == root)
            rootSubFolders = subFolders;
        ui->dirList->showListing(folder, subFolders);
    };
    observer.carryOn = [this] {
        m_searching = true;
        QCoreApplication::processEvents();
        return m_searching;
    };
    observer.filesFound = [this] { showProgress(false); };
    bool carriesOn = true;
    try {
        if (quillfen::FolderWalk(*m_found, observer).run(root, ui->filList->pattern())
            == quillfen::FolderWalk::End::ListFull) {
            showProgress(true);
            quillfen::showMessage(quillfen::messages::searchListFull());
        }
        ui->dirList->showListing(root, rootSubFolders);
    } catch (const Failure &failure) {
        quillfen::showMessage(quillfen::messages::searchFailed(failure));
        quillfen::host::endProgram();
        carriesOn = false;
    }
    showProgress(true);
    m_scanRunning = false;
    return carriesOn;
}

// The count is repainted a few times a second, not once per folder. Laying out the found
// list takes time in proportion to its length, so new rows are shown only once they add
// half to what is shown: however slow the machine, all the layouts of a search together
// cost at most three times the last one.
void frmSearch::showProgress(bool now)
{
    const auto due = [now](QElapsedTimer &since) {
        if (!now && since.isValid() && since.elapsed() < RefreshMilliseconds)
            return false;
        since.start();
        return true;
    };
    const int shown = m_found->rowCount();
    if ((now || m_found->count() - shown >= shown / 2) && due(m_sinceRows))
        m_found->publish();
    if (m_found->count() > 0 && due(m_sinceCount))
        ui->lblCount->setText(QLatin1Char(' ') + QString::number(m_found->count()));
}

void frmSearch::ClearSearch()
{
    m_found->clear();
    ui->lblCount->setText(QStringLiteral("0"));
    m_searching = false;
    ui->Picture2->hide();
    ui->cmdSearch->setText(SearchCaption);
    ui->cmdCancel->setText(CloseCaption);
    ui->Picture1->show();
    openStartFolder();
    ui->cmdSelect->show();
}

void frmSearch::cmdCancel_Click()
{
    if (ui->cmdCancel->text() == CloseCaption)
        reject();
    else
        m_searching = false;
}

void frmSearch::lstFoundFiles_DblClick()
{
    if (m_scanRunning)
        return;
    const QModelIndexList selected = ui->lstFoundFiles->selectionModel()->selectedIndexes();
    const QString found = selected.isEmpty() ? QString() : m_found->path(selected.first().row());
    const QString folder = found.left(found.lastIndexOf(quillfen::host::Separator) + 1);
    ClearSearch();
    try {
        ui->dirList->setPath(folder);
    } catch (const Failure &) {
        // The file's folder went away since; the list stays at the start folder.
    }
}

void frmSearch::cmdSelect_Click()
{
    hide();
    const QString current = ui->dirList->path();
    const QString picked = quillfen::folderPrefix(current);
    const QString target = m_editor ? m_editor->mode() : QString();
    if (target == QLatin1String(quillfen::browse_target::Source)) {
        m_editor->setSourceFolder(picked);
        m_editor->setFileName(ui->filList->selectedName());
    } else if (target == QLatin1String(quillfen::browse_target::Destination)) {
        m_editor->setDestFolder(picked);
    }
    try {
        quillfen::store::save(quillfen::keys::Section::App, lastFolderKey(target), current);
    } catch (const Failure &) {
        // Remembering the folder only spares the user a few clicks next time; the pick stands.
    }
    accept();
}
