#pragma once

#include <cstdint>
#include <vector>

#include "decoder/core/TimedBlock.h"
#include "tests/support/TestTape.h"

// Stretches of tape with their timing, for the archive-mode tests and benchmark: ROM blocks,
// turbo blocks of random bytes, tones, pulse runs and pure data.
class CTimedTape {
public:
    // A block at the ROM's timing, with the leader of a header or of a data block.
    static TimedBlock Rom(const CTestTape::Block& bytes);
    // Random bytes after the flag and a checksum, with this pilot pulse and 0-bit pulse (the
    // 1-bit pulse twice as long, the syncs about a 0-bit long).
    static TimedBlock Turbo(uint8_t flag, int32_t length, uint32_t seed, uint16_t pilot,
                            uint16_t zero);
    static TimedBlock PureData(uint8_t flag, int32_t length, uint32_t seed, uint16_t zero);
    static TimedBlock Tone(uint16_t pulse, uint16_t count);
    static TimedBlock Pulses(std::vector<uint16_t> pulses);
    static TimedBlock Pause(uint16_t ms);
    // Blocks played straight after one another, each edge a pulse's end, as one run of pulses
    // (a block's own rendering starts from a fixed level, which would merge two pulses).
    static TimedBlock BackToBack(const std::vector<TimedBlock>& blocks);
};
