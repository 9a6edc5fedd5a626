#include "decoder/StretchParser.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kToneTolerance = 0.12;  // of the run's mean
constexpr double kSyncShare = 0.85;      // a sync pulse is shorter than this share of the leader
constexpr double kSameClass = 1.3;       // one bit length spread, either way
constexpr double kMinBitRatio = 1.4;     // the 1-bit pulse over the 0-bit one
constexpr double kMaxBitRatio = 2.8;
constexpr int32_t kEdgeArtefactPulses = 2;  // at a stretch's ends, a few stray edges are no signal
constexpr double kRomSpeedSpread = 0.10;
constexpr double kRomBitSpread = 0.04;

struct ToneRun {
    int32_t count = 0;
    double mean = 0.0;
};

ToneRun FindTone(const std::vector<float>& p, int32_t at) {
    const auto n = static_cast<int32_t>(p.size());
    double sum = 0.0;
    int32_t count = 0;
    while (at + count < n) {
        const double pulse = p[static_cast<size_t>(at + count)];
        const double mean = count == 0 ? pulse : sum / count;
        if (std::fabs(pulse - mean) > kToneTolerance * mean) {
            break;
        }
        sum += pulse;
        ++count;
    }
    return {count, count > 0 ? sum / count : 0.0};
}

struct DataRun {
    int32_t pulseCount = 0;
    double zero = 0.0;
    double one = 0.0;
    std::vector<uint8_t> bytes;
    uint8_t usedBits = 8;
};

// Bit lengths learnt while reading: one class until a pulse of the other length shows up.
class CBitClasses {
public:
    // The class of a pulse (0 short, 1 long, 2 the only one known so far), or -1 when it fits
    // none; a pulse of a new length that fits the ratio opens the second class.
    int Classify(double pulse) {
        if (m_count[0] == 0 && m_count[1] == 0) {
            return 2;
        }
        if (m_count[1] == 0 || m_count[0] == 0) {
            const int known = m_count[0] > 0 ? 0 : 1;
            const double mean = Mean(known);
            if (pulse <= mean * kSameClass && pulse >= mean / kSameClass) {
                return known == 0 && m_single ? 2 : known;
            }
            if (!m_single) {
                return -1;
            }
            const double ratio = pulse > mean ? pulse / mean : mean / pulse;
            if (ratio < kMinBitRatio || ratio > kMaxBitRatio) {
                return -1;
            }
            // The single class turns out to be the other one of the pair.
            if (pulse < mean) {
                m_sum[1] = m_sum[0];
                m_count[1] = m_count[0];
                m_sum[0] = 0.0;
                m_count[0] = 0;
                m_singleWasLong = true;
            }
            m_single = false;
            return pulse < mean ? 0 : 1;
        }
        const double zero = Mean(0);
        const double one = Mean(1);
        if (pulse < zero / kSameClass || pulse > one * kSameClass) {
            return -1;
        }
        return pulse * pulse < zero * one ? 0 : 1;
    }
    void Add(int cls, double pulse) {
        const int index = cls == 2 ? (m_singleWasLong ? 1 : 0) : cls;
        m_sum[index] += pulse;
        ++m_count[index];
    }
    bool BothSeen() const { return m_count[0] > 0 && m_count[1] > 0; }
    bool SingleWasLong() const { return m_singleWasLong; }
    double Mean(int index) const {
        return m_count[index] > 0 ? m_sum[index] / static_cast<double>(m_count[index]) : 0.0;
    }

private:
    double m_sum[2] = {0.0, 0.0};
    int64_t m_count[2] = {0, 0};
    bool m_single = true;  // still one class only
    bool m_singleWasLong = false;
};

void PackBits(const std::vector<uint8_t>& bits, DataRun& run) {
    run.bytes.assign((bits.size() + 7) / 8, 0);
    for (size_t i = 0; i < bits.size(); ++i) {
        if (bits[i] != 0) {
            run.bytes[i / 8] |= static_cast<uint8_t>(0x80U >> (i % 8));
        }
    }
    const auto rest = static_cast<uint8_t>(bits.size() % 8);
    run.usedBits = rest == 0 ? 8 : rest;
}

