#include "app/DecodeSession.h"

#include <utility>

#include "app/LoaderStatusBar.h"
#include "decoder/SampleDecoder.h"
#include "model/BlockFacts.h"
#include "signal/SignalDlg.h"
#include "tape/BlockEntry.h"
#include "tape/BlockListCtrl.h"
#include "ui/DebugOutput.h"

CDecodeSession::CDecodeSession(CBlockListCtrl& blockList, CLoaderStatusBar& statusBar,
                               CSignalDlg& signalDlg, const DecoderSettings& settings,
                               const DumpSettings& dump)
    : m_blockList(blockList),
      m_statusBar(statusBar),
      m_signalDlg(signalDlg),
      m_pDecoder(CSampleDecoder::Create(this, settings)) {
    m_pDecoder->ConfigureDump(dump);
}

CDecodeSession::~CDecodeSession() = default;

const DecoderSettings& CDecodeSession::Settings() const {
    return m_pDecoder->Settings();
}

void CDecodeSession::Apply(const DecoderSettings& settings, const DumpSettings& dump) {
    CSampleDecoder::Apply(m_pDecoder, this, settings, dump);
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

void CDecodeSession::AddTimedBlock(const TapeItem& item) {
    m_blockList.AddItem(item);
    // Archive mode hands on its ROM-timed blocks this way too; one that failed is kept after its
    // error entry, and is no loaded block.
    if (m_fileLoading && DataBytes(item.body) != nullptr && item.verdict.Trusted()) {
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
