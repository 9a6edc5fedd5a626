#pragma once

#include <cstdint>
#include <vector>

#include "decoder/core/DecoderRecord.h"

// Everything one decoder reported about one stretch of tape: a block from its sync to its end
// (loaded or failed), a bad sync, or a lone note. Times are sample times of the decoder.
struct DecodeEpisode {
    enum class Kind {
        kData,       // sync found, still reading
        kLoaded,     // a block whose bytes XOR to zero
        kReadError,  // a block that ended in a read error
        kBadSync,    // a leader that ended in a bad sync period
        kNote        // a record outside any block, such as a calibration
    };

    Kind kind = Kind::kNote;
    int32_t source = 0;   // which decoder
    int64_t start = 0;    // first sample that the episode may cover
    int64_t end = 0;      // sample time at which it was reported
    int32_t length = 0;   // loaded: bytes of the block; read error: bytes read
    bool mended = false;  // loaded: mended from a read error (CBlockRepair)
    std::vector<DecoderRecord> records;
};
