#pragma once

#include <cstdint>
#include <vector>

#include "model/MachineConstants.h"

// How a stretch of signal looked, to tell a tape's square wave from hiss.
struct StretchLook {
    // The share of the samples that lay beyond half the swing. A square wave spends nearly all
    // its time there, hiss about a third; a band-limited copy's square wave, whose long pulses
    // droop back towards the midline through the high-pass, no more than hiss.
    float levelShare = 0.0F;
    // The time the signal would take to go all its way up and down at the top speed of each
    // sweep between two turns, as a share of the time it took. A square wave moves fast at its
    // edges only, however band-limited and drooping: on a cassette copy a fifth to a third, the
    // more the shorter its pulses; hiss moves at about its top speed much of the time (nearly
    // half and more).
    float edgeTimeShare = 1.0F;
};

// One thing the pulse tracker saw: a pulse between two edges, or the start or end of a silence.
struct PulseEvent {
    enum class Kind : uint8_t {
        Pulse,          // tStates: the time between this edge and the one before
        SilenceBegins,  // no edge for CPulseTracker::kSilenceTStates; tStates: that time
        SilenceEnds,    // an edge after a silence; tStates: the whole silence, edge to edge
    };
    Kind kind = Kind::Pulse;
    float tStates = 0.0F;
    // SilenceBegins: how the signal since the previous silence, up to the last edge, looked.
    StretchLook look;
};

// Turns samples at any rate into the pulses of the tape signal, in T-states of the 3.5 MHz clock.
// An edge is a turn of the signal: back from the extreme of the pulse before by a share of the
// swing that led to it, never by less than kMinSwing, and past the midline between the recent
// peaks, or short of it when the turn is quick. Hiss crosses the midline all the time and those
// crossings are no edges, nor is the slow droop of a long pulse through a high-pass; a band-limited
// tape leaves the short pulses of a 0-bit between long 1-bit pulses only a small swing off the
// midline, and they are.
// Each edge is dated, once the extreme after it is known, where the signal crossed halfway
// between the extremes on either side of it, interpolated between samples: pulse lengths come out
// finer than a sample, and a short pulse whose swing sits off the midline keeps its length.
class CPulseTracker {
public:
    static constexpr double kClockHz = spectrum::kClockHz;
    // No tape pulse of a loader is longer than this: 5 ms without an edge is a silence.
    static constexpr double kSilenceTStates = 17500.0;
    // In unsigned 8-bit levels: hiss below about 5 % of full scale gives no edges.
    static constexpr float kMinHysteresis = 6.0F;
    static constexpr float kMinSwing = 2.0F * kMinHysteresis;
    // Shorter than any loader's pulse (at 3x ROM speed a 0-bit pulse is 285): ringing at an edge.
    static constexpr float kGlitchTStates = 200.0F;

    explicit CPulseTracker(int32_t sampleRate);

    // Appends what the samples hold to events (which is not cleared).
    void Feed(const uint8_t* samples, int32_t count, std::vector<PulseEvent>& events);
    // At the end of the signal: appends the pulses still held back.
    void Finish(std::vector<PulseEvent>& events);

    double TStatesPerSample() const { return m_tPerSample; }
    // Samples since the latest edge (since the start when there was none).
    double SamplesSinceEdge() const { return static_cast<double>(m_index) - m_lastEdge; }
    bool InSilence() const { return m_inSilence; }
    // As a SilenceBegins event gives it, for the signal since the latest silence.
    StretchLook Look() const;

private:
    enum class Level : uint8_t { Unknown, Low, High };
    // Samples kept for dating an edge: the two pulses around it, up to a silence each, at rates
    // up to about 800 kHz.
    static constexpr int64_t kHistory = 1 << 13;

    bool Turns(float x, float d, float hysteresis, float direction) const;
    void Turn(float x, float mid, Level level, std::vector<PulseEvent>& events);
    bool Fading() const;
    void DateEdge(std::vector<PulseEvent>& events);
    double Crossing(int64_t at, float before, float now, float level, float direction) const;
    void Edge(double at, bool afterSilence, std::vector<PulseEvent>& events);
    void FlushPending(std::vector<PulseEvent>& events);
    void FollowSweep(float x, float rise);

    double m_tPerSample;
    float m_envelopeRate;    // how fast a peak sinks back towards the signal, per sample
    int64_t m_quickSamples;  // the time a quick turn takes at most
    int64_t m_speedSamples;  // the time the signal's speed is taken over
    float m_high = 128.0F;
    float m_low = 128.0F;
    std::vector<float> m_history = std::vector<float>(kHistory, 128.0F);
    Level m_level = Level::Unknown;
    float m_rest = 128.0F;      // the latest sample while the level was unknown
    bool m_restingMid = false;  // the first pulse out of a silence at the midline
    // The extreme since the latest turn (highest after a turn up), and the one before it.
    float m_extreme = 128.0F;
    int64_t m_extremeAt = 0;
    float m_opposite = 128.0F;
    int64_t m_oppositeAt = 0;
    float m_swing = 0.0F;  // the swing that led to the one before
    // The latest turn's edge waits to be dated until the extreme after it is known.
    bool m_edgeWaits = false;
    bool m_waitingAfterSilence = false;
    int64_t m_turnAt = 0;
    float m_turnMid = 128.0F;  // the midline there, and half the swing of the peaks
    float m_turnHalfSwing = 0.0F;
    double m_lastEdge = 0.0;  // the latest dated edge, in samples
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
    // The sweep between the latest two turns of the signal (of kSweepTurnShare of the swing, far
    // finer than an edge) and the way back from its extreme so far; the edge time and the sweeps'
    // time since the latest silence, and as at the latest edge.
    float m_sweepDirection = 1.0F;
    float m_sweepFrom = 128.0F;
    int64_t m_sweepFromAt = 0;
    float m_sweepExtreme = 128.0F;
    int64_t m_sweepExtremeAt = 0;
    float m_sweepSpeed = 0.0F;  // the top speed, as a rise over m_speedSamples
    float m_backExtreme = 128.0F;
    int64_t m_backExtremeAt = 0;
    float m_backSpeed = 0.0F;
    double m_edgeTime = 0.0;
    int64_t m_sweepTime = 0;
    double m_edgeTimeAtEdge = 0.0;
    int64_t m_sweepTimeAtEdge = 0;
};
