#include "model/PulseRenderer.h"

#include <cstddef>

namespace {
// Calls `pulse(tStates)` for every pulse of the block, in order.
template <class Emit>
class CPulseWalk {
public:
    explicit CPulseWalk(Emit& emit) : m_emit(emit) {}

    void operator()(const RomBlock& block) const {
        Repeat(spectrum::kPilotPulse, block.bytes.empty()
                                          ? spectrum::kDataPilotCount
                                          : spectrum::RomPilotCount(block.bytes[0]));
        m_emit(spectrum::kSync1Pulse);
        m_emit(spectrum::kSync2Pulse);
        Bits(block.bytes, spectrum::kZeroPulse, spectrum::kOnePulse, 8);
    }
    void operator()(const TurboBlock& block) const {
        Repeat(block.pilotPulse, block.pilotCount);
        m_emit(block.sync1);
        m_emit(block.sync2);
        Bits(block.bytes, block.zeroPulse, block.onePulse, block.usedBitsInLastByte);
    }
    void operator()(const PureTone& tone) const { Repeat(tone.pulse, tone.count); }
    void operator()(const PulseRun& run) const {
        for (const uint16_t pulse : run.pulses) {
            m_emit(pulse);
        }
    }
    void operator()(const PureData& data) const {
        Bits(data.bytes, data.zeroPulse, data.onePulse, data.usedBitsInLastByte);
    }
    void operator()(const DirectRecording& recording) const {
        const std::vector<uint8_t>& samples = recording.samples;
        uint32_t run = 0;
        int level = -1;
        for (size_t i = 0; i < samples.size(); ++i) {
            const int used = i + 1 == samples.size() ? recording.usedBitsInLastByte : 8;
            for (int bit = 7; bit >= 8 - used; --bit) {
                const int sample = (samples[i] >> bit) & 1;
                if (sample != level && run > 0) {
                    m_emit(run * recording.tStatesPerSample);
                    run = 0;
                }
                level = sample;
                ++run;
            }
        }
        if (run > 0) {
            m_emit(run * recording.tStatesPerSample);
        }
    }
    void operator()(const Pause&) const {}
    void operator()(const ReadFailure&) const {}
    void operator()(const KeptTzxBlock&) const {}

private:
    void Repeat(uint32_t pulse, uint32_t count) const {
        for (uint32_t i = 0; i < count; ++i) {
            m_emit(pulse);
        }
    }
    // Two pulses a bit, most significant bit first; of the last byte only the bits it uses.
    void Bits(const std::vector<uint8_t>& bytes, uint16_t zero, uint16_t one,
              uint8_t usedInLast) const {
        for (size_t i = 0; i < bytes.size(); ++i) {
            const int last = i + 1 == bytes.size() ? 8 - usedInLast : 0;
            for (int bit = 7; bit >= last; --bit) {
                const uint32_t pulse = (bytes[i] >> bit) & 1 ? one : zero;
                m_emit(pulse);
                m_emit(pulse);
            }
        }
    }

    Emit& m_emit;
};

template <class Emit>
void WalkPulses(const BlockBody& body, Emit emit) {
    std::visit(CPulseWalk<Emit>(emit), body);
}
}  // namespace

uint16_t PauseAfter(const BlockBody& body) {
    return std::visit(Overloaded{
                          [](const RomBlock& b) { return b.pauseMs; },
                          [](const TurboBlock& b) { return b.pauseMs; },
                          [](const PureTone&) { return uint16_t{0}; },
                          [](const PulseRun&) { return uint16_t{0}; },
                          [](const PureData& b) { return b.pauseMs; },
                          [](const DirectRecording& b) { return b.pauseMs; },
                          [](const Pause& b) { return b.ms; },
                          [](const ReadFailure&) { return uint16_t{0}; },
                          [](const KeptTzxBlock&) { return uint16_t{0}; },
                      },
                      body);
}

RenderedBlock RenderPulses(const BlockBody& body) {
    RenderedBlock rendered;
    rendered.pauseMs = PauseAfter(body);
    rendered.fromRest =
        std::holds_alternative<RomBlock>(body) || std::holds_alternative<TurboBlock>(body);
    WalkPulses(body, [&rendered](uint32_t pulse) { rendered.pulses.push_back(pulse); });
    return rendered;
}

int64_t PulseTStates(const BlockBody& body) {
    int64_t total = 0;
    WalkPulses(body, [&total](uint32_t pulse) { total += pulse; });
    return total;
}
