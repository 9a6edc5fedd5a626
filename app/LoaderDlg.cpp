#include "app/LoaderDlg.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QSettings>
#include <QTreeWidget>
#include <QUrl>
#include <algorithm>
#include <cstdio>
#include <functional>

#include "app/AboutDlg.h"
#include "app/CaptureController.h"
#include "app/DecodeSession.h"
#include "app/LoadQueue.h"
#include "app/LoaderResources.h"
#include "app/LoaderStatusBar.h"
#include "app/MainMenu.h"
#include "app/ManualDlg.h"
#include "app/RecoveryFiles.h"
#include "app/StoredSettings.h"
#include "app/TapeFileDialog.h"
#include "app/TapeSaver.h"
#include "decoder/SampleDecoder.h"
#include "options/OptionsDlg.h"
#include "res/ControlIds.h"
#include "res/DialogTemplates.h"
#include "signal/SignalDlg.h"
#include "tape/BlockEntry.h"
#include "tape/BlockListCtrl.h"
#include "tape/TapeImageWriter.h"
#include "tape/TapeTime.h"
#include "ui/DebugOutput.h"
#include "ui/DialogBuilder.h"

namespace {

using namespace main_ids;

constexpr const char* kAboutMenuText = "&About Tapewise...";

QString CountOfBlocks(int32_t count) {
    return CLoadQueue::CountOfBlocks(count);
}

QString FileName(const QString& path) {
    return QFileInfo(path).fileName();
}

// A button that shows an icon instead of its text; the text stays as its name and tool tip.
void ShowIconInstead(QPushButton* button, const QIcon& icon) {
    button->setAccessibleName(button->text());
    button->setToolTip(button->text());
    button->setText(QString());
    button->setIcon(icon);
    const int side = std::max(8, std::min(button->width(), button->height()) - 6);
    button->setIconSize(QSize(side, side));
}

}  // namespace

CLoaderDlg::CLoaderDlg(CSoundLayer& soundLayer, std::function<WaveHeader*()> takeFilled,
                       QWidget* parent)
    : QDialog(parent),
      m_soundLayer(soundLayer),
      m_takeFilled(std::move(takeFilled)),
      m_pStored(std::make_unique<CStoredSettings>()) {
    LoadTapewiseResources();
    m_hIcon = QIcon(":/icons/128.svg");
}

CLoaderDlg::~CLoaderDlg() {
    OnDestroy();
}

CSampleDecoder& CLoaderDlg::Decoder() {
    return m_pSession->Decoder();
}

QWidget* CLoaderDlg::Item(int32_t id) const {
    return DialogItem(this, id);
}

void CLoaderDlg::KeepSettingsIn(std::unique_ptr<QSettings> store, const QStringList& problems) {
    m_pStored = std::make_unique<CStoredSettings>(std::move(store));
    m_settingsProblems = problems;
    const QString keptFolder = m_pStored->RecoveryFolder();
    m_pKept = keptFolder.isEmpty()
                  ? nullptr
                  : std::make_unique<CRecoveryFiles>(keptFolder.toLocal8Bit().toStdString());
}

bool CLoaderDlg::OnInitDialog(bool carryOnWithoutInput) {
    CDialogBuilder builder(MainTemplate());
    // The template's list view is the block list itself, in its place and tab position.
    builder.SetFactory(kList, [this](const ControlTemplate&, QWidget* parent) {
        m_pBlockList = new CBlockListCtrl(parent);
        return m_pBlockList;
    });
    builder.Build(this);
    AddMenuBar();
    AllowGrowth();
    AddAboutMenuItem();
    setWindowIcon(m_hIcon);
    BuildButtons();
    // The Signal window holds the console log: it comes first, so the first status text is kept.
    m_pSignalDlg = std::make_unique<CSignalDlg>(static_cast<CSignalHost*>(this));
    m_pSignalDlg->setWindowIcon(m_hIcon);
    m_pSignalDlg->SetPlace(m_pStored->Place("signal"));
    restoreGeometry(m_pStored->Place("main"));
    BuildStatusBar();
    BuildBlockList();
    m_pSession = std::make_unique<CDecodeSession>(*m_pBlockList, *m_pStatusBar, *m_pSignalDlg,
                                                  m_pStored->Decoder(&m_settingsProblems),
                                                  m_pStored->Dump());
    for (const QString& problem : m_settingsProblems) {
        Tell(problem);
    }
    m_pSaver = std::make_unique<CTapeSaver>(
        *this, *m_pStored,
        CTapeSaver::Reports{[this](const QString& text) { ShowMessage(text); },
                            [this] { m_pStatusBar->SetText("Save canceled", 0, 0); },
                            [this](const char* text) { m_pSignalDlg->AppendLog(text); }});
    ConnectMenu();
    NameControls();
    StartCapture();
    MakeLoadQueue();
    setAcceptDrops(true);
    if (!m_pCapture->HasInputDevice()) {
        ShowMessage("No sound input device on machine");
        if (carryOnWithoutInput) {
            Tell("No sound input: files can be opened, not recorded");
        }
        return carryOnWithoutInput;
    }
    m_pCapture->OpenSoundInput();
    return true;
}

