#include "signal/SignalDlg.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QTextBlock>
#include <algorithm>
#include <cstdlib>

#include "res/ControlIds.h"
#include "res/DialogTemplates.h"
#include "signal/PlotCanvas.h"
#include "signal/ScreenCanvas.h"
#include "signal/SignalDrawing.h"
#include "ui/DebugOutput.h"
#include "ui/DialogBuilder.h"
#include "ui/TabCtrl.h"

namespace {
// Space kept below the Errors and Screens pages' boxes for the navigation row.
constexpr int kNavigationRow = 35;

const char* const kTabTexts[] = {"Signal", "Errors", "Log", "Screens"};

QString LogToEditText(const char* text) {
    return QString::fromUtf8(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

template <typename Control>
void DestroyControl(Control*& control) {
    delete control;
    control = nullptr;
}

// Where a window of `size` first goes beside the main window: to its right when the screen has
// room, else to its left; on a screen too small for either it keeps to the right side as far as
// the screen allows, since a window off the screen cannot be used.
QPoint PlaceBeside(const QRect& main, const QSize& size, const QRect& room) {
    constexpr int kGap = 8;
    const int right = main.right() + 1 + kGap;
    const int left = main.left() - kGap - size.width();
    if (!room.isValid()) {
        return {right, main.top()};
    }
    int x = right;
    if (right + size.width() > room.right() + 1) {
        x = left >= room.left() ? left : std::max(room.left(), room.right() + 1 - size.width());
    }
    const int y = std::max(room.top(), std::min(main.top(), room.bottom() + 1 - size.height()));
    return {x, y};
}

template <typename Canvas>
Canvas* CanvasOf(QGroupBox* box) {
    return box == nullptr ? nullptr
                          : box->findChild<Canvas*>(QString(), Qt::FindDirectChildrenOnly);
}
}  // namespace

CSignalDlg::CSignalDlg(CSignalHost* pMainDlg) : QDialog(nullptr), m_pMainDlg(pMainDlg) {
    OnInitDialog();
}

CSignalDlg::~CSignalDlg() {
    OnDestroy();
}

void CSignalDlg::OnInitDialog() {
    CDialogBuilder builder(SignalTemplate());
    builder.Build(this);
    m_tab = qobject_cast<CTabCtrl*>(DialogItem(this, signal_ids::kTab));
    if (m_tab == nullptr) {
        std::abort();
    }
    for (int index = 0; index < 4; ++index) {
        if (m_tab->InsertItem(index, QString::fromUtf8(kTabTexts[index])) != index) {
            std::abort();
        }
    }
    connect(m_tab, &CTabCtrl::SelChange, this, &CSignalDlg::OnSelchangeTab);
    m_tab->setAccessibleName(QStringLiteral("Pages"));
    m_templateSize = size();
    m_tabPlace = m_tab->geometry();
    setMinimumSize(m_templateSize);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    setWindowFlag(Qt::MSWindowsFixedSizeDialogHint, false);
    AddPageShortcuts();
    OnSelchangeTab();
}

void CSignalDlg::AddPageShortcuts() {
    const std::pair<QKeySequence, int> keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_Tab), 1},
        {QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), -1},
        {QKeySequence(Qt::CTRL | Qt::Key_Backtab), -1},
        {QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1},
    };
    for (const auto& [key, step] : keys) {
        auto* shortcut = new QShortcut(key, this);
        connect(shortcut, &QShortcut::activated, this, [this, step = step] { SwitchPage(step); });
    }
}

void CSignalDlg::SwitchPage(int step) {
    const int count = m_tab->GetItemCount();
    if (count > 0) {
        m_tab->SetCurSel(((m_tab->GetCurSel() + step) % count + count) % count);
    }
}

