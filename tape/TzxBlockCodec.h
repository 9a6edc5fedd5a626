#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tape/TapeBlock.h"

// The TZX blocks that hold a stretch of tape, each with its writer and its reader:
// 0x10 Standard, 0x11 Turbo, 0x12 PureTone, 0x13 PulseSequence, 0x14 PureData,
// 0x15 DirectRecording, 0x20 Pause. A pause of 0 ms is TZX's "stop the tape".

// A PulseSequence longer than this is written as several 0x13 blocks, all full but the last.
constexpr size_t kMaxTzxPulsesPerBlock = 255;
// The largest payload of each kind: 16 bits of length in 0x10, 24 bits in 0x11, 0x14 and 0x15.
int32_t MaxTzxPayload(BlockKind kind);

// Appends the block's TZX encoding (ID byte first). The payload must fit MaxTzxPayload.
void AppendTzxBlock(std::vector<uint8_t>& image, const TapeBlock& block);

// What reading one TZX block gave: the block, and a note when its timing cannot be replayed.
struct TzxBlockRead {
    TapeBlock block;
    std::optional<std::string> problem;
};

// Reads the stretch in a block of one of the seven IDs above from its `bodyOffset` fixed bytes
// after the ID and its `bodySize` payload bytes (`block` points at the ID byte). Nothing for any
// other ID, for a data block without bytes, or for a pulse sequence without pulses.
std::optional<TzxBlockRead> ReadTzxBlock(const uint8_t* block, size_t bodyOffset, size_t bodySize);
