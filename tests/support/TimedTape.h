#pragma once

#include <cstdint>
#include <vector>

#include "model/BlockBody.h"
#include "tests/support/TestTape.h"

// Stretches of tape with their timing, for the archive-mode tests and benchmark: ROM blocks,
// turbo blocks of random bytes, tones, pulse runs and pure data.
class CTimedTape {
public:
    // A block at the ROM's timing, with the leader of a header or of a data block.
    static BlockBody Rom(const CTestTape::Block& bytes);
    // Random bytes after the flag and a checksum, with this pilot pulse and 0-bit pulse (the
    // 1-bit pulse twice as long, the syncs about a 0-bit long).
    static TurboBlock Turbo(uint8_t flag, int32_t length, uint32_t seed, uint16_t pilot,
                            uint16_t zero);
    static PureData Data(uint8_t flag, int32_t length, uint32_t seed, uint16_t zero);
    static BlockBody Tone(uint16_t pulse, uint32_t count);
    static BlockBody Pulses(std::vector<uint16_t> pulses);
    static BlockBody Pause(uint16_t ms);
    // Blocks played straight after one another, each edge a pulse's end, as one run of pulses
    // (a block's own rendering starts from a fixed level, which would merge two pulses).
    static BlockBody BackToBack(const std::vector<BlockBody>& blocks);
};