void CSignalDlg::ShowBeside(const QWidget& mainWindow) {
    if (!isVisible()) {
        if (!m_place.isEmpty()) {
            restoreGeometry(m_place);
            KeepOnScreen(mainWindow);
        } else {
            const QScreen* screen = mainWindow.screen();
            // Not yet shown, this window has no frame: it will get one like the main window's.
            const QSize frame =
                size() + mainWindow.frameGeometry().size() - mainWindow.geometry().size();
            move(PlaceBeside(mainWindow.frameGeometry(), frame,
                             screen != nullptr ? screen->availableGeometry() : QRect()));
            KeepOnScreen(mainWindow);
        }
    }
    show();
    raise();
    activateWindow();
}

// A place kept from a larger screen, or a larger scale, is brought back onto this one: a
// window bigger than the screen shrinks to it, below the template's size if it must.
void CSignalDlg::KeepOnScreen(const QWidget& mainWindow) {
    const QScreen* screen = mainWindow.screen();
    if (screen == nullptr) {
        return;
    }
    const QRect room = screen->availableGeometry();
    const QSize frame = mainWindow.frameGeometry().size() - mainWindow.geometry().size();
    const QSize most = room.size() - frame;
    setMinimumSize(m_templateSize.boundedTo(most));
    resize(size().boundedTo(most));
    const QRect place(pos(), size() + frame);  // a window's position is its frame's
    const int x = std::max(room.left(), std::min(place.left(), room.right() + 1 - place.width()));
    const int y = std::max(room.top(), std::min(place.top(), room.bottom() + 1 - place.height()));
    move(x, y);
}

QByteArray CSignalDlg::Place() const {
    return isVisible() ? saveGeometry() : m_place;
}

void CSignalDlg::SetPlace(const QByteArray& place) {
    m_place = place;
}

void CSignalDlg::hideEvent(QHideEvent* event) {
    m_place = saveGeometry();
    QDialog::hideEvent(event);
}

// The pages are rebuilt for the new display area; their pictures follow its size.
void CSignalDlg::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (m_tab == nullptr || m_templateSize.isEmpty()) {
        return;
    }
    const QRect place = m_tabPlace.adjusted(0, 0, width() - m_templateSize.width(),
                                            height() - m_templateSize.height());
    if (place != m_tab->geometry()) {
        m_tab->setGeometry(place);
        OnSelchangeTab();
    }
}

CSignalDlg::PageArea CSignalDlg::DisplayArea() const {
    const QRect area = m_tab->DisplayArea();
    return PageArea{area.left(), area.top(), area.right() + 1, area.bottom() + 1};
}

void CSignalDlg::OnSelchangeTab() {
    const int selected = m_tab->GetCurSel();
    DestroyPageControls();
    const PageArea area = DisplayArea();
    switch (selected) {
        case static_cast<int>(Page::Signal):
            BuildSignalPage(area);
            break;
        case static_cast<int>(Page::Errors):
            BuildErrorsPage(area);
            break;
        case static_cast<int>(Page::Log):
            BuildLogPage(area);
            break;
        case static_cast<int>(Page::Screens):
            BuildScreensPage(area);
            break;
        default:
            break;
    }
    OnPaint();
}

void CSignalDlg::BuildSignalPage(const PageArea& area) {
    const int middle = area.top + (area.bottom - area.top) / 2;
    m_pSignalBox = CreateBox(QStringLiteral("Signal"), area.left, area.top, area.right, middle,
                             "m_pSignalBox");
    AddSignalCanvas(m_pSignalBox, &CSignalDlg::LiveSnapshot);
    m_pHistogramBox = CreateBox(QStringLiteral("Histogram"), area.left, middle, area.right,
                                area.bottom, "m_pHistogramBox");
    AddHistogramCanvas(m_pHistogramBox, &CSignalDlg::LiveSnapshot);
}