std::optional<DataRun> FindData(const std::vector<float>& p, int32_t at, bool endsInSilence) {
    const auto n = static_cast<int32_t>(p.size());
    CBitClasses classes;
    std::vector<uint8_t> labels;  // per bit: 0, 1, or 2 for the class known alone at the time
    int32_t k = at;
    while (k < n) {
        const double first = p[static_cast<size_t>(k)];
        const CBitClasses before = classes;
        const int cls = classes.Classify(first);
        if (cls < 0) {
            break;
        }
        // The last pulse before a silence has no closing edge: its pair partner stands for it.
        const bool lastOfStretch = k + 1 == n && endsInSilence;
        if (k + 1 >= n && !lastOfStretch) {
            classes = before;
            break;
        }
        // ... but only where it completes a byte; else the lone pulse is the level settling.
        if (lastOfStretch && (labels.size() + 1) % 8 != 0) {
            classes = before;
            break;
        }
        const double second = lastOfStretch ? first : p[static_cast<size_t>(k + 1)];
        classes.Add(cls, first);
        const int secondCls = classes.Classify(second);
        if (secondCls != cls) {
            classes = before;
            break;
        }
        classes.Add(secondCls, second);
        labels.push_back(static_cast<uint8_t>(cls));
        k += lastOfStretch ? 1 : 2;
    }
    if (!classes.BothSeen() || k - at < CStretchParser::kMinDataPulses) {
        return std::nullopt;
    }
    const uint8_t singleBit = classes.SingleWasLong() ? 1 : 0;
    for (uint8_t& label : labels) {
        if (label == 2) {
            label = singleBit;
        }
    }
    DataRun run;
    run.pulseCount = k - at;
    run.zero = classes.Mean(0);
    run.one = classes.Mean(1);
    PackBits(labels, run);
    return run;
}

uint16_t ToPulse(double tStates) {
    return static_cast<uint16_t>(std::clamp(std::lround(tStates), 1L, 65535L));
}

class CParse {
public:
    CParse(const std::vector<float>& pulses, double tStatesPerSample, bool endsInSilence)
        : m_p(pulses), m_tPerSample(tStatesPerSample), m_endsInSilence(endsInSilence) {}

    std::vector<ParsedPiece> Run() {
        const auto n = static_cast<int32_t>(m_p.size());
        int32_t at = 0;
        while (at < n) {
            if (const int32_t used = TakeStructure(at); used > 0) {
                at += used;
                m_structured = true;
            } else {
                if (m_oddCount == 0) {
                    m_oddStart = at;
                }
                ++m_oddCount;
                ++at;
            }
        }
        FlushOdd(true);
        if (!m_structured) {
            m_pieces.clear();
        }
        return std::move(m_pieces);
    }

private:
    int32_t TakeStructure(int32_t at) {
        const ToneRun tone = FindTone(m_p, at);
        if (tone.count >= CStretchParser::kMinTonePulses) {
            if (const int32_t used = TakeTurbo(at, tone); used > 0) {
                return used;
            }
        }
        if (auto data = FindData(m_p, at, m_endsInSilence)) {
            FlushOdd(false);
            ParsedPiece piece;
            piece.block.kind = BlockKind::PureData;
            SetBits(piece.block, *data);
            Push(std::move(piece), at, data->pulseCount);
            return data->pulseCount;
        }
        if (tone.count >= CStretchParser::kMinTonePulses) {
            FlushOdd(false);
            ParsedPiece piece;
            piece.block.kind = BlockKind::PureTone;
            piece.block.timing.pilotPulse = ToPulse(tone.mean);
            piece.block.timing.pilotCount = static_cast<uint16_t>(std::min(tone.count, 65535));
            Push(std::move(piece), at, tone.count);
            return tone.count;
        }
        return 0;
    }

