#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/BlockBody.h"

// The TZX blocks that hold a stretch of tape, each with its writer and its reader:
// 0x10 RomBlock, 0x11 TurboBlock, 0x12 PureTone, 0x13 PulseRun, 0x14 PureData,
// 0x15 DirectRecording, 0x20 Pause. A pause of 0 ms is TZX's "stop the tape". Every other block
// (and one of these that holds nothing to play) is a KeptTzxBlock, written back unchanged.

// A PulseRun longer than this is written as several 0x13 blocks, all full but the last.
constexpr size_t kMaxTzxPulsesPerBlock = 255;
// A PureTone longer than this is written as several 0x12 blocks, all full but the last; so is
// the part of a Turbo leader beyond it, before the 0x11 block.
constexpr uint32_t kMaxTzxTonePulses = 0xFFFF;
// The largest payload of the block's kind: 16 bits of length in 0x10, 24 bits in 0x11, 0x14 and
// 0x15; a KeptTzxBlock was read whole from an image, so any.
int32_t MaxTzxPayload(const BlockBody& body);

// The shape of one TZX block after its ID byte: `headerSize` fixed bytes, then a body whose size
// is a length field inside the header times `unit`.
struct TzxShape {
    int headerSize = 0;
    int lengthOffset = 0;
    int lengthSize = 0;
    int unit = 1;
    bool holdsBlock = false;  // a data block: a body of length 0 holds no block
};

// A block type of TZX revision 1.20 (deprecated ones included): its ID, shape and name.
struct TzxBlockType {
    uint8_t id = 0;
    TzxShape shape;
    const char* name = "";
};
// Nothing for an ID the format does not define (yet).
const TzxBlockType* FindTzxBlockType(uint8_t id);
// Every type of a later revision starts with a 32-bit length.
TzxShape ShapeOfTzxBlock(uint8_t id);

// Appends the block's TZX encoding (ID byte first). The payload must fit MaxTzxPayload. A
// ReadFailure is no part of a tape and adds nothing.
void AppendTzxBlock(std::vector<uint8_t>& image, const BlockBody& body);

// What reading one TZX block gave: the block, and a note when its timing cannot be replayed.
struct TzxBlockRead {
    BlockBody block;
    std::optional<std::string> problem;
};

// Reads one block from its `bodyOffset` fixed bytes after the ID and its `bodySize` payload bytes
// (`block` points at the ID byte). A block of one of the seven IDs above becomes its kind; any
// other block, a data block without bytes and a pulse sequence without pulses a KeptTzxBlock.
TzxBlockRead ReadTzxBlock(const uint8_t* block, size_t bodyOffset, size_t bodySize);
