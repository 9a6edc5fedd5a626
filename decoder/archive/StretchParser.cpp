#include "decoder/archive/StretchParser.h"

#include <algorithm>
#include <cmath>

#include "decoder/archive/BitRunReader.h"
#include "model/BlockFacts.h"

namespace {

constexpr double kToneTolerance = 0.12;     // of the run's mean, for its first pulses ...
constexpr double kToneLearnSamples = 1.05;  // ... or this many samples, whichever is more
constexpr int32_t kToneLearnPulses = 16;
constexpr double kToneMarginShare = 0.03;    // beyond the range of the run so far
constexpr double kToneMarginSamples = 0.75;  // or this share of a sample, whichever is more
// Edges put on whole samples make a pulse of a steady tone a whole sample off the others.
constexpr double kWholeSampleSlack = 0.15;
constexpr double kSyncShare = 0.85;  // a sync pulse is shorter than this share of the leader
constexpr int32_t kBentLeaderPulses = 4;
constexpr int32_t kMinLeaderPulses = 128;
constexpr int32_t kMinSignalPulses = 6;    // of a stretch that holds no tone and no data
constexpr double kMaxOneOverPilot = 1.05;  // some loaders' 1-bit is as long as their pilot
constexpr int32_t kMinTurboPulses = 15;    // a byte after a leader and syncs, its last edge lost
constexpr int32_t kMinTurboChanges = 2;    // bits that differ from the one before
constexpr int32_t kMinPureDataChanges = 3;
// Data without a leader is a loader's block, not a few bytes: those are a run of data that a
// worn stretch broke, kept as the signal they are rather than as bytes that are not on the tape.
constexpr int32_t kMinPureDataPulses = 256;
// A leader inside a run of data this far off every pulse before it is the next block's.
constexpr double kForeignLeaderShare = 0.07;
constexpr double kSingleOneOverSync = 1.6;  // a 1-bit is about twice a sync pulse, a 0-bit one
constexpr int32_t kEdgeArtefactPulses = 2;  // at a stretch's ends, a few stray edges are no signal
constexpr double kRomSpeedSpread = 0.10;
constexpr double kRomBitSpread = 0.04;

struct ToneRun {
    int32_t count = 0;
    double mean = 0.0;
};

// A run of pulses of one length. Its first pulses are taken within kToneTolerance of their mean
// (or a sample); after that, within the range they span and a small margin: a tone straight
// after another that is a little higher or lower (a leader that steps down) is a tone of its own.
ToneRun FindTone(const std::vector<float>& p, int32_t at, double tStatesPerSample) {
    const auto n = static_cast<int32_t>(p.size());
    double sum = 0.0;
    double lo = 0.0;
    double hi = 0.0;
    int32_t count = 0;
    while (at + count < n) {
        const double pulse = p[static_cast<size_t>(at + count)];
        const double mean = count == 0 ? pulse : sum / count;
        if (count < kToneLearnPulses) {
            // Edges put on whole samples make a steady tone's pulses a sample apart.
            if (std::fabs(pulse - mean) >
                std::max(kToneTolerance * mean, kToneLearnSamples * tStatesPerSample)) {
                break;
            }
        } else {
            const double margin =
                std::max(kToneMarginShare * mean, kToneMarginSamples * tStatesPerSample);
            const double off = pulse < lo ? lo - pulse : pulse - hi;
            // A tone rendered with its edges on whole samples comes out as one whole number of
            // samples with a pulse a sample longer or shorter now and then; one whose pulses
            // already span a sample has shown its rounding.
            const double samples = lo / tStatesPerSample;
            const bool wholeSampleOff =
                hi - lo < 0.5 * tStatesPerSample &&
                std::fabs(samples - std::round(samples)) <= kWholeSampleSlack &&
                std::fabs(off - tStatesPerSample) <= kWholeSampleSlack * tStatesPerSample;
            if (off > margin && !wholeSampleOff) {
                break;
            }
        }
        lo = count == 0 ? pulse : std::min(lo, pulse);
        hi = count == 0 ? pulse : std::max(hi, pulse);
        sum += pulse;
        ++count;
    }
    return {count, count > 0 ? sum / count : 0.0};
}

// Bits packed eight to a byte, first bit in the top bit.
std::vector<uint8_t> PackBits(const std::vector<uint8_t>& bits, uint8_t& usedBits) {
    std::vector<uint8_t> bytes((bits.size() + 7) / 8, 0);
    for (size_t i = 0; i < bits.size(); ++i) {
        if (bits[i] != 0) {
            bytes[i / 8] |= static_cast<uint8_t>(0x80U >> (i % 8));
        }
    }
    const auto rest = static_cast<uint8_t>(bits.size() % 8);
    usedBits = rest == 0 ? 8 : rest;
    return bytes;
}

uint16_t ToPulse(double tStates) {
    return static_cast<uint16_t>(std::clamp(std::lround(tStates), 1L, 65535L));
}

class CParse {
public:
    CParse(const std::vector<float>& pulses, double tStatesPerSample, bool endsInSilence,
           bool squareWave)
        : m_p(pulses),
          m_tPerSample(tStatesPerSample),
          m_endsInSilence(endsInSilence),
          m_squareWave(squareWave) {}

