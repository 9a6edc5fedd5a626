#include "app/LoadQueue.h"

#include <QFileInfo>
#include <QProgressDialog>
#include <QTimer>
#include <chrono>
#include <utility>

#include "app/DecodeSession.h"
#include "app/UnsavedBlocks.h"
#include "decoder/SampleDecoder.h"
#include "recording/AudioFileTypes.h"
#include "recording/RecordingDecode.h"
#include "res/DialogTemplates.h"
#include "tape/BlockListCtrl.h"

namespace {

// A recording is decoded in slices of this length between two turns of the event loop: short
// enough that the windows stay responsive, long enough that painting costs little beside it.
constexpr std::chrono::milliseconds kRecordingSlice{40};
// The indicator and the Signal window follow the recording this often, and at its end. Shown
// after every slice, they halved the speed of the decoding between them (the repaint of the main
// window's status bar did, measured with tapewise-bench-recording).
constexpr qint64 kShowEveryMs = 250;
// The progress window appears only for recordings that take longer than this.
constexpr int kProgressDelayMs = 500;
constexpr int kProgressSteps = 1000;

QString FileName(const QString& path) {
    return QFileInfo(path).fileName();
}

}  // namespace

CLoadQueue::CLoadQueue(CDecodeSession& session, CBlockListCtrl& blockList, CUnsavedBlocks& unsaved,
                       Reports reports, QWidget* window)
    : m_session(session),
      m_blockList(blockList),
      m_unsaved(unsaved),
      m_reports(std::move(reports)),
      m_window(window) {
    m_recordingTimer = new QTimer(this);
    m_recordingTimer->setInterval(0);
    connect(m_recordingTimer, &QTimer::timeout, this, &CLoadQueue::DecodeRecordingSlice);
}

CLoadQueue::~CLoadQueue() {
    Stop();
}

QString CLoadQueue::CountOfBlocks(int32_t count) {
    return count == 1 ? QStringLiteral("1 block") : QStringLiteral("%1 blocks").arg(count);
}

void CLoadQueue::LoadFiles(const QStringList& paths) {
    m_waitingLoads << paths;
    if (!m_pRecording) {
        LoadNextFile();
    }
}

bool CLoadQueue::IsLoading() const {
    return m_pRecording != nullptr || !m_waitingLoads.isEmpty();
}

void CLoadQueue::CancelLoading() {
    m_waitingLoads.clear();
    if (m_pRecording) {
        m_recordingCanceled = true;
        EndRecording();
    }
}

void CLoadQueue::Stop() {
    if (m_stopped) {
        return;
    }
    m_stopped = true;
    m_recordingTimer->stop();
    m_waitingLoads.clear();
    m_pRecording.reset();
}

void CLoadQueue::LoadNextFile() {
    while (!m_pRecording && !m_waitingLoads.isEmpty() && !m_stopped) {
        const QString path = m_waitingLoads.takeFirst();
        const std::string localPath = path.toLocal8Bit().toStdString();
        if (!QFileInfo::exists(path)) {
            m_reports.showMessage(path + ": no such file");
        } else if (!IsRegularFile(localPath)) {
            // A FIFO or a device would block the window in its first read.
            m_reports.showMessage(path + ": not a regular file, so not loaded");
        } else {
            m_reports.fileOpened(path);
            if (IsAudioFile(localPath)) {
                StartRecording(path);
            } else {
                LoadTapeImage(path);
            }
        }
    }
    if (!IsLoading() && !m_stopped) {
        m_reports.loadsEnded();
    }
}

