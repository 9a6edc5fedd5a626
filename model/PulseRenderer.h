#pragma once

#include <cstdint>
#include <vector>

#include "model/BlockBody.h"

// A block as a loader hears it: the lengths of its pulses in T-states (each pulse ends in an
// edge), then the silence after it. A block with a leader starts from the line's rest level, so
// that every leader begins with the same polarity; the other kinds go on from the level the block
// before left. A DirectRecording's samples become a pulse per run of equal samples, its first
// run a pulse too. A ReadFailure and a KeptTzxBlock have no signal here.
struct RenderedBlock {
    std::vector<uint32_t> pulses;
    uint16_t pauseMs = 0;
    bool fromRest = false;
};

RenderedBlock RenderPulses(const BlockBody& body);

// The T-states of the pulses alone, without building them.
int64_t PulseTStates(const BlockBody& body);
// The silence after the block in milliseconds (a Pause's own length).
uint16_t PauseAfter(const BlockBody& body);