    std::vector<ParsedPiece> Run() {
        const auto n = static_cast<int32_t>(m_p.size());
        int32_t at = 0;
        while (at < n) {
            if (const int32_t used = TakeStructure(at); used > 0) {
                at += used;
                m_structured = true;
            } else {
                AddOdd(at, 1);
                ++at;
            }
        }
        // A few edges on their own are hiss that rose above the trigger for a moment.
        if (!m_structured && (!m_squareWave || n < kMinSignalPulses)) {
            return {};
        }
        FlushOdd(true);
        return std::move(m_pieces);
    }

private:
    int32_t TakeStructure(int32_t at) {
        const ToneRun tone = FindTone(m_p, at, m_tPerSample);
        if (tone.count >= CStretchParser::kMinTonePulses) {
            if (const int32_t used = TakeTurbo(at, tone); used > 0) {
                return used;
            }
        }
        // A long leader is a tone, not the start of data (whose bytes are seldom eight zeros);
        // so is one a stray edge or two later (the first edges out of a silence come early or
        // late).
        if (tone.count < kMinLeaderPulses && !LeaderSoon(at)) {
            if (const int32_t used = TakePureData(at); used > 0) {
                return used;
            }
        }
        if (tone.count >= CStretchParser::kMinTonePulses) {
            FlushOdd(false);
            ParsedPiece piece;
            piece.block = PureTone{ToPulse(tone.mean), static_cast<uint32_t>(tone.count)};
            Push(std::move(piece), at, tone.count);
            return tone.count;
        }
        return 0;
    }

    bool LeaderSoon(int32_t at) const {
        for (int32_t next = at + 1; next <= at + kEdgeArtefactPulses && next < Size(); ++next) {
            if (FindTone(m_p, next, m_tPerSample).count >= kMinLeaderPulses) {
                return true;
            }
        }
        return false;
    }

    int32_t TakePureData(int32_t at) {
        const CBitRunReader reader(m_p, m_tPerSample, m_endsInSilence);
        std::optional<BitRun> data = reader.Read(at, kMinPureDataPulses, false);
        // A few bits learn their lengths loosely: a leader straight after them may pass as a run
        // of one of them and carry the reading on into the next block. Data ends at such a leader.
        if (data) {
            if (const int32_t leader = ForeignLeader(data->first, data->first + data->pulseCount);
                leader >= 0) {
                const std::vector<float> head(m_p.begin(), m_p.begin() + leader);
                data = CBitRunReader(head, m_tPerSample, false).Read(at, kMinPureDataPulses, false);
            }
        }
        // A leader that steps down in pitch reads as bits of two lengths, each in one stretch;
        // data changes between them all the time.
        if (!data || data->classChanges < kMinPureDataChanges) {
            return 0;
        }
        AddOdd(at, data->first - at);
        FlushOdd(false);
        ParsedPiece piece;
        PureData bits;
        SetBits(bits, *data);
        piece.block = std::move(bits);
        Push(std::move(piece), data->first, data->pulseCount);
        return data->first - at + data->pulseCount;
    }