void CLoaderDlg::StartCapture() {
    m_pCapture = std::make_unique<CCaptureController>(
        m_soundLayer, m_takeFilled, m_pStored->SoundInput().toStdString(), *m_pSession,
        CCaptureController::Reports{
            [this](const std::string& message) {
                ShowMessage(QString::fromStdString(message).trimmed());
            },
            [this] { EndProgram(kFailureStatus); },
            [this](const std::string& text) { m_pStatusBar->SetText(text.c_str(), 0, 0); }});
}

void CLoaderDlg::MakeLoadQueue() {
    m_pLoads = std::make_unique<CLoadQueue>(
        *m_pSession, *m_pBlockList, m_unsaved,
        CLoadQueue::Reports{[this](const QString& text) { Tell(text); },
                            [this](const QString& text) { ShowMessage(text); },
                            [this](const QString& path) {
                                m_pStored->AddRecentFile(QFileInfo(path).absoluteFilePath());
                                ShowRecentFiles();
                            },
                            [this](const QString& path) { m_currentFile = path; },
                            [this] { SaveWaiting(); }},
        this);
}

// The menu bar sits above the template's controls, which move down by its height.
void CLoaderDlg::AddMenuBar() {
    const QList<QWidget*> controls = findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    m_pMenu = new CMainMenu(this);
    const int menuHeight = m_pMenu->sizeHint().height();
    for (QWidget* control : controls) {
        control->move(control->x(), control->y() + menuHeight);
    }
    const QSize grown(width(), height() + menuHeight);
    setMinimumSize(grown);
    setMaximumSize(grown);
    resize(grown);
    m_pMenu->setGeometry(0, 0, width(), menuHeight);
    m_pMenu->show();
}

void CLoaderDlg::ConnectMenu() {
    CMainMenu& menu = *m_pMenu;
    connect(menu.open, &QAction::triggered, this, &CLoaderDlg::OnLoad);
    connect(menu.save, &QAction::triggered, this, &CLoaderDlg::OnSave);
    connect(menu.saveAs, &QAction::triggered, this, &CLoaderDlg::OnSaveAs);
    connect(menu.quit, &QAction::triggered, this, &CLoaderDlg::reject);
    connect(menu.undo, &QAction::triggered, m_pBlockList, &CBlockListCtrl::Undo);
    connect(menu.redo, &QAction::triggered, m_pBlockList, &CBlockListCtrl::Redo);
    connect(menu.deleteRows, &QAction::triggered, m_pBlockList, &CBlockListCtrl::DeleteSelected);
    connect(menu.selectAll, &QAction::triggered, this, [this] {
        m_pBlockList->selectAll();
        m_pBlockList->setFocus();
    });
    connect(menu.moveUp, &QAction::triggered, m_pBlockList, &CBlockListCtrl::MoveSelectedUp);
    connect(menu.moveDown, &QAction::triggered, m_pBlockList, &CBlockListCtrl::MoveSelectedDown);
    connect(menu.recoverKept, &QAction::triggered, this, &CLoaderDlg::OfferKeptBlocks);
    connect(menu.signalWindow, &QAction::triggered, this, &CLoaderDlg::OnConsole);
    connect(menu.options, &QAction::triggered, this, &CLoaderDlg::OnOptions);
    connect(menu.manual, &QAction::triggered, this, &CLoaderDlg::OnManual);
    connect(menu.about, &QAction::triggered, this, &CLoaderDlg::OnAbout);
    const auto showHistory = [this] {
        m_pMenu->undo->setEnabled(m_pBlockList->CanUndo());
        m_pMenu->redo->setEnabled(m_pBlockList->CanRedo());
    };
    connect(m_pBlockList, &CBlockListCtrl::HistoryChanged, this, showHistory);
    showHistory();
    ShowRecentFiles();
    ShowKeptBlocks();
}