    int32_t TakeTurbo(int32_t at, const ToneRun& tone) {
        const auto n = static_cast<int32_t>(m_p.size());
        const int32_t sync = at + tone.count;
        if (sync + 2 >= n) {
            return 0;
        }
        const double sync1 = m_p[static_cast<size_t>(sync)];
        const double sync2 = m_p[static_cast<size_t>(sync + 1)];
        if (sync1 > kSyncShare * tone.mean || sync2 > kSyncShare * tone.mean) {
            return 0;
        }
        auto data = FindData(m_p, sync + 2, m_endsInSilence);
        if (!data || data->one > kSyncShare * tone.mean) {
            return 0;
        }
        FlushOdd(false);
        ParsedPiece piece;
        piece.romTimed = CStretchParser::IsRomTiming(tone.mean, data->zero, data->one);
        piece.block.kind = piece.romTimed ? BlockKind::Standard : BlockKind::Turbo;
        BlockTiming& timing = piece.block.timing;
        timing.pilotPulse = ToPulse(tone.mean);
        timing.pilotCount = static_cast<uint16_t>(std::min(tone.count, 65535));
        timing.sync1 = ToPulse(sync1);
        timing.sync2 = ToPulse(sync2);
        SetBits(piece.block, *data);
        const int32_t used = tone.count + 2 + data->pulseCount;
        Push(std::move(piece), at, used);
        return used;
    }

    static void SetBits(TimedBlock& block, DataRun& data) {
        block.timing.zeroPulse = ToPulse(data.zero);
        block.timing.onePulse = ToPulse(data.one);
        block.timing.usedBitsInLastByte = data.usedBits;
        block.bytes = std::move(data.bytes);
    }

    void Push(ParsedPiece piece, int32_t first, int32_t count) {
        piece.block.timing.pauseMs = 0;
        piece.firstPulse = first;
        piece.pulseCount = count;
        m_pieces.push_back(std::move(piece));
    }

    // Pulses that fit no structure: kept between structures; at the stretch's ends a stray edge
    // or two of the level settling is dropped.
    void FlushOdd(bool atEnd) {
        if (m_oddCount == 0) {
            return;
        }
        const bool atStart = m_oddStart == 0;
        if ((atStart || atEnd) && m_oddCount <= kEdgeArtefactPulses) {
            m_oddCount = 0;
            return;
        }
        ParsedPiece piece;
        if (m_oddCount <= CStretchParser::kMaxSequencePulses) {
            piece.block.kind = BlockKind::PulseSequence;
            for (int32_t i = 0; i < m_oddCount; ++i) {
                piece.block.pulses.push_back(ToPulse(m_p[static_cast<size_t>(m_oddStart + i)]));
            }
        } else {
            MakeRecording(piece.block);
        }
        Push(std::move(piece), m_oddStart, m_oddCount);
        m_oddCount = 0;
    }

    // The pulses as levels sampled at the input's rate, first level high.
    void MakeRecording(TimedBlock& block) const {
        block.kind = BlockKind::DirectRecording;
        block.timing.tStatesPerSample = ToPulse(m_tPerSample);
        std::vector<uint8_t> bits;
        double time = 0.0;
        int64_t written = 0;
        uint8_t level = 1;
        for (int32_t i = 0; i < m_oddCount; ++i) {
            time += m_p[static_cast<size_t>(m_oddStart + i)];
            const auto until = static_cast<int64_t>(std::llround(time / m_tPerSample));
            for (; written < until; ++written) {
                bits.push_back(level);
            }
            level ^= 1U;
        }
        DataRun packed;
        PackBits(bits, packed);
        block.bytes = std::move(packed.bytes);
        block.timing.usedBitsInLastByte = packed.usedBits;
    }

    const std::vector<float>& m_p;
    double m_tPerSample;
    bool m_endsInSilence;
    std::vector<ParsedPiece> m_pieces;
    int32_t m_oddStart = 0;
    int32_t m_oddCount = 0;
    bool m_structured = false;
};

}  // namespace

std::vector<ParsedPiece> CStretchParser::Parse(const std::vector<float>& pulses,
                                               double tStatesPerSample, bool endsInSilence) {
    return CParse(pulses, tStatesPerSample, endsInSilence).Run();
}

bool CStretchParser::IsRomTiming(double pilot, double zero, double one) {
    constexpr double kRomPilot = 2168.0;
    constexpr double kRomZero = 855.0;
    constexpr double kRomOne = 1710.0;
    const double speed = pilot / kRomPilot;
    if (std::fabs(speed - 1.0) > kRomSpeedSpread) {
        return false;
    }
    return std::fabs(zero / speed - kRomZero) <= kRomBitSpread * kRomZero &&
           std::fabs(one / speed - kRomOne) <= kRomBitSpread * kRomOne;
}