    // The first pulse of a leader within [first, end) whose length is no bit length of the pulses
    // around it (a run of zeros in the data is as long as the data's other 0-bits), or -1.
    int32_t ForeignLeader(int32_t first, int32_t end) const {
        int32_t runStart = first;
        int32_t before = first;  // the runs before the one just ended: its edge pulses may blur in
        double runSum = m_p[static_cast<size_t>(first)];
        for (int32_t i = first + 1; i <= end; ++i) {
            // Edges on whole samples put a steady tone's pulses a sample apart.
            const double lead =
                i > runStart ? runSum / (i - runStart) : m_p[static_cast<size_t>(i)];
            const bool same =
                i < end && std::fabs(m_p[static_cast<size_t>(i)] - lead) <=
                               std::max(kToneMarginShare * lead, kToneLearnSamples * m_tPerSample);
            if (same) {
                runSum += m_p[static_cast<size_t>(i)];
                continue;
            }
            const int32_t runLength = i - runStart;
            if (runLength >= kMinLeaderPulses && !LengthSeen(first, before, runSum / runLength) &&
                !LengthSeen(i, end, runSum / runLength)) {
                return runStart;
            }
            before = runStart;
            runStart = i;
            runSum = i < end ? m_p[static_cast<size_t>(i)] : 0.0;
        }
        return -1;
    }

    bool LengthSeen(int32_t first, int32_t end, double length) const {
        for (int32_t i = first; i < end; ++i) {
            if (std::fabs(m_p[static_cast<size_t>(i)] - length) <= kForeignLeaderShare * length) {
                return true;
            }
        }
        return false;
    }

    int32_t TakeTurbo(int32_t at, ToneRun tone) {
        const auto n = static_cast<int32_t>(m_p.size());
        // The filters of a played tape bend the last pulses of a leader before the sync.
        for (int32_t bent = 0; bent < kBentLeaderPulses && at + tone.count < n; ++bent) {
            const double pulse = m_p[static_cast<size_t>(at + tone.count)];
            if (pulse <= kSyncShare * tone.mean || pulse > (1.0 + kToneTolerance) * tone.mean) {
                break;
            }
            ++tone.count;
        }
        const int32_t sync = at + tone.count;
        if (sync + 2 >= n) {
            return 0;
        }
        const double sync1 = m_p[static_cast<size_t>(sync)];
        const double sync2 = m_p[static_cast<size_t>(sync + 1)];
        if (sync1 > kSyncShare * tone.mean || sync2 > kSyncShare * tone.mean) {
            return 0;
        }
        std::optional<BitRun> data = TurboData(sync + 2, (sync1 + sync2) / 2.0);
        if (!data || data->one > kMaxOneOverPilot * tone.mean) {
            return 0;
        }
        FlushOdd(false);
        ParsedPiece piece;
        piece.romTimed = CStretchParser::IsRomTiming(tone.mean, data->zero, data->one);
        TurboBlock turbo;
        turbo.pilotPulse = ToPulse(tone.mean);
        turbo.pilotCount = static_cast<uint32_t>(tone.count);
        turbo.sync1 = ToPulse(sync1);
        turbo.sync2 = ToPulse(sync2);
        SetBits(turbo, *data);
        piece.block = std::move(turbo);
        const int32_t used = tone.count + 2 + data->pulseCount;
        Push(std::move(piece), at, used);
        return used;
    }

