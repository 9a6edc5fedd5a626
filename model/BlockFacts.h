#pragma once

#include <cstdint>
#include <vector>

#include "model/BlockBody.h"

// What the list, the tape images and the decoders ask of a block whatever its kind.

// The bytes a loader reads (flag first, checksum last) of a RomBlock, TurboBlock or PureData;
// nullptr for the other kinds.
const std::vector<uint8_t>* DataBytes(const BlockBody& body);
inline bool HoldsData(const BlockBody& body) {
    return DataBytes(body) != nullptr;
}
// What a tape image stores after a block's header: the data bytes, the samples of a
// DirectRecording, the whole of a KeptTzxBlock; nothing for the other kinds.
const std::vector<uint8_t>* PayloadBytes(const BlockBody& body);
int32_t PayloadLength(const BlockBody& body);

// A standard header: a RomBlock of exactly 19 bytes with flag 0x00.
bool IsHeader(const BlockBody& body);
// A SCREEN$ block: a RomBlock of exactly 6914 bytes with flag 0xFF.
bool IsScreen(const BlockBody& body);

// The ROM's timing of a RomBlock, spelled out: the leader its flag implies.
TurboBlock WithRomTiming(const RomBlock& block);
// A block read at about the ROM's timing, as it is best kept: a RomBlock when the ROM would replay
// it alike (the leader its flag implies, whole bytes, every pulse near the ROM's), else the
// TurboBlock it is.
BlockBody RomIfReplaysAlike(TurboBlock measured);

// The field that holds the silence after a RomBlock, TurboBlock, PureData or DirectRecording;
// nullptr for the kinds that have none (a Pause is a silence, not one after a block).
uint16_t* TrailingPause(BlockBody& body);
const uint16_t* TrailingPause(const BlockBody& body);
