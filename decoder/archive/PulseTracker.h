#pragma once

#include <cstdint>
#include <vector>

#include "model/MachineConstants.h"

// One thing the pulse tracker saw: a pulse between two edges, or the start or end of a silence.
struct PulseEvent {
    enum class Kind : uint8_t {
        Pulse,          // tStates: the time between this edge and the one before
        SilenceBegins,  // no edge for CPulseTracker::kSilenceTStates; tStates: that time
        SilenceEnds,    // an edge after a silence; tStates: the whole silence, edge to edge
    };
    Kind kind = Kind::Pulse;
    float tStates = 0.0F;
    // SilenceBegins: the share of the samples since the previous silence, up to the last edge,
    // that lay beyond half the swing. A square wave spends nearly all its time there, hiss
    // about a fifth.
    float levelShare = 0.0F;
};

// Turns samples at any rate into the pulses of the tape signal, in T-states of the 3.5 MHz clock.
// A Schmitt trigger around the midline between the recent peaks finds the edges; each edge is dated
// at the interpolated midline crossing that led to it, so pulse lengths come out finer than a
// sample. The trigger's width follows the signal's amplitude but never drops below kMinHysteresis:
// hiss of a quiet recording crosses the midline all the time, and those crossings are no edges.
class CPulseTracker {
public:
    static constexpr double kClockHz = spectrum::kClockHz;
    // No tape pulse of a loader is longer than this: 5 ms without an edge is a silence.
    static constexpr double kSilenceTStates = 17500.0;
    // In unsigned 8-bit levels: hiss below about 5 % of full scale gives no edges.
    static constexpr float kMinHysteresis = 6.0F;
    // Shorter than any loader's pulse (at 2x ROM speed a 0-bit pulse is 450): ringing at an edge.
    static constexpr float kGlitchTStates = 200.0F;

    explicit CPulseTracker(int32_t sampleRate);

    // Appends what the samples hold to events (which is not cleared).
    void Feed(const uint8_t* samples, int32_t count, std::vector<PulseEvent>& events);

    double TStatesPerSample() const { return m_tPerSample; }
    // Samples fed so far.
    int64_t SamplesFed() const { return m_index; }
    // Samples since the latest edge (since the start when there was none).
    double SamplesSinceEdge() const { return static_cast<double>(m_index) - m_lastEdge; }
    bool InSilence() const { return m_inSilence; }
    // As a SilenceBegins event gives it, for the signal since the latest silence.
    float LevelShare() const;

private:
    enum class Level : uint8_t { Unknown, Low, High };

    double Crossing(double at, float d, float halfSwing, float direction) const;
    double FirstCrossing(double at) const;
    void Edge(double at, std::vector<PulseEvent>& events);
    void FlushPending(std::vector<PulseEvent>& events);

    double m_tPerSample;
    float m_envelopeRate;  // how fast a peak sinks back towards the signal, per sample
    float m_high = 128.0F;
    float m_low = 128.0F;
    float m_previous = 0.0F;  // the previous sample less the midline
    Level m_level = Level::Unknown;
    float m_rest = 128.0F;      // the latest sample while the level was unknown
    bool m_restingMid = false;  // the first pulse out of a silence at the midline
    double m_crossing = 0.0;    // latest midline crossing towards the other level, in samples
    double m_lastEdge = 0.0;
    bool m_inSilence = true;
    // Each pulse is held until the next one shows that it was not cut by a glitch.
    float m_pending = 0.0F;
    bool m_mergeNext = false;
    int64_t m_index = 0;
    // Samples since the latest silence, and those beyond half the swing; as at the latest edge.
    int64_t m_stretchStart = 0;  // the sample of the first edge after the latest silence
    int64_t m_levelSamples = 0;
    int64_t m_stretchSamplesAtEdge = 0;
    int64_t m_levelSamplesAtEdge = 0;
};