    // The data right after a leader and sync pair. A leader and syncs are evidence enough for a
    // block of a byte or two, even of one bit length (a lone 0xFF); a short one is whole bytes.
    std::optional<BitRun> TurboData(int32_t start, double syncMean) const {
        const CBitRunReader reader(m_p, m_tPerSample, m_endsInSilence);
        std::optional<BitRun> data = reader.Read(start, kMinTurboPulses, true);
        if (!data || data->first != start) {
            return std::nullopt;
        }
        const bool shortBlock = data->pulseCount < CStretchParser::kMinDataPulses;
        if (shortBlock && data->usedBits != 8) {
            return std::nullopt;
        }
        if (data->singleLength) {
            const bool reachesSilence = m_endsInSilence && start + data->pulseCount >= Size() - 1;
            if (!shortBlock || !reachesSilence) {
                return std::nullopt;
            }
            // One length alone: against the syncs (about a 0-bit long) it is a 0 or a 1.
            if (data->zero > kSingleOneOverSync * syncMean) {
                for (uint8_t& byte : data->bytes) {
                    byte = 0xFF;
                }
                data->one = data->zero;
                data->zero = data->one / 2.0;
            } else {
                data->one = data->zero * 2.0;
            }
        } else if (data->classChanges < kMinTurboChanges) {
            return std::nullopt;
        }
        return data;
    }

    template <class DataBlock>
    static void SetBits(DataBlock& block, BitRun& data) {
        block.zeroPulse = ToPulse(data.zero);
        block.onePulse = ToPulse(data.one);
        block.usedBitsInLastByte = data.usedBits;
        block.bytes = std::move(data.bytes);
    }

    int32_t Size() const { return static_cast<int32_t>(m_p.size()); }

    void AddOdd(int32_t at, int32_t count) {
        if (count <= 0) {
            return;
        }
        if (m_oddCount == 0) {
            m_oddStart = at;
        }
        m_oddCount += count;
    }

    void Push(ParsedPiece piece, int32_t first, int32_t count) {
        if (uint16_t* pause = TrailingPause(piece.block)) {
            *pause = 0;
        }
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
            PulseRun run;
            for (int32_t i = 0; i < m_oddCount; ++i) {
                run.pulses.push_back(ToPulse(m_p[static_cast<size_t>(m_oddStart + i)]));
            }
            piece.block = std::move(run);
        } else {
            piece.block = MakeRecording();
        }
        Push(std::move(piece), m_oddStart, m_oddCount);
        m_oddCount = 0;
    }

    // The pulses as levels sampled at the input's rate, first level high.
    DirectRecording MakeRecording() const {
        DirectRecording block;
        block.tStatesPerSample = ToPulse(m_tPerSample);
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
        block.samples = PackBits(bits, block.usedBitsInLastByte);
        return block;
    }

    const std::vector<float>& m_p;
    double m_tPerSample;
    bool m_endsInSilence;
    bool m_squareWave;  // a tape's signal: kept even where no structure names it
    std::vector<ParsedPiece> m_pieces;
    int32_t m_oddStart = 0;
    int32_t m_oddCount = 0;
    bool m_structured = false;
};

}  // namespace

std::vector<ParsedPiece> CStretchParser::Parse(const std::vector<float>& pulses,
                                               double tStatesPerSample, bool endsInSilence,
                                               StretchLook look) {
    // A clean square wave spends its time at its two levels; one played from a cassette copy,
    // whose band rounds its edges and lets its long pulses droop back to the midline, still moves
    // fast at its edges only.
    const bool squareWave =
        look.levelShare >= kSquareWaveShare || look.edgeTimeShare <= kSquareWaveEdgeTime;
    return CParse(pulses, tStatesPerSample, endsInSilence, squareWave).Run();
}

bool CStretchParser::IsRomTiming(double pilot, double zero, double one) {
    constexpr double kRomPilot = spectrum::kPilotPulse;
    constexpr double kRomZero = spectrum::kZeroPulse;
    constexpr double kRomOne = spectrum::kOnePulse;
    const double speed = pilot / kRomPilot;
    if (std::fabs(speed - 1.0) > kRomSpeedSpread) {
        return false;
    }
    return std::fabs(zero / speed - kRomZero) <= kRomBitSpread * kRomZero &&
           std::fabs(one / speed - kRomOne) <= kRomBitSpread * kRomOne;
}
