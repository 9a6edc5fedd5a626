#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "model/TapeItem.h"

class SignalSnapshot;

// What a decoder reports, one value type per kind of news. Sample times and spans are the
// reporting decoder's own. Who shows them writes the texts and rows from these (CRecordTexts);
// robust and archive mode judge and order them before their owner hears of them.
namespace record {

// A sync after a leader: data bits are read from here on.
struct SyncFound {
    friend bool operator==(const SyncFound&, const SyncFound&) = default;
};

// A block that loaded: a RomBlock (flag first, checksum last, its bytes XOR to zero), where it lay
// from the start of its leader to the end of its last bit, and whether it was mended.
struct BlockLoaded {
    TapeItem item;
    // Archive mode lists the block later, in tape order: only its messages go out now.
    bool rowFollows = false;
};

// The last full periods for the debug output, as the extremum times that bound them: every second
// one of the newest 27, oldest first (none before 29 had been seen).
struct IntervalLog {
    std::vector<int64_t> extremumTimes;
};

// The signal at a failure as the Signal window shows it, and the periods before it.
struct ErrorScene {
    std::shared_ptr<const SignalSnapshot> snapshot;
    std::vector<int64_t> extremumTimes;  // as in an IntervalLog
};

// A block that ended in a period that is no bit: `period` samples from sample `at`, after
// `bytesRead` whole bytes and `bitsRead` bits of the next.
struct ReadError {
    int64_t at = 0;
    int64_t period = 0;
    int32_t bytesRead = 0;
    int32_t bitsRead = 0;
    int32_t firstByte = -1;  // the first byte read, -1 when none was
    TapeSpan span;           // from the start of the leader to the failing period
    ErrorScene scene;
    // Archive mode lists the error later (an ErrorRow) or not at all.
    bool rowFollows = false;
};

// A leader that ended in a period that is no sync.
struct BadSync {
    int64_t period = 0;
    int32_t leaderPeriods = 0;
    ErrorScene scene;
};

// Calibration moved the bit limits (periods in samples) while a block loaded.
struct Calibration {
    int32_t data0Min = 0;
    int32_t data0Max = 0;
    int32_t data1Min = 0;
    int32_t data1Max = 0;
    friend bool operator==(const Calibration&, const Calibration&) = default;
};

// A raw buffer dumped to a file, or a file replayed.
struct DumpNote {
    enum class Kind : uint8_t { Dumped, OpenFailed, WriteFailed, NotFound, Replayed };
    Kind kind = Kind::Dumped;
    std::string fileName;
    int64_t bytes = 0;  // dumped, or replayed in whole chunks
    friend bool operator==(const DumpNote&, const DumpNote&) = default;
};

// Archive mode: a stretch of tape kept, in tape order, with its span and verdict (a data block
// that did not load: ChecksumFailed, or Unconfirmed pure data at the ROM's timing or of one byte
// value, which without a sync is no block). romTimed: read by the ROM decoders, at the ROM's
// pulses.
struct StretchKept {
    TapeItem item;
    bool romTimed = false;
};

// Archive mode: the row of a read error whose other news went out when it was read.
struct ErrorRow {
    int32_t bytesRead = 0;
    int32_t firstByte = -1;
    friend bool operator==(const ErrorRow&, const ErrorRow&) = default;
};

}  // namespace record

using DecoderRecord = std::variant<record::SyncFound, record::BlockLoaded, record::ReadError,
                                   record::BadSync, record::Calibration, record::IntervalLog,
                                   record::DumpNote, record::StretchKept, record::ErrorRow>;