void CLoaderDlg::ShowKeptBlocks() {
    m_pMenu->recoverKept->setEnabled(m_pKept && !m_pKept->Waiting().empty());
}

void CLoaderDlg::ShowRecentFiles() {
    m_pMenu->ShowRecentFiles(m_pStored->RecentFiles(), [this](const QString& path) {
        if (!QFileInfo::exists(path)) {
            m_pStored->RemoveRecentFile(path);
            ShowRecentFiles();
        }
        LoadFiles({path});
    });
}

// Screen readers name every control: buttons by their text, the rest by what they hold.
void CLoaderDlg::NameControls() {
    for (QPushButton* button : findChildren<QPushButton*>()) {
        if (button->accessibleName().isEmpty()) {
            button->setAccessibleName(button->text().remove('&').trimmed());
        }
    }
    m_pBlockList->setAccessibleName("Blocks");
    m_pStatusBar->setAccessibleName("Status");
}

void CLoaderDlg::AllowGrowth() {
    m_templateSize = size();
    for (QWidget* control : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (control != m_pMenu) {
            m_templatePlaces.emplace_back(control, control->geometry());
        }
    }
    setMinimumSize(m_templateSize);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint, false);
}

void CLoaderDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (m_templateSize.isEmpty()) {
        return;
    }
    const int grownX = width() - m_templateSize.width();
    const int grownY = height() - m_templateSize.height();
    for (const auto& [control, place] : m_templatePlaces) {
        control->setGeometry(control == m_pBlockList ? place.adjusted(0, 0, grownX, grownY)
                                                     : place.translated(grownX, 0));
    }
    if (m_pStatusBar != nullptr) {
        m_pStatusBar->setGeometry(0, height() - CLoaderStatusBar::kHeight, width(),
                                  CLoaderStatusBar::kHeight);
    }
    m_pMenu->resize(width(), m_pMenu->height());
    ::DebugOutput(QStringLiteral("block list %1x%2\n")
                      .arg(m_pBlockList->width())
                      .arg(m_pBlockList->height())
                      .toLocal8Bit()
                      .constData());
}