void CSignalDlg::BuildErrorsPage(const PageArea& area) {
    const int middle = area.top + (area.bottom - area.top) / 2;
    const int b = area.bottom;
    m_pErrorSignalBox = CreateBox(QStringLiteral("Signal"), area.left, area.top, area.right, middle,
                                  "m_pErrorSignalBox");
    AddSignalCanvas(m_pErrorSignalBox, &CSignalDlg::SelectedErrorSnapshot);
    m_pErrorHistogramBox = CreateBox(QStringLiteral("Histogram"), area.left, middle, area.right,
                                     b - kNavigationRow, "m_pErrorHistogramBox");
    AddHistogramCanvas(m_pErrorHistogramBox, &CSignalDlg::SelectedErrorSnapshot);
    m_pErrorNext = CreateButton(QStringLiteral("Next"), kNextErrorCommand, 200, b - 20, 270, b - 5,
                                "m_pErrorNext");
    connect(m_pErrorNext, &QPushButton::clicked, this, &CSignalDlg::OnNextError);
    m_pErrorPrev = CreateButton(QStringLiteral("Prev"), kPrevErrorCommand, 20, b - 20, 80, b - 5,
                                "m_pErrorPrev");
    connect(m_pErrorPrev, &QPushButton::clicked, this, &CSignalDlg::OnPrevError);
    m_pErrorLabel = CreateLabel(ErrorLabelText(), 100, b - 30, 180, b - 5, "m_pErrorLabel");
}

void CSignalDlg::BuildLogPage(const PageArea& area) {
    m_pLogEdit = new QPlainTextEdit(m_tab);
    m_pLogEdit->setObjectName(QStringLiteral("m_pLogEdit"));
    m_pLogEdit->setAccessibleName(QStringLiteral("Log"));
    m_pLogEdit->setReadOnly(true);
    m_pLogEdit->setUndoRedoEnabled(false);
    m_pLogEdit->setFrameStyle(QFrame::NoFrame);
    m_pLogEdit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_pLogEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_pLogEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_pLogEdit->setFont(m_tab->font());
    m_pLogEdit->setGeometry(area.left, area.top, area.right - area.left, area.bottom - area.top);
    m_pLogEdit->show();
    DebugOutput("logged\n");
    AppendLog(nullptr);
}

void CSignalDlg::BuildScreensPage(const PageArea& area) {
    const int b = area.bottom;
    m_redrawScreen = true;
    m_pScreenBox = CreateBox(QStringLiteral("Signal"), area.left, area.top, area.right,
                             b - kNavigationRow, "m_pScreenBox");
    new CScreenCanvas(m_pScreenBox);
    m_pScreenNext = CreateButton(QStringLiteral("Next"), kNextScreenCommand, 200, b - 20, 270,
                                 b - 5, "m_pScreenNext");
    connect(m_pScreenNext, &QPushButton::clicked, this, &CSignalDlg::OnNextScreen);
    m_pScreenPrev = CreateButton(QStringLiteral("Prev"), kPrevScreenCommand, 20, b - 20, 80, b - 5,
                                 "m_pScreenPrev");
    connect(m_pScreenPrev, &QPushButton::clicked, this, &CSignalDlg::OnPrevScreen);
    m_pScreenLabel = CreateLabel(ScreenLabelText(), 100, b - 30, 180, b - 5, "m_pScreenLabel");
}

QGroupBox* CSignalDlg::CreateBox(const QString& title, int left, int top, int right, int bottom,
                                 const char* name) {
    auto* box = new QGroupBox(title, m_tab);
    box->setObjectName(QString::fromLatin1(name));
    box->setAccessibleName(title);
    box->setFont(m_tab->font());
    box->setGeometry(left, top, right - left, bottom - top);
    box->show();
    return box;
}

// The buttons belong to the window itself, so their commands reach it; their numbers are window
// coordinates.
QPushButton* CSignalDlg::CreateButton(const QString& text, int command, int left, int top,
                                      int right, int bottom, const char* name) {
    auto* button = new QPushButton(text, this);
    button->setObjectName(QString::fromLatin1(name));
    button->setFont(m_tab->font());
    button->setAutoDefault(false);
    SetItemId(button, command);
    button->setGeometry(left, top, right - left, bottom - top);
    button->raise();
    button->show();
    return button;
}

