#include "tests/decoder/TapeSignal.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tape_signal {

namespace {

// Deterministic noise, the same on every machine.
class Noise {
public:
    explicit Noise(uint32_t seed) : m_state(seed * 2654435761u + 1u) {}
    double Uniform() {
        m_state = m_state * 6364136223846793005ull + 1442695040888963407ull;
        return (static_cast<double>(m_state >> 11) + 0.5) / 9007199254740992.0;
    }
    double Gaussian() {
        const double u = Uniform();
        const double v = Uniform();
        return std::sqrt(-2.0 * std::log(u)) * std::cos(6.283185307179586 * v);
    }

private:
    uint64_t m_state;
};

}  // namespace

std::vector<uint8_t> MakeBlock(uint8_t flag, const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> block(payload.size() + 1);
    block[0] = flag;
    std::copy(payload.begin(), payload.end(), block.begin() + 1);
    uint8_t checksum = 0;
    for (uint8_t byte : block) {
        checksum = static_cast<uint8_t>(checksum ^ byte);
    }
    block.push_back(checksum);
    return block;
}

std::vector<uint8_t> MakeHeader(uint8_t type, const char* name, uint16_t length) {
    std::vector<uint8_t> payload(17, 0);
    payload[0] = type;
    std::fill(payload.begin() + 1, payload.begin() + 11, static_cast<uint8_t>(' '));
    std::memcpy(payload.data() + 1, name, std::min<size_t>(std::strlen(name), 10));
    payload[11] = static_cast<uint8_t>(length & 0xFF);
    payload[12] = static_cast<uint8_t>(length >> 8);
    payload[13] = 0x00;
    payload[14] = 0x80;
    payload[15] = payload[11];
    payload[16] = payload[12];
    return MakeBlock(0x00, payload);
}

std::vector<uint8_t> RandomBytes(int32_t count, uint32_t seed) {
    Noise noise(seed);
    std::vector<uint8_t> bytes(static_cast<size_t>(count));
    for (uint8_t& byte : bytes) {
        byte = static_cast<uint8_t>(noise.Uniform() * 256.0);
    }
    return bytes;
}

void AppendBlockPulses(std::vector<int64_t>& pulses, const std::vector<uint8_t>& block,
                       int32_t pauseMs) {
    const int32_t pilot =
        (!block.empty() && block[0] < 0x80) ? kHeaderPilotPulses : kDataPilotPulses;
    pulses.insert(pulses.end(), static_cast<size_t>(pilot), kPilotPulse);
    pulses.push_back(kSync1Pulse);
    pulses.push_back(kSync2Pulse);
    for (uint8_t byte : block) {
        for (int bit = 7; bit >= 0; --bit) {
            const int64_t pulse = ((byte >> bit) & 1) != 0 ? kOnePulse : kZeroPulse;
            pulses.push_back(pulse);
            pulses.push_back(pulse);
        }
    }
    pulses.push_back(static_cast<int64_t>(kClockHz / 1000.0 * pauseMs));
}

std::vector<uint8_t> Render(const std::vector<int64_t>& pulses, const Shape& shape) {
    const double tStatesPerSample = kClockHz / shape.sampleRate * shape.speed;
    int64_t total = 0;
    for (int64_t pulse : pulses) {
        total += pulse;
    }
    const auto count = static_cast<size_t>(static_cast<double>(total) / tStatesPerSample);
    std::vector<uint8_t> samples(count);
    Noise noise(shape.seed);
    size_t pulse = 0;
    double pulseEnd = pulses.empty() ? 0.0 : static_cast<double>(pulses[0]);
    // Each bit starts with a low pulse, so the troughs fall at the bit boundaries.
    double level = shape.invert ? 1.0 : -1.0;
    double smooth = 0.0;
    double drift = 0.0;
    for (size_t n = 0; n < count; ++n) {
        // Average of the square wave over this sample's interval.
        double from = static_cast<double>(n) * tStatesPerSample;
        const double to = from + tStatesPerSample;
        double area = 0.0;
        while (pulse < pulses.size() && pulseEnd <= to) {
            area += level * (pulseEnd - from);
            from = pulseEnd;
            level = -level;
            ++pulse;
            pulseEnd += pulse < pulses.size() ? static_cast<double>(pulses[pulse]) : 0.0;
        }
        area += level * (to - from);
        const double x = area / tStatesPerSample;
        smooth += shape.smoothing * (x - smooth);
        drift += shape.coupling * (smooth - drift);
        const double value =
            128.0 + shape.amplitude * (smooth - drift) + shape.noise * noise.Gaussian();
        samples[n] = static_cast<uint8_t>(std::clamp(std::lround(value), 0L, 255L));
    }
    return samples;
}

std::vector<uint8_t> RenderTape(const std::vector<std::vector<uint8_t>>& blocks, const Shape& shape,
                                int32_t pauseMs) {
    std::vector<int64_t> pulses;
    pulses.push_back(static_cast<int64_t>(kClockHz / 5));  // a short lead-in
    for (const auto& block : blocks) {
        AppendBlockPulses(pulses, block, pauseMs);
    }
    return Render(pulses, shape);
}

std::vector<uint8_t> TrianglePeriods(const std::vector<int32_t>& periods, int32_t low,
                                     int32_t high) {
    std::vector<uint8_t> samples;
    for (int32_t period : periods) {
        const int32_t up = period / 2;
        const int32_t down = period - up;
        for (int32_t i = 0; i < up; ++i) {
            samples.push_back(static_cast<uint8_t>(low + (high - low) * i / up));
        }
        for (int32_t i = 0; i < down; ++i) {
            samples.push_back(static_cast<uint8_t>(high - (high - low) * i / down));
        }
    }
    return samples;
}

std::vector<int32_t> BlockPeriods(const std::vector<uint8_t>& block, int32_t leader) {
    std::vector<int32_t> periods(static_cast<size_t>(leader), 27);
    periods.push_back(9);
    for (uint8_t byte : block) {
        for (int bit = 7; bit >= 0; --bit) {
            periods.push_back(((byte >> bit) & 1) != 0 ? 19 : 10);
        }
    }
    return periods;
}

}  // namespace tape_signal