// Qt offers no access to the window manager's system menu: the item lives in the window's
// context menu (right click on the window background) instead.
void CLoaderDlg::AddAboutMenuItem() {
    auto* about = new QAction(kAboutMenuText, this);
    connect(about, &QAction::triggered, this, &CLoaderDlg::OnAbout);
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void CLoaderDlg::BuildButtons() {
    m_hIconUp = QIcon(":/icons/131.svg");
    m_hIconDown = QIcon(":/icons/132.svg");
    m_btnUp = qobject_cast<QPushButton*>(Item(kUp));
    m_btnDown = qobject_cast<QPushButton*>(Item(kDown));
    ShowIconInstead(m_btnUp, m_hIconUp);
    ShowIconInstead(m_btnDown, m_hIconDown);
    connect(qobject_cast<QPushButton*>(Item(kSaveAs)), &QPushButton::clicked, this,
            &CLoaderDlg::OnSaveAs);
    const std::pair<int32_t, void (CLoaderDlg::*)()> commands[] = {
        {kLoad, &CLoaderDlg::OnLoad},
        {kOptions, &CLoaderDlg::OnOptions},
        {kAbout, &CLoaderDlg::OnAbout},
        {kConsole, &CLoaderDlg::OnConsole},
    };
    for (const auto& [id, handler] : commands) {
        connect(qobject_cast<QPushButton*>(Item(id)), &QPushButton::clicked, this, handler);
    }
}

void CLoaderDlg::BuildStatusBar() {
    m_pStatusBar = new CLoaderStatusBar(
        [this](const char* text) {
            if (m_pSignalDlg != nullptr) {
                m_pSignalDlg->AppendLog(text);
            }
        },
        this);
    m_pStatusBar->setGeometry(0, height() - CLoaderStatusBar::kHeight, width(),
                              CLoaderStatusBar::kHeight);
    m_pStatusBar->show();
    m_pStatusBar->SetText("Start your tape", 0, 0);
}

void CLoaderDlg::ShowTapeTime() {
    const CBlockListModel& rows = m_pBlockList->Model();
    m_pStatusBar->SetTapeTime(
        QString::fromStdString("Tape " + TapeClock(TapeSeconds(rows, rows.GetItemCount()))));
}

void CLoaderDlg::BuildBlockList() {
    m_pBlockList->InsertColumns();
    connect(m_pBlockList, &CBlockListCtrl::BlocksChanged, this, [this] {
        m_unsaved.NoteChange();
        ShowTapeTime();
    });
    connect(qobject_cast<QPushButton*>(Item(kUp)), &QPushButton::clicked, m_pBlockList,
            &CBlockListCtrl::MoveSelectedUp);
    connect(qobject_cast<QPushButton*>(Item(kDown)), &QPushButton::clicked, m_pBlockList,
            &CBlockListCtrl::MoveSelectedDown);
    connect(qobject_cast<QPushButton*>(Item(kDelete)), &QPushButton::clicked, m_pBlockList,
            &CBlockListCtrl::DeleteSelected);
}

void CLoaderDlg::OnFilledBuffers() {
    if (!m_destroyed && m_pCapture) {
        m_pCapture->OnFilledBuffers();
    }
}

// CSignalHost

const DecoderSettings& CLoaderDlg::DecoderSettingsNow() const {
    static const DecoderSettings kNoDecoder;
    return m_pSession ? m_pSession->Settings() : kNoDecoder;
}

int32_t CLoaderDlg::CountScreens() const {
    return m_pBlockList->Model().CountScreens();
}

int32_t CLoaderDlg::FindScreenItem(int32_t screenNumber) const {
    return m_pBlockList->Model().FindScreenItem(screenNumber);
}

int32_t CLoaderDlg::GetItemData(int32_t position) const {
    const CBlockListModel& model = m_pBlockList->Model();
    if (position < 0 || position >= model.GetItemCount()) {
        return CBlockListModel::kErrorItem;
    }
    return model.GetEntry(position).itemValue;
}

TapeItem CLoaderDlg::GetBlockCopy(int32_t storeIndex) const {
    return m_pBlockList->Model().GetBlockCopy(storeIndex).value_or(TapeItem{});
}

// Commands

bool CLoaderDlg::OnSaveAs() {
    const QString path = m_pSaver->AskPath();
    if (path.isEmpty()) {
        return false;
    }
    if (IsLoading()) {
        // The file is to hold what the loads bring too.
        m_waitingSave = path;
        m_waitingSaveSelected = true;
        Tell("Saving to " + FileName(path) + " when loading ends");
        return false;
    }
    return SaveTo(path, true);
}

bool CLoaderDlg::OnSave() {
    const QString path = m_currentFile.isEmpty() ? m_pSaver->AskPath() : m_currentFile;
    if (path.isEmpty()) {
        return false;
    }
    if (IsLoading()) {
        m_waitingSave = path;
        m_waitingSaveSelected = false;
        Tell("Saving to " + FileName(path) + " when loading ends");
        return false;
    }
    return SaveTo(path, false);
}

std::vector<TapeItem> CLoaderDlg::AllBlocks() const {
    const CBlockListModel& model = m_pBlockList->Model();
    std::vector<TapeItem> blocks;
    for (int32_t p = 0; p < model.GetItemCount(); ++p) {
        if (const auto block = model.GetBlockCopy(model.GetEntry(p).itemValue)) {
            blocks.push_back(*block);
        }
    }
    return blocks;
}

bool CLoaderDlg::SaveTo(const QString& path, bool onlySelected) {
    const CBlockListModel& model = m_pBlockList->Model();
    const std::vector<TapeItem> blocks = onlySelected ? model.GetBlocksToSave() : AllBlocks();
    const std::optional<int32_t> written = m_pSaver->Write(path, blocks);
    if (!written) {
        return false;
    }
    m_unsaved.NoteSaved(blocks.size() == model.GetBlocks().size());
    m_currentFile = path;
    m_pStored->AddRecentFile(QFileInfo(path).absoluteFilePath());
    ShowRecentFiles();
    Tell("Saved " + CountOfBlocks(*written) + " to " + FileName(path));
    return true;
}

void CLoaderDlg::OnLoad() {
    CTapeFileDialog dialog(this, QFileDialog::AcceptOpen, m_pStored->LastFolder());
    // Kept as the text shown, which the dialog gives without its patterns.
    const QString shown = m_pStored->LastLoadFilter();
    for (const QString& filter : dialog.nameFilters()) {
        if (!shown.isEmpty() && (filter == shown || filter.startsWith(shown + " ("))) {
            dialog.selectNameFilter(filter);
            break;
        }
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        m_pStatusBar->SetText("Load canceled", 0, 0);
        return;
    }
    const QStringList paths = dialog.selectedFiles();
    m_pStored->SetLastFolder(QFileInfo(paths.first()).absolutePath());
    m_pStored->SetLastLoadFilter(dialog.selectedNameFilter());
    LoadFiles(paths);
}

void CLoaderDlg::LoadFiles(const QStringList& paths) {
    m_pLoads->LoadFiles(paths);
}

bool CLoaderDlg::IsLoading() const {
    return m_pLoads && m_pLoads->IsLoading();
}

void CLoaderDlg::CancelLoading() {
    m_pLoads->CancelLoading();
}

// A save chosen while loading is done once every file has loaded.
void CLoaderDlg::SaveWaiting() {
    if (!m_waitingSave.isEmpty()) {
        const QString path = std::exchange(m_waitingSave, QString());
        SaveTo(path, m_waitingSaveSelected);
    }
}

void CLoaderDlg::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) {
        event->acceptProposedAction();
    }
}

