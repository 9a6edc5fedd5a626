#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>

class CBlockListCtrl;
class CDecodeSession;
class CRecordingDecode;
class CUnsavedBlocks;
class QProgressDialog;
class QTimer;
class QWidget;

// The files to open, loaded one after another, each told by its content: a tape image is read at
// once, an audio recording is decoded a slice at a time from the event loop with a decoder of its
// own, which reports through the decode session (live capture is left undecoded meanwhile). A
// recording that takes long shows its progress in a window with Cancel.
class CLoadQueue : public QObject {
public:
    // How the queue reaches the window: a line for the status bar and the log, a message box,
    // a file read (for the recent files), a tape image read (Save writes to it), and the end of
    // all loading.
    struct Reports {
        std::function<void(const QString& text)> tell;
        std::function<void(const QString& text)> showMessage;
        std::function<void(const QString& path)> fileOpened;
        std::function<void(const QString& path)> tapeImageRead;
        std::function<void()> loadsEnded;
    };

    // `window` owns the progress window; it and the others must outlive the queue.
    CLoadQueue(CDecodeSession& session, CBlockListCtrl& blockList, CUnsavedBlocks& unsaved,
               Reports reports, QWidget* window);
    ~CLoadQueue() override;

    // "1 block", "N blocks": the counts of the load and save texts.
    static QString CountOfBlocks(int32_t count);

    void LoadFiles(const QStringList& paths);
    // A recording is being decoded, or more files wait.
    bool IsLoading() const;
    // Stops decoding the recording and drops the files still waiting; the rows loaded stay.
    void CancelLoading();
    // For good, at the window's destruction: nothing more is loaded and nothing told.
    void Stop();

private:
    void LoadNextFile();
    void LoadTapeImage(const QString& path);
    void StartRecording(const QString& path);
    void ShowProgress(const QString& path);
    void DecodeRecordingSlice();
    void EndRecording();

    CDecodeSession& m_session;
    CBlockListCtrl& m_blockList;
    CUnsavedBlocks& m_unsaved;
    Reports m_reports;
    QWidget* m_window;
    QStringList m_waitingLoads;
    std::unique_ptr<CRecordingDecode> m_pRecording;
    QString m_recordingPath;
    bool m_recordingCanceled = false;
    QTimer* m_recordingTimer = nullptr;
    QProgressDialog* m_pProgress = nullptr;
    QElapsedTimer m_sinceShown;  // since the recording's signal was last shown
    bool m_stopped = false;
};
