#pragma once

#include <cstdint>

// The machine whose tapes we load: its clock, the pulses its ROM writes and reads, and the layout
// of the blocks its SAVE command writes. Every pulse length is in T-states of the clock.
namespace spectrum {

inline constexpr int32_t kClockHz = 3500000;

// The ROM's pulses: the leader (pilot) tone, the two sync pulses and the two bit pulses.
inline constexpr uint16_t kPilotPulse = 2168;
inline constexpr uint16_t kSync1Pulse = 667;
inline constexpr uint16_t kSync2Pulse = 735;
inline constexpr uint16_t kZeroPulse = 855;
inline constexpr uint16_t kOnePulse = 1710;
// Leader pulses the ROM writes before a header (flag below 0x80) and before a data block.
inline constexpr uint32_t kHeaderPilotCount = 8063;
inline constexpr uint32_t kDataPilotCount = 3223;
// The silence a tape image assumes after a block when it knows no other.
inline constexpr uint16_t kDefaultPauseMs = 1000;

// Flag bytes of a header and of the data block that follows it.
inline constexpr uint8_t kHeaderFlag = 0x00;
inline constexpr uint8_t kDataFlag = 0xFF;

// A header block: flag, type, ten-character name, data length, two parameters, checksum.
inline constexpr int32_t kHeaderLength = 19;
inline constexpr int32_t kHeaderTypeOffset = 1;
inline constexpr int32_t kHeaderNameOffset = 2;
inline constexpr int32_t kHeaderNameLength = 10;
inline constexpr int32_t kHeaderDataLengthOffset = 12;
inline constexpr int32_t kHeaderParam1Offset = 14;
inline constexpr int32_t kHeaderParam2Offset = 16;
// Header types 0-3: Program, Number array, Character array, Bytes.
inline constexpr uint8_t kLastHeaderType = 3;

// A SCREEN$ block: flag, 6144 bytes of pixels, 768 of attributes, checksum.
inline constexpr int32_t kScreenPixelBytes = 6144;
inline constexpr int32_t kScreenAttributeBytes = 768;
inline constexpr int32_t kScreenBlockLength = kScreenPixelBytes + kScreenAttributeBytes + 2;

// The leader the ROM writes before a block with this flag byte.
constexpr uint32_t RomPilotCount(uint8_t flag) {
    return flag < 0x80 ? kHeaderPilotCount : kDataPilotCount;
}

}  // namespace spectrum