void CLoaderDlg::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile()) {
            paths << url.toLocalFile();
        }
    }
    if (!paths.isEmpty()) {
        event->acceptProposedAction();
        LoadFiles(paths);
    }
}

void CLoaderDlg::OnOptions() {
    COptionsDlg options(Decoder().SettingsNow(), Decoder().DumpNow(), this);
    options.setWindowModality(Qt::WindowModal);
    std::vector<std::pair<std::string, std::string>> sources;
    for (const SoundSource& source : m_pCapture->InputSources()) {
        sources.emplace_back(source.name, source.description);
    }
    options.OfferSoundInputs(sources, m_pStored->SoundInput().toStdString());
    const bool defaultKept = m_pStored->SoundInput().isEmpty() && !sources.empty() &&
                             options.ChosenSoundInput() == sources.front().first;
    const bool accepted = options.exec() == QDialog::Accepted;
    // The next buffer is decoded with the new settings; a new mode brings a new decoder.
    if (accepted) {
        m_pSession->Apply(options.Settings(), options.Dump());
    }
    if (accepted && !sources.empty() &&
        !(defaultKept && options.ChosenSoundInput() == sources.front().first)) {
        ChooseSoundInput(options.ChosenSoundInput());
    }
    m_pStored->SetDecoder(m_pSession->Settings());
    m_pStored->SetDump(Decoder().DumpNow());
}

void CLoaderDlg::ChooseSoundInput(const std::string& source) {
    const QString chosen = QString::fromStdString(source);
    if (chosen == m_pStored->SoundInput()) {
        return;
    }
    m_pStored->SetSoundInput(chosen);
    m_pCapture->SwitchSource(source);
}

void CLoaderDlg::OnAbout() {
    CAboutDlg about(this);
    about.setWindowModality(Qt::WindowModal);
    about.exec();
}

void CLoaderDlg::OnManual() {
    auto* manual = findChild<CManualDlg*>();
    if (manual == nullptr) {
        manual = new CManualDlg(this);
    }
    manual->show();
    manual->raise();
    manual->activateWindow();
}

void CLoaderDlg::OnConsole() {
    m_pSignalDlg->ShowBeside(*this);
}

// Ending

