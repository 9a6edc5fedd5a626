#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "decoder/archive/PulseTracker.h"
#include "model/BlockBody.h"

// One piece of a stretch of signal, as the stretch parser found it.
struct ParsedPiece {
    BlockBody block;  // its pause is left at 0: the silence after it is measured elsewhere
    int32_t firstPulse = 0;
    int32_t pulseCount = 0;
    // A leader, sync pair and data at about the ROM's own timing: a TurboBlock with its measured
    // timing, kept as a RomBlock where the ROM would replay it alike.
    bool romTimed = false;
};

// Reads a stretch of pulses between two silences (lengths in T-states) as tape blocks: a steady
// leader, a sync pair and data become a TurboBlock (romTimed when every timing is the ROM's);
// data alone, bits as pairs of equal pulses in two lengths, a PureData block; a steady run that
// leads to no data a PureTone; whatever lies between them a PulseRun, or a DirectRecording
// when it is longer than a sequence may be. Data is told by its timing alone: a run of pulses is
// data only when both bit lengths occur in it, so an all-zero run read at the wrong speed, or a
// leader, never becomes a block. A stretch that holds no tone and no data is kept whole (as
// pulses or a recording) when it is a square wave, as a tape's signal is; else it is hiss or
// clicks and gives nothing.
class CStretchParser {
public:
    static constexpr int32_t kMinTonePulses = 32;
    static constexpr int32_t kMinDataPulses = 64;
    static constexpr int32_t kMaxSequencePulses = 255;

    // A stretch whose samples lie beyond half the swing this often is a square wave; so is one
    // that would take no more than this share of its time to go its way at its edges' speed.
    static constexpr double kSquareWaveShare = 0.6;
    static constexpr double kSquareWaveEdgeTime = 0.3;

    // tStatesPerSample: the input's sample length, for a DirectRecording. endsInSilence: the
    // stretch's last edge is missing (a silence followed), so its data may lack its last pulse.
    // look: as CPulseTracker gives it for the stretch.
    static std::vector<ParsedPiece> Parse(const std::vector<float>& pulses, double tStatesPerSample,
                                          bool endsInSilence, StretchLook look = {});

    // True when a leader pulse, 0-bit and 1-bit pulse are the ROM's, allowing for a tape played
    // up to 10 % off speed as long as all three are off alike.
    static bool IsRomTiming(double pilot, double zero, double one);
};
