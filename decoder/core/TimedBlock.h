#pragma once

#include <cstdint>
#include <vector>

// What a stretch of tape is, as far as an emulator replaying it needs to know. Each kind has one
// TZX block id; only Standard blocks fit in a TAP or BLK image.
enum class BlockKind : uint8_t {
    Standard,         // ROM timing (TZX 0x10)
    Turbo,            // leader, sync pair and data at their own timing (0x11)
    PureTone,         // one pulse length repeated (0x12)
    PulseSequence,    // pulses each of its own length (0x13)
    PureData,         // data bits without leader or sync (0x14)
    DirectRecording,  // the signal as one bit per sample (0x15)
    Pause,            // silence (0x20)
    RawTzx,           // a TZX block kept as read (texts, loops, CSW, ...): its ID byte and the rest
};

// Pulse lengths in T-states of the 3.5 MHz clock. The defaults are the ROM's timing of a data
// block; a header's leader has 8063 pulses.
struct BlockTiming {
    uint16_t pilotPulse = 2168;  // also the pulse of a PureTone
    uint32_t pilotCount = 3223;  // also the pulse count of a PureTone, which may pass 65535
    uint16_t sync1 = 667;
    uint16_t sync2 = 735;
    uint16_t zeroPulse = 855;
    uint16_t onePulse = 1710;
    uint8_t usedBitsInLastByte = 8;  // of the data, or of the samples of a DirectRecording
    uint16_t pauseMs = 1000;         // silence after the block; the length of a Pause
    uint16_t tStatesPerSample = 79;  // DirectRecording only

    friend bool operator==(const BlockTiming&, const BlockTiming&) = default;
};

// One stretch of tape with its timing, as an archive-mode decoder reports it and a TZX image
// stores it.
struct TimedBlock {
    BlockKind kind = BlockKind::Standard;
    BlockTiming timing;
    // Data bytes, flag first (Standard, Turbo, PureData); the samples of a DirectRecording, eight
    // to a byte, first sample in the top bit; the whole block of a RawTzx, ID byte first.
    std::vector<uint8_t> bytes;
    // The pulses of a PulseSequence, in T-states.
    std::vector<uint16_t> pulses;

    friend bool operator==(const TimedBlock&, const TimedBlock&) = default;
};