void CLoaderDlg::keyPressEvent(QKeyEvent* event) {
    // Escape while loading stops the load; the program goes on.
    if (event->key() == Qt::Key_Escape && IsLoading()) {
        CancelLoading();
        return;
    }
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    // Enter on a focused push button clicks it (the button handles it); anywhere else it ends.
    if (enter && event->modifiers() == Qt::NoModifier &&
        qobject_cast<QPushButton*>(focusWidget()) == nullptr) {
        accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool CLoaderDlg::ConfirmEnd() {
    if (!m_unsaved.MustAsk(m_pBlockList == nullptr
                               ? 0
                               : static_cast<int32_t>(m_pBlockList->Model().GetBlocks().size()))) {
        return true;
    }
    QMessageBox question(QMessageBox::Question, QString::fromUtf8(kProgramName),
                         CUnsavedBlocks::kQuestion,
                         QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    question.setDefaultButton(QMessageBox::Save);
    question.setEscapeButton(QMessageBox::Cancel);
    question.setWindowModality(Qt::WindowModal);
    const int answer = question.exec();
    const bool ending = answer == QMessageBox::Discard || (answer == QMessageBox::Save && OnSave());
    emit AskedAboutUnsavedBlocks(ending);
    return ending;
}

void CLoaderDlg::accept() {
    if (ConfirmEnd()) {
        EndProgram(0);
    }
}

void CLoaderDlg::reject() {
    if (ConfirmEnd()) {
        EndProgram(0);
    }
}

// The window ends; main ends the program with it, whatever other window is still shown.
void CLoaderDlg::EndProgram(int exitStatus) {
    if (m_ended) {
        return;  // a signal ended it under a question, whose answer comes too late
    }
    m_ended = true;
    m_exitStatus = exitStatus;
    StorePlaces();
    if (m_pSignalDlg != nullptr) {
        m_pSignalDlg->hide();
    }
    QDialog::done(exitStatus == 0 ? QDialog::Accepted : QDialog::Rejected);
}

void CLoaderDlg::EndByTermination(int signalNumber) {
    const int32_t blockCount = static_cast<int32_t>(m_pBlockList->Model().GetBlocks().size());
    if (m_pKept && m_unsaved.MustAsk(blockCount)) {
        std::string failure;
        if (const auto kept = m_pKept->Keep(AllBlocks(), failure)) {
            // Said where the program was started from, too: the terminal of a `kill` sees it.
            fprintf(stderr, "tapewise: unsaved blocks kept in %s\n", kept->c_str());
        } else {
            fprintf(stderr, "tapewise: unsaved blocks could not be kept: %s\n", failure.c_str());
        }
    }
    EndProgram(128 + signalNumber);
}

void CLoaderDlg::TellOfKeptBlocks(bool openingFiles) {
    if (!m_pKept || m_pKept->Waiting().empty()) {
        return;
    }
    if (openingFiles) {
        Tell("Blocks kept from a run ended before they were saved: File > Recover Kept Blocks");
    } else {
        OfferKeptBlocks();
    }
}

void CLoaderDlg::OfferKeptBlocks() {
    const std::vector<std::string> files =
        m_pKept ? m_pKept->Waiting() : std::vector<std::string>{};
    if (files.empty()) {
        return;
    }
    QMessageBox question(QMessageBox::Question, QString::fromUtf8(kProgramName),
                         "Tapewise was ended before some blocks were saved, and kept them.\n"
                         "Load them into the list now?",
                         QMessageBox::NoButton, isVisible() ? this : nullptr);
    QPushButton* load = question.addButton("&Load", QMessageBox::AcceptRole);
    QPushButton* discard = question.addButton("&Discard", QMessageBox::DestructiveRole);
    QPushButton* later = question.addButton("Ask &Later", QMessageBox::RejectRole);
    question.setDefaultButton(load);
    question.setEscapeButton(later);
    question.setWindowModality(Qt::WindowModal);
    question.exec();
    if (question.clickedButton() != load && question.clickedButton() != discard) {
        return;
    }
    for (const std::string& file : files) {
        if (question.clickedButton() == load) {
            const TapeLoadReport report = m_pBlockList->LoadTapeFile(file);
            Tell("Loaded " + CountOfBlocks(report.blocksAdded) + " kept from an earlier run");
        }
        m_pKept->Forget(file);
    }
    ShowKeptBlocks();
}

void CLoaderDlg::StorePlaces() {
    m_pStored->SetPlace("main", saveGeometry());
    if (m_pSignalDlg != nullptr) {
        m_pSignalDlg->hide();  // keeps its place
        m_pStored->SetPlace("signal", m_pSignalDlg->Place());
    }
}

// Capture is closed first, so that no buffer can reach the decoder, the indicator or the Signal
// window once they are gone, even while a closing error is on screen.
void CLoaderDlg::OnDestroy() {
    if (m_destroyed) {
        return;
    }
    m_destroyed = true;
    if (m_pLoads) {
        m_pLoads->Stop();
    }
    if (m_pCapture) {
        m_pCapture->CloseSoundInput();
    }
    m_pSession.reset();
    delete m_pStatusBar;
    m_pStatusBar = nullptr;
    if (m_pSignalDlg != nullptr) {
        m_pSignalDlg->OnDestroy();
        m_pSignalDlg.reset();
    }
}

// What a load or save did: in the status bar and the log, and as a detail line.
void CLoaderDlg::Tell(const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    m_pStatusBar->SetText(bytes.constData(), 0, 0);
    ::DebugOutput((bytes + '\n').constData());
}

// Window-modal: the Signal window stays usable while a message is up.
void CLoaderDlg::ShowMessage(const QString& text) {
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kProgramName), text, QMessageBox::Ok,
                    isVisible() ? this : nullptr);
    box.setWindowModality(isVisible() ? Qt::WindowModal : Qt::ApplicationModal);
    box.exec();
}
