#pragma once

#include <QDialog>
#include <vector>

#include "decoder/core/SignalSnapshot.h"
#include "signal/ConsoleLog.h"
#include "signal/DrawPrimitive.h"
#include "signal/SignalHost.h"

class CTabCtrl;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The Signal window: the live signal and its period histogram, the same frozen at each read
// error, the console log and the SCREEN$ blocks of the block list, one tab each. It is modeless
// and starts hidden; closing it only hides it, keeping its page, its selections and its log.
//
// Only the selected page's controls exist; switching tabs destroys them and builds the new page
// from the current state. Nothing is drawn while the window is hidden.
class CSignalDlg : public QDialog {
    Q_OBJECT

public:
    static constexpr int kPrevErrorCommand = 3000;
    static constexpr int kNextErrorCommand = 3001;
    static constexpr int kPrevScreenCommand = 3010;
    static constexpr int kNextScreenCommand = 3011;

    enum class Page { Signal = 0, Errors = 1, Log = 2, Screens = 3 };

    // Builds the window from its template, hidden, with an empty log and no snapshots. The host
    // (the main window) is not owned and must outlive this window.
    explicit CSignalDlg(CSignalHost* pMainDlg);
    ~CSignalDlg() override;

    // Appends one entry to the console log and, when the Log page is shown, to its text. A null
    // text puts the whole log into the Log page instead.
    void AppendLog(const char* text);
    // Keeps a copy of the snapshot taken at a read error, after the earlier ones. Neither moves
    // the Errors page's selection nor refreshes.
    void AddErrorSnapshot(const SignalSnapshot& snapshot);
    // The record that the decoder captures into after every buffer.
    SignalSnapshot& CurrentSignal() { return m_currentSignal; }

    // The refresh: redraws the shown page's pictures and updates its label. Does nothing while the
    // window is hidden.
    void OnPaint();
    // Destroys the page controls and releases the log; later appends are ignored. Safe to repeat.
    void OnDestroy();

    // Shows and activates the window: where it was last, or the first time beside `mainWindow`
    // (to its right when the screen has room, else to its left), so that it hides nothing.
    void ShowBeside(const QWidget& mainWindow);
    // The place it was shown at last (saveGeometry), empty before; and the other way round.
    QByteArray Place() const;
    void SetPlace(const QByteArray& place);
    // The next or the previous page, round the tabs (Ctrl+Tab, Ctrl+PageDown and back).
    void SwitchPage(int step);

    void OnSelchangeTab();
    void OnPrevError();
    void OnNextError();
    void OnPrevScreen();
    void OnNextScreen();

    const CConsoleLog& Log() const { return m_log; }
    int32_t ErrorCount() const { return static_cast<int32_t>(m_errorSnapshots.size()); }
    int32_t ErrorIndex() const { return m_errorIndex; }
    const SignalSnapshot& ErrorSnapshot(int32_t index) const;
    int32_t ScreenIndex() const { return m_screenIndex; }
    bool RedrawScreen() const { return m_redrawScreen; }
    CTabCtrl* Tab() const { return m_tab; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    struct PageArea {
        int left = 0;
        int top = 0;
        int right = 0;
        int bottom = 0;
    };

    void OnInitDialog();
    void AddPageShortcuts();
    void KeepOnScreen(const QWidget& mainWindow);
    PageArea DisplayArea() const;
    void DestroyPageControls();
    void BuildSignalPage(const PageArea& area);
    void BuildErrorsPage(const PageArea& area);
    void BuildLogPage(const PageArea& area);
    void BuildScreensPage(const PageArea& area);
    QGroupBox* CreateBox(const QString& title, int left, int top, int right, int bottom,
                         const char* name);
    QPushButton* CreateButton(const QString& text, int command, int left, int top, int right,
                              int bottom, const char* name);
    QLabel* CreateLabel(const QString& text, int left, int top, int right, int bottom,
                        const char* name);
    void AddSignalCanvas(QGroupBox* box, const SignalSnapshot* (CSignalDlg::*snapshot)() const);
    void AddHistogramCanvas(QGroupBox* box, const SignalSnapshot* (CSignalDlg::*snapshot)() const);
    void DrawSignal(QGroupBox* box);
    void DrawHistogram(QGroupBox* box);
    void RefreshErrorsPage();
    void RefreshScreensPage();
    void ShowWholeLog();
    void AppendToLogEdit(const char* text);
    void FollowNewestLine();
    QString ErrorLabelText() const;
    QString ScreenLabelText() const;
    const SignalSnapshot* LiveSnapshot() const { return &m_currentSignal; }
    const SignalSnapshot* SelectedErrorSnapshot() const;

    CSignalHost* m_pMainDlg = nullptr;
    CTabCtrl* m_tab = nullptr;
    // The template's size and the tab control's place in it: the tab control grows with the window.
    QSize m_templateSize;
    QRect m_tabPlace;
    QByteArray m_place;  // where the window was when last hidden

    SignalSnapshot m_currentSignal;
    std::vector<SignalSnapshot> m_errorSnapshots;
    int32_t m_errorIndex = 0;
    int32_t m_screenIndex = -1;
    bool m_redrawScreen = true;

    CConsoleLog m_log;
    // What the Log page's control shows: the log up to this length, as this many characters.
    int32_t m_logShownLength = 0;
    int m_logShownCharacters = 0;

    QGroupBox* m_pSignalBox = nullptr;
    QGroupBox* m_pHistogramBox = nullptr;
    QGroupBox* m_pErrorSignalBox = nullptr;
    QGroupBox* m_pErrorHistogramBox = nullptr;
    QPushButton* m_pErrorPrev = nullptr;
    QPushButton* m_pErrorNext = nullptr;
    QLabel* m_pErrorLabel = nullptr;
    QPlainTextEdit* m_pLogEdit = nullptr;
    QGroupBox* m_pScreenBox = nullptr;
    QPushButton* m_pScreenPrev = nullptr;
    QPushButton* m_pScreenNext = nullptr;
    QLabel* m_pScreenLabel = nullptr;
};
