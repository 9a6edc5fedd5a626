#pragma once

#include <cstdint>
#include <variant>
#include <vector>

#include "model/MachineConstants.h"

// What a stretch of tape is, one value type per kind, as far as a loader replaying it needs to
// know. Pulse lengths are in T-states of the Spectrum's clock; pauses in milliseconds. Data bytes
// are kept flag first and checksum (as read) last. Each kind has one TZX block id; only a RomBlock
// fits in a TAP or BLK image.

// A block at the ROM's timing (TZX 0x10): the leader length its flag implies.
struct RomBlock {
    std::vector<uint8_t> bytes;
    uint16_t pauseMs = spectrum::kDefaultPauseMs;
    friend bool operator==(const RomBlock&, const RomBlock&) = default;
};

// Leader, sync pair and data at their own timing (0x11).
struct TurboBlock {
    uint16_t pilotPulse = spectrum::kPilotPulse;
    uint32_t pilotCount = spectrum::kDataPilotCount;
    uint16_t sync1 = spectrum::kSync1Pulse;
    uint16_t sync2 = spectrum::kSync2Pulse;
    uint16_t zeroPulse = spectrum::kZeroPulse;
    uint16_t onePulse = spectrum::kOnePulse;
    uint8_t usedBitsInLastByte = 8;
    uint16_t pauseMs = spectrum::kDefaultPauseMs;
    std::vector<uint8_t> bytes;
    friend bool operator==(const TurboBlock&, const TurboBlock&) = default;
};

// One pulse length repeated (0x12); the count may pass 65535 (a TZX splits it).
struct PureTone {
    uint16_t pulse = spectrum::kPilotPulse;
    uint32_t count = 0;
    friend bool operator==(const PureTone&, const PureTone&) = default;
};

// Pulses each of its own length (0x13).
struct PulseRun {
    std::vector<uint16_t> pulses;
    friend bool operator==(const PulseRun&, const PulseRun&) = default;
};

// Data bits without leader or sync (0x14).
struct PureData {
    uint16_t zeroPulse = spectrum::kZeroPulse;
    uint16_t onePulse = spectrum::kOnePulse;
    uint8_t usedBitsInLastByte = 8;
    uint16_t pauseMs = spectrum::kDefaultPauseMs;
    std::vector<uint8_t> bytes;
    friend bool operator==(const PureData&, const PureData&) = default;
};

// The signal as one bit per sample (0x15), eight to a byte, first sample in the top bit.
struct DirectRecording {
    uint16_t tStatesPerSample = 79;
    uint8_t usedBitsInLastByte = 8;
    uint16_t pauseMs = 0;
    std::vector<uint8_t> samples;
    friend bool operator==(const DirectRecording&, const DirectRecording&) = default;
};

// Silence (0x20); 0 ms means "stop the tape".
struct Pause {
    uint16_t ms = 0;
    friend bool operator==(const Pause&, const Pause&) = default;
};

// A block that did not load: bytesRead bytes had been read when it failed; firstByte is the first
// of them, or -1 when none was read. It is a row of the list, never part of a tape image.
struct ReadFailure {
    int32_t bytesRead = 0;
    int32_t firstByte = -1;
    friend bool operator==(const ReadFailure&, const ReadFailure&) = default;
};

// A TZX block kept as it was read (texts, loops, CSW, generalised data, ...): its id byte first.
struct KeptTzxBlock {
    std::vector<uint8_t> bytes;
    friend bool operator==(const KeptTzxBlock&, const KeptTzxBlock&) = default;
};

// Every kind; std::visit with one overload per kind makes the compiler name each place that a new
// kind must be handled.
using BlockBody = std::variant<RomBlock, TurboBlock, PureTone, PulseRun, PureData, DirectRecording,
                               Pause, ReadFailure, KeptTzxBlock>;

// The helper for std::visit with lambdas.
template <class... Handlers>
struct Overloaded : Handlers... {
    using Handlers::operator()...;
};
template <class... Handlers>
Overloaded(Handlers...) -> Overloaded<Handlers...>;
