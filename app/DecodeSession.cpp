#include "app/DecodeSession.h"

#include "decoder/core/TimedBlock.h"

#include <functional>
#include <numeric>
#include <utility>

#include "app/LoaderStatusBar.h"
#include "decoder/SampleDecoder.h"
#include "signal/SignalDlg.h"
#include "tape/BlockEntry.h"
#include "tape/BlockListCtrl.h"
#include "ui/DebugOutput.h"

CDecodeSession::CDecodeSession(CBlockListCtrl& blockList, CLoaderStatusBar& statusBar,
                               CSignalDlg& signalDlg, const DecoderSettings& settings)
    : m_blockList(blockList),
      m_statusBar(statusBar),
      m_signalDlg(signalDlg),
      m_pDecoder(CSampleDecoder::Create(this, settings)) {}

CDecodeSession::~CDecodeSession() = default;

const DecoderSettings& CDecodeSession::Settings() const {
    return m_pDecoder->Settings();
}

void CDecodeSession::FollowModeChange(bool wasRobust, bool wasArchive) {
    if (m_pDecoder->Settings().robust != wasRobust ||
        m_pDecoder->Settings().archive != wasArchive) {
        m_pDecoder = CSampleDecoder::Create(this, m_pDecoder->Settings());
    }
}

void CDecodeSession::ProcessBuffer(const uint8_t* samples, int32_t count) {
    if (!m_fileLoading) {
        m_pDecoder->ProcessBuffer(samples, count);
    }
}

void CDecodeSession::UpdateSignalIndicator() {
    if (!m_fileLoading) {
        m_statusBar.UpdateIndicator(m_pDecoder->Calibrate());
    }
}

void CDecodeSession::CaptureSnapshot() {
    if (!m_fileLoading) {
        m_pDecoder->CaptureSnapshot(m_signalDlg.CurrentSignal());
    }
}

void CDecodeSession::BeginFile() {
    m_fileLoading = true;
    m_fileBlocks = 0;
}

int32_t CDecodeSession::EndFile() {
    m_fileLoading = false;
    return m_fileBlocks;
}

void CDecodeSession::NoteFileReading(SignalReading reading) {
    if (reading != SignalReading::Unchanged) {
        m_fileReading = reading;
    }
}

void CDecodeSession::ShowFileSignal(CSampleDecoder& fileDecoder) {
    m_statusBar.UpdateIndicator(std::exchange(m_fileReading, SignalReading::Unchanged));
    fileDecoder.CaptureSnapshot(m_signalDlg.CurrentSignal());
    m_signalDlg.OnPaint();
}

// CDecoderOwner

void CDecodeSession::SetStatusText(const char* text) {
    m_statusBar.SetText(text, 0, 0);
}

void CDecodeSession::AppendLog(const char* text) {
    m_signalDlg.AppendLog(text);
}

void CDecodeSession::AddBlock(int32_t length, const uint8_t* bytes) {
    m_blockList.AddBlock(length, bytes);
    if (m_fileLoading) {
        ++m_fileBlocks;
    }
}

void CDecodeSession::AddTimedBlock(const TimedBlock& block) {
    m_blockList.AddTimedBlock(block);
    // Archive mode hands on its ROM-timed blocks this way too; one whose checksum fails is kept
    // after its error entry, and is no loaded block.
    const bool holdsData = block.kind == BlockKind::Standard || block.kind == BlockKind::Turbo ||
                           block.kind == BlockKind::PureData;
    if (m_fileLoading && holdsData &&
        std::accumulate(block.bytes.begin(), block.bytes.end(), 0, std::bit_xor<>()) == 0) {
        ++m_fileBlocks;
    }
}

void CDecodeSession::AddErrorEntry(int32_t bytesRead, int32_t firstByte) {
    m_blockList.AddErrorEntry(DescribeReadError(bytesRead, firstByte));
}

void CDecodeSession::AddErrorSnapshot(const SignalSnapshot& snapshot) {
    m_signalDlg.AddErrorSnapshot(snapshot);
}

void CDecodeSession::RefreshSignal() {
    m_signalDlg.OnPaint();
}

void CDecodeSession::DebugOutput(const char* text) {
    ::DebugOutput(text);
}
