#pragma once

#include <cstdint>

#include "decoder/core/PulseLimits.h"

// kNotSet marks a numeric field the user left empty: as a minimum it admits every period, as a
// maximum none.
inline constexpr int32_t kNotSet = -2147483647;

// How a decoder decodes: the plain decoder, the robust mode (CRobustDecoder) or the archive mode
// (CArchiveDecoder).
enum class DecoderMode { Plain, Robust, Archive };

// Every number and switch with which the user tunes the decoder. A decoder takes a copy when it
// is made and when the user applies new options (Reconfigure), and never writes to it: what the
// decoder changes while it decodes (the calibrated pulse limits) is its own state, and the dump
// and replay of raw buffers have their own settings (DumpSettings).
//
// The pulse limits given here are those the decoder starts from; the automatic calibration moves
// them while a block loads, and after every block they return to the defaults of PulseLimits.
struct DecoderSettings : PulseLimits {
    // Wave processing of the extremum tracker. delay 6 and decay 2 are what the Options dialog's
    // Reset proposes; with 2 and 4 the filter takes ripple beside the edges for turning points and
    // real recordings lose blocks.
    bool maxFirst = false;
    int32_t filterPercent = 55;
    int32_t delay = 6;
    int32_t decayPercent = 2;

    // Plain; Robust, whose two conditioned decoders keep a wave processing of their own while its
    // third reads the samples with these settings; or Archive: the robust mode's blocks and,
    // beside them, turbo blocks, tones, pulses, recordings and pauses with their timing, at the
    // input's own sample rate.
    DecoderMode mode = DecoderMode::Plain;

    // Automatic calibration switches: the boundary between the bit ranges may move (middleVals),
    // the outer limits may move (externVals).
    bool middleVals = true;
    bool externVals = false;

    bool operator==(const DecoderSettings&) const = default;
};

// Defaults of the wave-processing fields, also used where a field holds kNotSet.
inline constexpr int32_t kDefaultFilterPercent = 55;
inline constexpr int32_t kDefaultDelay = 6;
inline constexpr int32_t kDefaultDecayPercent = 2;