QLabel* CSignalDlg::CreateLabel(const QString& text, int left, int top, int right, int bottom,
                                const char* name) {
    auto* label = new QLabel(text, m_tab);
    label->setObjectName(QString::fromLatin1(name));
    label->setFont(m_tab->font());
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setGeometry(left, top, right - left, bottom - top);
    label->show();
    return label;
}

void CSignalDlg::AddSignalCanvas(QGroupBox* box,
                                 const SignalSnapshot* (CSignalDlg::*snapshot)() const) {
    new CPlotCanvas(box, [this, snapshot](int32_t width, int32_t height) {
        const SignalSnapshot* shown = (this->*snapshot)();
        return shown == nullptr
                   ? Drawing{}
                   : SignalDrawing(width, height, *shown, m_pMainDlg->DecoderSettingsNow());
    });
}

void CSignalDlg::AddHistogramCanvas(QGroupBox* box,
                                    const SignalSnapshot* (CSignalDlg::*snapshot)() const) {
    new CPlotCanvas(box, [this, snapshot](int32_t width, int32_t height) {
        const SignalSnapshot* shown = (this->*snapshot)();
        return shown == nullptr
                   ? Drawing{}
                   : HistogramDrawing(width, height, *shown, m_pMainDlg->DecoderSettingsNow());
    });
}

const SignalSnapshot* CSignalDlg::SelectedErrorSnapshot() const {
    return m_errorSnapshots.empty() ? nullptr
                                    : &m_errorSnapshots[static_cast<size_t>(m_errorIndex)];
}

const SignalSnapshot& CSignalDlg::ErrorSnapshot(int32_t index) const {
    return m_errorSnapshots.at(static_cast<size_t>(index));
}

void CSignalDlg::DestroyPageControls() {
    DestroyControl(m_pSignalBox);
    DestroyControl(m_pHistogramBox);
    DestroyControl(m_pErrorSignalBox);
    DestroyControl(m_pErrorHistogramBox);
    DestroyControl(m_pErrorPrev);
    DestroyControl(m_pErrorNext);
    DestroyControl(m_pErrorLabel);
    DestroyControl(m_pLogEdit);
    DestroyControl(m_pScreenBox);
    DestroyControl(m_pScreenPrev);
    DestroyControl(m_pScreenNext);
    DestroyControl(m_pScreenLabel);
}

void CSignalDlg::OnPaint() {
    if (!isVisible()) {
        return;
    }
    DrawSignal(m_pSignalBox);
    DrawHistogram(m_pHistogramBox);
    RefreshErrorsPage();
    RefreshScreensPage();
}

// The canvases make their pictures when they paint; a refresh asks them to.
void CSignalDlg::DrawSignal(QGroupBox* box) {
    if (auto* canvas = CanvasOf<CPlotCanvas>(box)) {
        canvas->update();
    }
}

void CSignalDlg::DrawHistogram(QGroupBox* box) {
    DrawSignal(box);
}

void CSignalDlg::RefreshErrorsPage() {
    if (m_errorSnapshots.empty()) {
        return;
    }
    DrawSignal(m_pErrorSignalBox);
    DrawHistogram(m_pErrorHistogramBox);
    if (m_pErrorLabel != nullptr) {
        m_pErrorLabel->setText(ErrorLabelText());
    }
}

void CSignalDlg::RefreshScreensPage() {
    if (m_pScreenBox == nullptr || m_screenIndex < 0) {
        return;
    }
    const int32_t position = m_pMainDlg->FindScreenItem(m_screenIndex);
    if (position != -1) {
        if (m_redrawScreen) {
            const TapeItem copy = m_pMainDlg->GetBlockCopy(m_pMainDlg->GetItemData(position));
            CanvasOf<CScreenCanvas>(m_pScreenBox)->Draw(copy.body);
        }
        m_redrawScreen = false;
    }
    if (m_pScreenLabel != nullptr) {
        m_pScreenLabel->setText(ScreenLabelText());
    }
}

