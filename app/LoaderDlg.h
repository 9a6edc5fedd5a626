#pragma once

#include <QDialog>
#include <QIcon>
#include <QPushButton>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "app/UnsavedBlocks.h"
#include "capture/SoundLayer.h"
#include "capture/WaveHeader.h"
#include "signal/SignalHost.h"

class CBlockListCtrl;
class CCaptureController;
class CDecodeSession;
class CLoadQueue;
class CLoaderStatusBar;
class CSignalDlg;
class CSampleDecoder;
class QSettings;
class CStoredSettings;
class CMainMenu;
class CRecoveryFiles;
class CTapeSaver;
struct TapeItem;

// The main window. It builds the block list, the status bar and the Signal window, and wires
// them to the decode session (the live decoder), the load queue (files opened) and the capture
// controller (the sound input), which it owns. main shows it and runs the application's event
// loop; the program ends when this window ends.
class CLoaderDlg : public QDialog, public CSignalHost {
    Q_OBJECT

public:
    // Status of a run that ended through a fatal error.
    static constexpr int kFailureStatus = 1;

    // `soundLayer` is the sound input to record from and `takeFilled` hands over its next filled
    // buffer (null when none is waiting); the window owns neither.
    CLoaderDlg(CSoundLayer& soundLayer, std::function<WaveHeader*()> takeFilled,
               QWidget* parent = nullptr);
    ~CLoaderDlg() override;

    // Keeps the settings, the windows' places, the last folder, the recent files and the blocks
    // of a run ended from outside in `store` between runs, and starts from what it holds; call
    // before OnInitDialog. Without it nothing is kept. `problems` (why the store could not be
    // used) are told at start with those found in the store.
    void KeepSettingsIn(std::unique_ptr<QSettings> store, const QStringList& problems = {});

    // Start-up: the Signal window, the status bar, the list, the decoder, then the sound input.
    // Without a sound input device the user is told; the start then fails unless
    // `carryOnWithoutInput` (files are to be opened, which needs no sound input).
    bool OnInitDialog(bool carryOnWithoutInput = false);

    // Offers the blocks that a run ended from outside kept, if any: load them, discard them, or
    // ask again next time.
    void OfferKeptBlocks();
    // At start: the offer itself, or, when files are being opened, a line in the status bar that
    // points to File > Recover Kept Blocks, so that nothing comes between the user and the files.
    void TellOfKeptBlocks(bool openingFiles);
    // SIGTERM or SIGHUP: unsaved blocks are kept for the next start, then the window ends with
    // status 128 + the signal's number.
    void EndByTermination(int signalNumber);

    // Buffers handed over by the sound input; posted to the window's thread by the input's
    // notifier, so they arrive in order, also under modal dialogs.
    Q_INVOKABLE void OnFilledBuffers();

    // CSignalHost
    const DecoderSettings& DecoderSettingsNow() const override;
    int32_t CountScreens() const override;
    int32_t FindScreenItem(int32_t screenNumber) const override;
    int32_t GetItemData(int32_t position) const override;
    TapeItem GetBlockCopy(int32_t storeIndex) const override;

    // The commands, also for tests. The saves are true when the file was written.
    bool OnSaveAs();
    // The whole list to the file last saved or opened (a tape image), else to a file asked for.
    bool OnSave();
    void OnManual();
    void OnLoad();
    void OnOptions();
    void OnAbout();
    void OnConsole();

    // Loads files one after another, each told by its content: a tape image is read at once, an
    // audio recording is decoded a slice at a time from the event loop with a decoder of its own,
    // while live capture is left undecoded. Used by Load, the command line and dropped files.
    void LoadFiles(const QStringList& paths);
    // A recording is being decoded, or more files wait.
    bool IsLoading() const;
    // Stops decoding the recording and drops the files still waiting; the rows loaded stay.
    void CancelLoading();

    QWidget* Item(int32_t id) const;
    CBlockListCtrl& BlockList() { return *m_pBlockList; }
    CMainMenu& Menu() { return *m_pMenu; }
    // The file that Save writes: the tape image last saved or opened; empty when none.
    QString CurrentFile() const { return m_currentFile; }
    CLoaderStatusBar& StatusBar() { return *m_pStatusBar; }
    CSignalDlg& SignalDlg() { return *m_pSignalDlg; }
    // The live decoding, after OnInitDialog: the decoder and the way it reaches the widgets.
    CDecodeSession& Session() { return *m_pSession; }
    CSampleDecoder& Decoder();
    const CUnsavedBlocks& Unsaved() const { return m_unsaved; }
    // The program's exit status once the window has ended: 0, or kFailureStatus after a fatal
    // error.
    int ExitStatus() const { return m_exitStatus; }
    // Whether the window has ended (by the user, an error or a signal).
    bool HasEnded() const { return m_ended; }

public slots:
    // Enter outside a push button, and Escape or the close box: the program ends, after asking
    // when blocks would be lost.
    void accept() override;
    void reject() override;

signals:
    // The user was asked whether to end with unsaved blocks; `ending` is the outcome.
    void AskedAboutUnsavedBlocks(bool ending);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void AddMenuBar();
    void ConnectMenu();
    void NameControls();
    void ShowRecentFiles();
    void ShowKeptBlocks();
    void AllowGrowth();
    void BuildButtons();
    void BuildStatusBar();
    void BuildBlockList();
    void StartCapture();
    void MakeLoadQueue();
    // The playing time of the whole list, in the status bar's last pane.
    void ShowTapeTime();
    void AddAboutMenuItem();
    bool ConfirmEnd();
    void EndProgram(int exitStatus);
    void OnDestroy();
    void ShowMessage(const QString& text);
    void Tell(const QString& text);
    void SaveWaiting();
    bool SaveTo(const QString& path, bool onlySelected);
    std::vector<TapeItem> AllBlocks() const;
    void ChooseSoundInput(const std::string& source);
    void StorePlaces();

    CBlockListCtrl* m_pBlockList = nullptr;
    CLoaderStatusBar* m_pStatusBar = nullptr;
    std::unique_ptr<CSignalDlg> m_pSignalDlg;
    QIcon m_hIcon;
    QIcon m_hIconUp;
    QIcon m_hIconDown;
    QPushButton* m_btnUp = nullptr;
    QPushButton* m_btnDown = nullptr;
    CSoundLayer& m_soundLayer;
    std::function<WaveHeader*()> m_takeFilled;
    std::unique_ptr<CDecodeSession> m_pSession;
    std::unique_ptr<CCaptureController> m_pCapture;
    std::unique_ptr<CLoadQueue> m_pLoads;
    CUnsavedBlocks m_unsaved;
    // The template's size and its controls' places: the list grows with the window, the buttons
    // keep their column at the right edge.
    QSize m_templateSize;
    std::vector<std::pair<QWidget*, QRect>> m_templatePlaces;
    std::unique_ptr<CStoredSettings> m_pStored;
    QString m_waitingSave;  // Save as chosen while loading: done when loading ends
    bool m_waitingSaveSelected = false;
    CMainMenu* m_pMenu = nullptr;
    QString m_currentFile;
    std::unique_ptr<CRecoveryFiles> m_pKept;
    std::unique_ptr<CTapeSaver> m_pSaver;
    QStringList m_settingsProblems;
    bool m_destroyed = false;
    int m_exitStatus = 0;
    bool m_ended = false;
};
