#pragma once

#include <cstdint>

#include "decoder/core/RecordSink.h"

class SignalSnapshot;
struct TapeItem;

// The narrow way by which the decoder reaches whoever owns it: the main window in the desktop
// program, the terminal in the command-line tool, a recorder in the tests. The decoder never
// includes a window class.
class CDecoderOwner : public CRecordSink {
public:
    // Writes the record's texts and rows through the calls below (CRecordTexts). An owner that
    // wants more of a record (a block's span, its verdict) overrides this.
    void Report(const DecoderRecord& record) override;

    // A progress or error text for pane 0 of the status bar; it also reaches the console log.
    virtual void SetStatusText(const char* text) = 0;
    // A console log line written directly (calibration, dump and replay messages).
    virtual void AppendLog(const char* text) = 0;
    // A block whose bytes XOR to zero: flag byte first, checksum last. The owner copies the bytes.
    virtual void AddBlock(int32_t length, const uint8_t* bytes) = 0;
    // Whether a failed block becomes an error entry in the block list (the main window's
    // m_listErrors, always set).
    virtual bool ListErrors() const = 0;
    // An error entry after a read error: bytesRead bytes had been read; firstByte is the first of
    // them, or -1 when none was read.
    virtual void AddErrorEntry(int32_t bytesRead, int32_t firstByte) = 0;
    // A snapshot captured at a read error or a bad sync; the owner keeps a copy.
    virtual void AddErrorSnapshot(const SignalSnapshot& snapshot) = 0;
    // The Signal window's refresh after an error snapshot was added.
    virtual void RefreshSignal() = 0;
    // A detail line for the debug output; it ends in a newline.
    virtual void DebugOutput(const char* text) = 0;
    // A stretch of tape that archive mode kept, in tape order, with its span in the input and its
    // verdict: a ROM-timed block (with the pause measured after it), a turbo or pure-data block, a
    // tone, pulses, a recording or a pause. A data block kept right after an error entry failed
    // (its verdict says how). The owner copies it. Owners of the other modes never get one.
    virtual void AddTimedBlock(const TapeItem& /*item*/) {}
};
