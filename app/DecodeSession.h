#pragma once

#include <cstdint>
#include <memory>

#include "decoder/core/DecoderOwner.h"
#include "decoder/core/DecoderSettings.h"
#include "decoder/core/SignalReading.h"
#include "decoder/dump/DumpSettings.h"

class CBlockListCtrl;
class CLoaderStatusBar;
class CSampleDecoder;
class CSignalDlg;

// The decoding of the sound input: owns the live decoder, of the mode the settings choose, and is
// how it reaches the block list, the status bar and the Signal window. A recording being loaded
// reports through it too, so that its blocks, texts and snapshots land where live ones do.
//
// While a file loads, live buffers are not decoded: a file and the sound input never mix in one
// decoder, and the indicator and the Signal window follow the file.
class CDecodeSession : public CDecoderOwner {
public:
    // The widgets must outlive the session.
    CDecodeSession(CBlockListCtrl& blockList, CLoaderStatusBar& statusBar, CSignalDlg& signalDlg,
                   const DecoderSettings& settings, const DumpSettings& dump);
    ~CDecodeSession() override;
    CDecodeSession(const CDecodeSession&) = delete;
    CDecodeSession& operator=(const CDecodeSession&) = delete;

    CSampleDecoder& Decoder() { return *m_pDecoder; }
    const DecoderSettings& Settings() const;
    // New settings from the Options dialog, from the next buffer on: when the mode changed, a
    // decoder of the new mode takes over; a block it was reading is lost, as when the tape is
    // stopped.
    void Apply(const DecoderSettings& settings, const DumpSettings& dump);

    // The steps of one live buffer, in the order the capture calls them.
    void ProcessBuffer(const uint8_t* samples, int32_t count);
    void UpdateSignalIndicator();
    void CaptureSnapshot();

    // A file's decoding begins: live buffers wait, and the blocks loaded are counted.
    void BeginFile();
    // The file has ended: live decoding goes on. Returns the blocks loaded since BeginFile.
    int32_t EndFile();
    bool FileLoading() const { return m_fileLoading; }
    // The calibration reading of a buffer of the file, shown with the next slice's signal.
    void NoteFileReading(SignalReading reading);
    // After a slice of the file: the indicator moves on once, in the colours of the last reading
    // that changed them, and the Signal window shows the file decoder's signal. The indicator's
    // step and painting cost more than the decoding of a buffer; once a slice is as often as the
    // window is painted.
    void ShowFileSignal(CSampleDecoder& fileDecoder);

    // CDecoderOwner
    void SetStatusText(const char* text) override;
    void AppendLog(const char* text) override;
    void AddTimedBlock(const TapeItem& item) override;
    void AddBlock(int32_t length, const uint8_t* bytes) override;
    bool ListErrors() const override { return m_listErrors; }
    void AddErrorEntry(int32_t bytesRead, int32_t firstByte) override;
    void AddErrorSnapshot(const SignalSnapshot& snapshot) override;
    void RefreshSignal() override;
    void DebugOutput(const char* text) override;

private:
    bool m_listErrors = true;
    CBlockListCtrl& m_blockList;
    CLoaderStatusBar& m_statusBar;
    CSignalDlg& m_signalDlg;
    std::unique_ptr<CSampleDecoder> m_pDecoder;
    bool m_fileLoading = false;
    int32_t m_fileBlocks = 0;  // blocks the file being loaded added so far
    SignalReading m_fileReading = SignalReading::Unchanged;  // since the last slice was shown
};