// Blocks just opened from a tape image are in that file: they add nothing unsaved, and Save
// writes to it.
void CLoadQueue::LoadTapeImage(const QString& path) {
    const bool allSaved = m_unsaved.AllSaved() || m_blockList.Model().GetBlocks().empty();
    const TapeLoadReport report = m_blockList.LoadTapeFile(path.toLocal8Bit().toStdString());
    if (allSaved) {
        m_unsaved.NoteSaved(true);
    }
    if (report.outcome != TapeReadOutcome::Unreadable) {
        m_reports.tapeImageRead(path);
    }
    // Notes on what was stepped over go to the log and the status bar; only problems ask for a box.
    QStringList problems;
    for (const TapeMessage& message : report.messages) {
        if (message.severity == MessageSeverity::Note) {
            m_reports.tell(QString::fromLocal8Bit(message.text.c_str()));
        } else {
            problems << QString::fromLocal8Bit(message.text.c_str());
        }
    }
    if (!problems.isEmpty()) {
        m_reports.showMessage(problems.join('\n'));
    }
    if (report.outcome != TapeReadOutcome::Unreadable) {
        m_reports.tell("Loaded " + CountOfBlocks(report.blocksAdded) + " from " + FileName(path));
    }
}

void CLoadQueue::StartRecording(const QString& path) {
    auto recording = std::make_unique<CRecordingDecode>(&m_session, m_session.Settings());
    if (const auto failure = recording->Open(path.toLocal8Bit().toStdString())) {
        m_reports.showMessage(path + ": " + QString::fromLocal8Bit(failure->c_str()));
        return;
    }
    recording->SetBufferHook([this](SignalReading reading) { m_session.NoteFileReading(reading); });
    m_pRecording = std::move(recording);
    m_recordingPath = path;
    m_recordingCanceled = false;
    m_session.BeginFile();
    m_reports.tell("Loading " + FileName(path));
    if (m_pRecording->Truncated()) {
        m_reports.tell(FileName(path) + ": shorter than its header says; decoding what it holds");
    }
    ShowProgress(path);
    m_sinceShown.start();
    m_recordingTimer->start();
}

void CLoadQueue::ShowProgress(const QString& path) {
    m_pProgress =
        new QProgressDialog("Loading " + FileName(path), "Cancel", 0, kProgressSteps, m_window);
    m_pProgress->setWindowTitle(QString::fromUtf8(kProgramName));
    m_pProgress->setWindowModality(Qt::NonModal);
    // The main window keeps the keyboard: a user may go on typing there while a recording loads.
    m_pProgress->setAttribute(Qt::WA_ShowWithoutActivating);
    m_pProgress->setAutoClose(false);
    m_pProgress->setAutoReset(false);
    m_pProgress->setMinimumDuration(kProgressDelayMs);
    m_pProgress->setValue(0);
    connect(m_pProgress, &QProgressDialog::canceled, this, &CLoadQueue::CancelLoading);
}

void CLoadQueue::DecodeRecordingSlice() {
    if (!m_pRecording) {
        m_recordingTimer->stop();
        return;
    }
    const bool more = m_pRecording->DecodeFor(kRecordingSlice);
    if (!m_pRecording) {
        return;  // ended from a callback
    }
    if (!more || m_sinceShown.hasExpired(kShowEveryMs)) {
        m_session.ShowFileSignal(m_pRecording->Decoder());
        m_sinceShown.restart();
    }
    if (m_pProgress != nullptr) {
        m_pProgress->setValue(m_pRecording->Permille());
    }
    if (!more) {
        EndRecording();
    }
}

void CLoadQueue::EndRecording() {
    m_recordingTimer->stop();
    std::unique_ptr<CRecordingDecode> recording = std::move(m_pRecording);
    const int32_t blocks = m_session.EndFile();
    if (m_pProgress != nullptr) {
        m_pProgress->hide();
        m_pProgress->deleteLater();
        m_pProgress = nullptr;
    }
    const QString name = FileName(m_recordingPath);
    if (m_recordingCanceled) {
        m_reports.tell("Load of " + name + " canceled: " + CountOfBlocks(blocks) + " kept");
    } else {
        m_reports.tell("Loaded " + CountOfBlocks(blocks) + " from " + name);
    }
    if (recording && recording->ReadError()) {
        m_reports.showMessage(m_recordingPath + ": read failed: " +
                              QString::fromLocal8Bit(recording->ReadError()->c_str()) +
                              "\nThe blocks before it are kept.");
    }
    LoadNextFile();
}