QString CSignalDlg::ErrorLabelText() const {
    const int32_t count = ErrorCount();
    return count > 0 ? QString::asprintf("Error %d of %d", m_errorIndex + 1, count)
                     : QString::asprintf("Error %d of %d", 0, 0);
}

QString CSignalDlg::ScreenLabelText() const {
    const int32_t count = m_pMainDlg->CountScreens();
    return count > 0 ? QString::asprintf("Screen %d of %d", m_screenIndex + 1, count)
                     : QString::asprintf("Screen %d of %d", 0, count);
}

void CSignalDlg::OnPrevError() {
    if (!m_errorSnapshots.empty() && m_errorIndex > 0) {
        --m_errorIndex;
        OnPaint();
    }
}

void CSignalDlg::OnNextError() {
    if (!m_errorSnapshots.empty() && m_errorIndex < ErrorCount() - 1) {
        ++m_errorIndex;
        OnPaint();
    }
}

void CSignalDlg::OnPrevScreen() {
    if (m_pMainDlg->CountScreens() > 0 && m_screenIndex > 0) {
        --m_screenIndex;
        m_redrawScreen = true;
        OnPaint();
    }
}

void CSignalDlg::OnNextScreen() {
    const int32_t screens = m_pMainDlg->CountScreens();
    if (screens > 0 && m_screenIndex < screens - 1) {
        ++m_screenIndex;
        m_redrawScreen = true;
        OnPaint();
    }
}

void CSignalDlg::AddErrorSnapshot(const SignalSnapshot& snapshot) {
    m_errorSnapshots.push_back(snapshot);
}

void CSignalDlg::AppendLog(const char* text) {
    if (text == nullptr) {
        ShowWholeLog();
        return;
    }
    const int32_t oldLength = m_log.Length();
    m_log.Append(text);
    if (m_pLogEdit == nullptr || m_log.Text() == nullptr || m_log.Length() == oldLength) {
        return;
    }
    const bool inStep = m_logShownLength == oldLength &&
                        m_pLogEdit->document()->characterCount() == m_logShownCharacters;
    if (inStep) {
        AppendToLogEdit(text);
    } else {
        ShowWholeLog();
    }
}

// Adds the entry at the end and scrolls it into view, leaving the rest of the text alone, so that
// an entry costs the same however long the log has grown.
void CSignalDlg::AppendToLogEdit(const char* text) {
    QTextCursor end = m_pLogEdit->textCursor();
    end.movePosition(QTextCursor::End);
    end.insertText(QString::fromUtf8(text) + QLatin1Char('\n'));
    m_pLogEdit->setTextCursor(end);
    FollowNewestLine();
    m_logShownLength = m_log.Length();
    m_logShownCharacters = m_pLogEdit->document()->characterCount();
}

void CSignalDlg::FollowNewestLine() {
    m_pLogEdit->ensureCursorVisible();
    QScrollBar* scrollBar = m_pLogEdit->verticalScrollBar();
    scrollBar->setValue(scrollBar->maximum());
}

void CSignalDlg::ShowWholeLog() {
    if (m_pLogEdit == nullptr || m_log.Text() == nullptr) {
        return;
    }
    m_pLogEdit->setPlainText(LogToEditText(m_log.Text()));
    m_pLogEdit->moveCursor(QTextCursor::End);
    FollowNewestLine();
    m_logShownLength = m_log.Length();
    m_logShownCharacters = m_pLogEdit->document()->characterCount();
}

void CSignalDlg::OnDestroy() {
    DestroyPageControls();
    m_log.Release();
}

// Showing the window brings the labels and pictures up to date.
void CSignalDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    OnPaint();
}
