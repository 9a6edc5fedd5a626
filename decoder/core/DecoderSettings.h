#pragma once

#include <cstdint>
#include <string>

// Every number and switch with which the decoder can be tuned. Periods are counted in samples at
// 22000 samples per second; a period P lies in a range when min <= P <= max.
//
// The Options dialog and the command line write these fields in place; the decoder reads them at
// every sample and every extremum. kNotSet marks a numeric field the user left empty: as a minimum
// it admits every period, as a maximum none.
inline constexpr int32_t kNotSet = -2147483647;

struct DecoderSettings {
    // Pulse limits: the first nine fields, in this order. ResetLimits() restores exactly these.
    int32_t leaderCount = 30;
    int32_t data0Min = 5;
    int32_t data0Max = 14;
    int32_t data1Min = 16;
    int32_t data1Max = 28;
    int32_t leaderMin = 18;
    int32_t leaderMax = 36;
    int32_t syncMin = 5;
    int32_t syncMax = 14;

    // Wave processing of the extremum tracker. delay 6 and decay 2 are what the Options dialog's
    // Reset proposes; with 2 and 4 the filter takes ripple beside the edges for turning points and
    // real recordings lose blocks.
    bool maxFirst = false;
    int32_t filterPercent = 55;
    int32_t delay = 6;
    int32_t decayPercent = 2;

    // The robust mode (CRobustDecoder) instead of the plain decoder. Its two conditioned decoders
    // keep a wave processing of their own; its third reads the samples as they come with these
    // settings, as the plain decoder would.
    bool robust = false;
    // Archive mode (CArchiveDecoder): the robust mode's blocks and, beside them, turbo blocks,
    // tones, pulses, recordings and pauses with their timing, at the input's own sample rate.
    // It takes precedence over robust.
    bool archive = false;

    // Automatic calibration switches.
    bool middleVals = true;
    bool externVals = false;

    // Raw buffer dump and replay.
    bool dump = false;
    bool fromFile = false;
    std::string baseName = "sample1";  // at most 255 characters
    int32_t fileIndex = 0;

    // Puts the nine pulse limits back to their defaults and touches nothing else.
    void ResetLimits();
};

// Defaults of the wave-processing fields, also used where a field holds kNotSet.
inline constexpr int32_t kDefaultFilterPercent = 55;
inline constexpr int32_t kDefaultDelay = 6;
inline constexpr int32_t kDefaultDecayPercent = 2;
