// Writes the seed corpus of the decoder fuzzer: a short ROM-timed header and data block rendered
// as a square wave, behind the settings bytes of each mode (plain, robust, archive at 22000 and
// at 11025 per second). The leaders are shorter than the ROM's so that a seed stays small.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {
constexpr double kClockHz = 3500000.0;
constexpr int kLeaderPulses = 400;

class CSquareWave {
public:
    // A little silence first: the decoder takes its bearings before the first leader.
    explicit CSquareWave(double rate)
        : m_rate(rate), m_end(rate / 20), m_samples(static_cast<size_t>(m_end), 128) {}

    // One pulse of the given length in T-states: the level flips at its end.
    void Pulse(int tStates) {
        m_end += tStates * m_rate / kClockHz;
        while (static_cast<double>(m_samples.size()) < m_end) {
            m_samples.push_back(m_high ? 200 : 56);
        }
        m_high = !m_high;
    }

    void Block(const std::vector<uint8_t>& bytes) {
        for (int i = 0; i < kLeaderPulses; ++i) {
            Pulse(2168);
        }
        Pulse(667);
        Pulse(735);
        for (const uint8_t byte : bytes) {
            for (int bit = 7; bit >= 0; --bit) {
                const int pulse = (byte >> bit) & 1 ? 1710 : 855;
                Pulse(pulse);
                Pulse(pulse);
            }
        }
        Pulse(945);
        m_samples.insert(m_samples.end(), static_cast<size_t>(m_rate / 20), 128);
        m_end = static_cast<double>(m_samples.size());
    }

    const std::vector<uint8_t>& Samples() const { return m_samples; }

private:
    double m_rate;
    double m_end;
    std::vector<uint8_t> m_samples;
    bool m_high = true;
};

std::vector<uint8_t> WithChecksum(std::vector<uint8_t> bytes) {
    uint8_t sum = 0;
    for (const uint8_t byte : bytes) {
        sum ^= byte;
    }
    bytes.push_back(sum);
    return bytes;
}

std::vector<uint8_t> Seed(std::vector<uint8_t> settings, double rate) {
    std::vector<uint8_t> header = {0x00, 3,   'f', 'u', 'z', 'z', ' ',  ' ', ' ',
                                   ' ',  ' ', ' ', 8,   0,   0,   0x80, 0,   0x80};
    std::vector<uint8_t> data = {0xFF, 1, 2, 3, 0x55, 0xAA, 0, 0xFF, 9};
    CSquareWave wave(rate);
    wave.Block(WithChecksum(header));
    wave.Block(WithChecksum(data));
    settings.insert(settings.end(), wave.Samples().begin(), wave.Samples().end());
    return settings;
}

void Write(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: fuzz_decoder_seed_maker DIRECTORY\n", stderr);
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    // Settings bytes: mode and switches, archive rate and delay, filter, decay (the defaults).
    Write(dir / "plain", Seed({0x08, 6 << 3, 55, 2}, 22000));
    Write(dir / "robust", Seed({0x09, 6 << 3, 55, 2}, 22000));
    Write(dir / "archive", Seed({0x0A, 6 << 3, 55, 2}, 22000));
    Write(dir / "archive-11025", Seed({0x0A, 3 | 6 << 3, 55, 2}, 11025));
    return 0;
}
