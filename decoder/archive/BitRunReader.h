#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

// A run of data bits in a stretch of pulses: each bit two equal pulses, short for 0, long for 1.
struct BitRun {
    int32_t first = 0;  // the run's first pulse
    int32_t pulseCount = 0;
    double zero = 0.0;  // mean pulse lengths of the two bits, in T-states
    double one = 0.0;
    std::vector<uint8_t> bytes;  // first bit in the top bit of the first byte
    uint8_t usedBits = 8;        // of the last byte
    int32_t classChanges = 0;    // bits that differ from the bit before them
    bool singleLength = false;   // only one bit length occurred (its bits read as zeros)
};

// Finds data in a stretch of pulses (T-states). The bit lengths are learnt from the run itself:
// loosely for the first few pulses of each, then as the range of lengths seen so far and a small
// margin. On a clean tape the two lengths are tight, so a sync pulse before the data or the
// pilot of the next block right after it falls outside them even where it is close to a bit
// length. A lone pulse outside the range in the middle of the run (a crackle) is read as the
// nearer bit when the run goes on in range after it. A tone straight after the data, near enough
// a bit length to be read as a long run of that bit, is cut off where its length sets in.
class CBitRunReader {
public:
    CBitRunReader(const std::vector<float>& pulses, double tStatesPerSample, bool endsInSilence)
        : m_p(pulses), m_tPerSample(tStatesPerSample), m_endsInSilence(endsInSilence) {}

    // The run of bits that starts at the pulse at, or at most kMaxLeadingSkip pulses later when
    // the first ones are out of the run's range (they are then not part of it) and the start is
    // not fixed. Nothing when the run holds fewer than minPulses, or only one bit length and
    // allowSingle is false.
    std::optional<BitRun> Read(int32_t at, int32_t minPulses, bool allowSingle,
                               bool fixedStart = false) const;

    static constexpr int32_t kMaxLeadingSkip = 16;

private:
    struct Scan;
    // The bits from start on, up to the pulse at limit at most (-1: to the stretch's end).
    Scan Walk(int32_t start, int32_t limit = -1) const;
    // As Walk, up to a tone that follows the data.
    Scan WalkToTone(int32_t start) const;
    int32_t LeadingMisfits(const Scan& scan) const;
    int32_t TrailingTone(const Scan& scan) const;
    static void DropStrayLastPulse(BitRun& run);
    // The mean periods of the 0-bits and the 1-bits.
    std::pair<double, double> BitLengths(const Scan& scan) const;

    const std::vector<float>& m_p;
    double m_tPerSample;
    bool m_endsInSilence;
};
