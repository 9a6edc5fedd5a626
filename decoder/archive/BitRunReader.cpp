#include "decoder/archive/BitRunReader.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>

namespace {

constexpr double kSameClass = 1.3;    // one bit length's spread, either way, while it is learnt
constexpr double kMinBitRatio = 1.4;  // the 1-bit pulse over the 0-bit one
constexpr double kMaxBitRatio = 2.8;
constexpr int64_t kLearnPulses = 8;        // of a bit length, before its range counts
constexpr double kMarginShare = 0.04;      // beyond the range seen: of the length, or ...
constexpr double kMarginSamples = 0.3;     // ... of a sample, whichever is more
constexpr int32_t kLookAheadBits = 8;      // after a pulse out of range, for the run to go on ...
constexpr int32_t kLookAheadMisses = 2;    // ... with at most this many of them out of range too
constexpr double kWidenSamples = 1.0;      // how far out such a pulse still widens the range
constexpr int32_t kRangeSkipBits = 4;      // not used for the range that judges the first pulses
constexpr double kRangeTrim = 0.01;        // of a length's pulses on either side: crackles
constexpr int32_t kTightStartBits = 4;     // in the ranges, where data starts past misfits
constexpr int32_t kMaxPairedRun = 64;      // pulses of one length: a longer run is not judged
constexpr int32_t kToneBits = 16;          // of one value at the end of a run: maybe a tone
constexpr double kToneApartShare = 0.05;   // a tone's period off a bit's by more than this ...
constexpr double kToneApartSamples = 0.5;  // ... and this many samples is no bit

// A bit that shows few times: its length is known less well, so a tone must lie further off it.
constexpr double kFewBitsApartShare = 0.10;

// The time one bit value gains from the leaning edges and the time the other loses differ by at
// most this share of the larger.
constexpr double kLeanBalance = 0.5;

constexpr double kPairSkew = 0.6;  // the two halves of a bit differ by at most this share

// Two pulses that can be the halves of one bit.
bool Even(double first, double second) {
    return std::fabs(first - second) <= kPairSkew * (first + second) / 2.0;
}

struct LengthClass {
    double sum = 0.0;
    int64_t count = 0;
    double lo = 0.0;
    double hi = 0.0;

    double Mean() const { return count > 0 ? sum / static_cast<double>(count) : 0.0; }
    void Add(double pulse) {
        lo = count > 0 ? std::min(lo, pulse) : pulse;
        hi = count > 0 ? std::max(hi, pulse) : pulse;
        sum += pulse;
        ++count;
    }
};

// The two bit lengths as learnt so far; one of them alone until a pulse of the other shows up.
class CBitClasses {
public:
    explicit CBitClasses(double sampleT) : m_sampleT(sampleT) {}

    // The length a pulse fits: 0 short, 1 long, 2 the only one known so far; -1 for none.
    int Member(double pulse) const {
        if (m_single) {
            return m_c[0].count == 0 || Fits(m_c[0], pulse) ? 2 : -1;
        }
        const bool zero = Fits(m_c[0], pulse);
        const bool one = Fits(m_c[1], pulse);
        if (zero && one) {
            return pulse * pulse < m_c[0].Mean() * m_c[1].Mean() ? 0 : 1;
        }
        return zero ? 0 : (one ? 1 : -1);
    }
    // As Member, but a pulse in the bit ratio to the only length known opens the other one.
    int Classify(double pulse) {
        const int member = Member(pulse);
        if (member >= 0 || !m_single) {
            return member;
        }
        const double mean = m_c[0].Mean();
        const double ratio = pulse > mean ? pulse / mean : mean / pulse;
        if (ratio < kMinBitRatio || ratio > kMaxBitRatio) {
            return -1;
        }
        m_single = false;
        if (pulse < mean) {
            std::swap(m_c[0], m_c[1]);
            m_singleWasLong = true;
            return 0;
        }
        return 1;
    }
    // The nearer bit for a pulse between the two lengths, allowing the learning spread.
    int Nearest(double pulse) const {
        if (m_single || pulse < m_c[0].Mean() / kSameClass || pulse > m_c[1].Mean() * kSameClass) {
            return -1;
        }
        return pulse * pulse < m_c[0].Mean() * m_c[1].Mean() ? 0 : 1;
    }
    void Add(int cls, double pulse) { m_c[cls == 1 ? 1 : 0].Add(pulse); }
    // A pulse the run went on past: a sample's rounding off the range joins it, a crackle not.
    void Widen(int cls, double pulse) {
        LengthClass& c = m_c[cls == 1 ? 1 : 0];
        const double reach = Margin(c.Mean()) + kWidenSamples * m_sampleT;
        if (pulse >= c.lo - reach && pulse <= c.hi + reach) {
            c.Add(pulse);
        }
    }
    // As Member, or else the length whose range a sample's rounding off it reaches.
    int Reaches(double pulse) const {
        const int member = Member(pulse);
        if (member >= 0 || m_single) {
            return member;
        }
        for (int cls = 0; cls < 2; ++cls) {
            const LengthClass& c = m_c[cls];
            const double reach = Margin(c.Mean()) + kWidenSamples * m_sampleT;
            if (pulse >= c.lo - reach && pulse <= c.hi + reach) {
                return cls;
            }
        }
        return -1;
    }
    bool Single() const { return m_single; }
    bool SingleWasLong() const { return m_singleWasLong; }
    double Mean(int index) const { return m_c[index].Mean(); }
    double Margin(double mean) const {
        return std::max(kMarginShare * mean, kMarginSamples * m_sampleT);
    }

private:
    bool Fits(const LengthClass& c, double pulse) const {
        if (c.count < kLearnPulses) {
            const double mean = c.Mean();
            return pulse <= mean * kSameClass && pulse >= mean / kSameClass;
        }
        const double margin = Margin(c.Mean());
        return pulse >= c.lo - margin && pulse <= c.hi + margin;
    }

    LengthClass m_c[2];
    double m_sampleT;  // T-states
    bool m_single = true;
    bool m_singleWasLong = false;
};

// The range that the middle of a bit length's pulses spans.
struct Range {
    double lo = 0.0;
    double hi = -1.0;
    bool Holds(double pulse) const { return pulse >= lo && pulse <= hi; }
};

Range TrimmedRange(std::vector<float> lengths, double margin) {
    if (lengths.empty()) {
        return {};
    }
    const auto trim = static_cast<size_t>(kRangeTrim * static_cast<double>(lengths.size()));
    std::nth_element(lengths.begin(), lengths.begin() + trim, lengths.end());
    const double lo = lengths[trim];
    const size_t top = lengths.size() - 1 - trim;
    std::nth_element(lengths.begin(), lengths.begin() + top, lengths.end());
    return {lo - margin, lengths[top] + margin};
}

}  // namespace

struct CBitRunReader::Scan {
    int32_t start = 0;
    int32_t end = 0;
    std::vector<uint8_t> labels;  // per bit: 0, 1, or 2 for the length known alone at the time
    CBitClasses classes{0.0};
};

CBitRunReader::Scan CBitRunReader::Walk(int32_t start, int32_t limit) const {
    const auto size = static_cast<int32_t>(m_p.size());
    const int32_t n = limit < 0 ? size : std::min(limit, size);
    Scan scan;
    scan.start = start;
    scan.classes = CBitClasses(m_tPerSample);
    CBitClasses& classes = scan.classes;
    int32_t k = start;
    // Most of the next few bits in range, as the classes stand: the run goes on past a crackle.
    const auto fitsAhead = [&](int32_t from) {
        int32_t misses = 0;
        for (int32_t bit = 0; bit < kLookAheadBits; ++bit) {
            const int32_t at = from + 2 * bit;
            if (at + 1 >= n) {
                // The last pair before a silence: the level settling stretches its last pulse.
                return bit > misses || (at >= size && m_endsInSilence);
            }
            const double a = m_p[static_cast<size_t>(at)];
            const double b = m_p[static_cast<size_t>(at + 1)];
            if (!Even(a, b) || classes.Member((a + b) / 2.0) < 0) {
                if (++misses > kLookAheadMisses) {
                    return false;
                }
            }
        }
        return true;
    };
    while (k < n) {
        const double first = m_p[static_cast<size_t>(k)];
        // The last pulse before a silence may have no closing edge: its pair partner stands for
        // it when it is a bit's length (the level settling gives no such pulse).
        const bool lastOfStretch = k + 1 == size && m_endsInSilence;
        if (lastOfStretch) {
            const int cls = classes.Reaches(first);
            if (cls >= 0 && (!classes.Single() || (scan.labels.size() + 1) % 8 == 0)) {
                classes.Add(cls, first);
                scan.labels.push_back(static_cast<uint8_t>(cls));
                ++k;
            }
            break;
        }
        if (k + 1 >= n) {
            break;
        }
        // A bit is judged by its whole period: a midline a little off, as a played tape's
        // filters leave it, makes one half longer and the other shorter.
        const double second = m_p[static_cast<size_t>(k + 1)];
        const double half = (first + second) / 2.0;
        const bool even = Even(first, second);
        const int cls = even ? classes.Classify(half) : -1;
        if (cls < 0) {
            const int nearest = classes.Nearest(half);
            if (nearest >= 0 && fitsAhead(k + 2)) {
                classes.Widen(nearest, half);
                scan.labels.push_back(static_cast<uint8_t>(nearest));
                k += 2;
                continue;
            }
            break;
        }
        classes.Add(cls, half);
        scan.labels.push_back(static_cast<uint8_t>(cls));
        k += 2;
    }
    scan.end = k;
    return scan;
}

// Pulses at the start of a run that its bit lengths, as the rest of the run shows them, do not
// hold: sync pulses near a bit length that the learning took in. Each pulse is put with the
// nearer bit length, and each run of pulses of one length is paired from its start: a walk that
// began a pulse off pairs the halves of two bits, but a run of one bit value always has an even
// number of pulses, and its pairs are the data's bits all the same.
int32_t CBitRunReader::LeadingMisfits(const Scan& scan) const {
    const auto bits = static_cast<int32_t>(scan.labels.size());
    if (bits <= 2 * kRangeSkipBits || scan.classes.Single()) {
        return 0;
    }
    const double split = std::sqrt(scan.classes.Mean(0) * scan.classes.Mean(1));
    const auto lengthOf = [&](int32_t at) { return m_p[static_cast<size_t>(at)] > split ? 1 : 0; };
    std::vector<float> periods[2];
    for (int32_t at = scan.start + 2 * kRangeSkipBits; at + 1 < scan.end;) {
        const int length = lengthOf(at);
        if (lengthOf(at + 1) != length) {
            ++at;
            continue;
        }
        periods[length].push_back(
            (m_p[static_cast<size_t>(at)] + m_p[static_cast<size_t>(at + 1)]) / 2.0F);
        at += 2;
    }
    Range ranges[2];
    for (int i = 0; i < 2; ++i) {
        const double mean = scan.classes.Mean(i);
        ranges[i] = TrimmedRange(std::move(periods[i]), scan.classes.Margin(mean));
    }
    // A bit: two pulses of one length whose period is in its range.
    const auto isBit = [&](int32_t at) {
        const float first = m_p[static_cast<size_t>(at)];
        const float second = m_p[static_cast<size_t>(at + 1)];
        const int length = lengthOf(at);
        return length == lengthOf(at + 1) && Even(first, second) &&
               ranges[length].Holds((first + second) / 2.0);
    };
    // The run of one length that starts at a bit's first pulse has an even number of pulses.
    const auto pairedRun = [&](int32_t from) {
        const int length = lengthOf(from);
        int32_t at = from;
        while (at < scan.end && at - from < kMaxPairedRun && lengthOf(at) == length) {
            ++at;
        }
        return (at - from) % 2 == 0 || at == scan.end || at - from >= kMaxPairedRun;
    };
    // Right after a silence the first edge comes a little early or late, and a played tape's
    // filters bend the first pulses: there two pulses nearer one bit length than the other will
    // do.
    if (scan.start == 0) {
        const int nearest = scan.classes.Nearest(m_p[0]);
        if (nearest >= 0 && nearest == scan.classes.Nearest(m_p[1]) && pairedRun(0)) {
            return 0;
        }
    }
    if (isBit(scan.start) && pairedRun(scan.start)) {
        return 0;
    }
    // Past the misfits the data starts with a few bits in range; where none do (a played tape's
    // uneven halves), the run stands as it is.
    const auto startsData = [&](int32_t from) {
        for (int32_t bit = 0; bit < kTightStartBits; ++bit) {
            const int32_t at = from + 2 * bit;
            if (at + 1 >= scan.end) {
                return bit > 0;
            }
            if (!isBit(at)) {
                return false;
            }
        }
        return pairedRun(from);
    };
    for (int32_t skip = 1; skip <= kMaxLeadingSkip && scan.start + skip + 1 < scan.end; ++skip) {
        if (startsData(scan.start + skip)) {
            return skip;
        }
    }
    return 0;
}

// Where a tone straight after the data begins, as a run of bits of one value: the last bits of
// the run whose period is nearer the tone's (as its last kToneBits give it) than the data's own
// length of that bit (as the bits before the run give it), when the two differ clearly. The scan's
// end when there is no such tone.
int32_t CBitRunReader::TrailingTone(const Scan& scan) const {
    const auto periodOf = [&](int32_t bit) {
        const auto at = static_cast<size_t>(scan.start + 2 * bit);
        return (m_p[at] + m_p[at + 1]) / 2.0;
    };
    const int32_t pairs = (scan.end - scan.start) / 2;
    if (pairs < kToneBits || scan.classes.Single()) {
        return scan.end;
    }
    const uint8_t value = scan.labels[static_cast<size_t>(pairs - 1)];
    int32_t runStart = pairs;
    while (runStart > 0 && scan.labels[static_cast<size_t>(runStart - 1)] == value) {
        --runStart;
    }
    if (pairs - runStart < kToneBits) {
        return scan.end;
    }
    double own = 0.0;
    int32_t ownCount = 0;
    for (int32_t bit = 0; bit < runStart; ++bit) {
        if (scan.labels[static_cast<size_t>(bit)] == value) {
            own += periodOf(bit);
            ++ownCount;
        }
    }
    double tone = 0.0;
    for (int32_t bit = pairs - kToneBits; bit < pairs; ++bit) {
        tone += periodOf(bit);
    }
    tone /= kToneBits;
    if (ownCount == 0) {
        return scan.end;
    }
    own /= ownCount;
    // A block of a byte or two shows few bits of a value, so their length is known less well (a
    // pilot straight after a 1-byte block a quarter longer than its 0-bit is still no run of it).
    const double apartShare = ownCount < kLearnPulses ? kFewBitsApartShare : kToneApartShare;
    if (std::fabs(tone - own) <= std::max(apartShare * own, kToneApartSamples * m_tPerSample)) {
        return scan.end;
    }
    int32_t cut = pairs;
    while (cut > runStart &&
           std::fabs(periodOf(cut - 1) - tone) < std::fabs(periodOf(cut - 1) - own)) {
        --cut;
    }
    return scan.start + 2 * cut;
}

// A played tape's band draws the edge between a 0-bit and a 1-bit towards one of them (several
// per cent of the bit at 3x the ROM's speed); edges between pulses of one length stay where they
// were, so a bit between two of its own value keeps its length. The time one value gains that
// way the other loses: where the means of all bits and of those alone differ by such a balance,
// the latter are the lengths. A renderer that puts edges on whole samples makes a run of one bit
// longer or shorter without a balance, and there the means of all bits are the true ones.
std::pair<double, double> CBitRunReader::BitLengths(const Scan& scan) const {
    const uint8_t singleBit = scan.classes.SingleWasLong() ? 1 : 0;
    const auto valueOf = [&](size_t bit) {
        return scan.labels[bit] == 2 ? singleBit : scan.labels[bit];
    };
    double steadySum[2] = {0.0, 0.0};
    int64_t steadyCount[2] = {0, 0};
    int64_t count[2] = {0, 0};
    for (size_t bit = 0; bit < scan.labels.size(); ++bit) {
        const uint8_t value = valueOf(bit);
        ++count[value];
        if (bit == 0 || bit + 1 == scan.labels.size() || valueOf(bit - 1) != value ||
            valueOf(bit + 1) != value) {
            continue;
        }
        const auto at = static_cast<size_t>(scan.start) + 2 * bit;
        const double period = (m_p[at] + m_p[at + 1]) / 2.0;
        // A crackle read as the nearer bit tells nothing of the length.
        if (scan.classes.Member(period) == value) {
            steadySum[value] += period;
            ++steadyCount[value];
        }
    }
    const double all[2] = {scan.classes.Mean(0), scan.classes.Mean(1)};
    if (steadyCount[0] < kLearnPulses || steadyCount[1] < kLearnPulses) {
        return {all[0], all[1]};
    }
    const double steady[2] = {steadySum[0] / static_cast<double>(steadyCount[0]),
                              steadySum[1] / static_cast<double>(steadyCount[1])};
    const double gained[2] = {static_cast<double>(count[0]) * (all[0] - steady[0]),
                              static_cast<double>(count[1]) * (all[1] - steady[1])};
    const bool balanced = gained[0] * gained[1] < 0.0 &&
                          std::fabs(gained[0] + gained[1]) <=
                              kLeanBalance * std::max(std::fabs(gained[0]), std::fabs(gained[1]));
    return balanced ? std::pair{steady[0], steady[1]} : std::pair{all[0], all[1]};
}

CBitRunReader::Scan CBitRunReader::WalkToTone(int32_t start) const {
    Scan scan = Walk(start);
    if (const int32_t toneStart = TrailingTone(scan); toneStart < scan.end) {
        scan = Walk(start, toneStart);
    }
    return scan;
}

std::optional<BitRun> CBitRunReader::Read(int32_t at, int32_t minPulses, bool allowSingle,
                                          bool fixedStart) const {
    Scan scan = WalkToTone(at);
    if (scan.end - scan.start < minPulses) {
        return std::nullopt;
    }
    if (const int32_t skip = fixedStart ? 0 : LeadingMisfits(scan); skip > 0) {
        scan = WalkToTone(at + skip);
        if (scan.end - scan.start < minPulses) {
            return std::nullopt;
        }
    }
    const bool single = scan.classes.Single();
    if (single && !allowSingle) {
        return std::nullopt;
    }
    const uint8_t singleBit = scan.classes.SingleWasLong() ? 1 : 0;
    BitRun run;
    run.first = scan.start;
    run.pulseCount = scan.end - scan.start;
    run.singleLength = single;
    if (single) {
        run.zero = scan.classes.Mean(0);
    } else {
        std::tie(run.zero, run.one) = BitLengths(scan);
    }
    run.bytes.assign((scan.labels.size() + 7) / 8, 0);
    uint8_t previous = 0;
    for (size_t i = 0; i < scan.labels.size(); ++i) {
        const uint8_t bit = scan.labels[i] == 2 ? singleBit : scan.labels[i];
        if (bit != 0) {
            run.bytes[i / 8] |= static_cast<uint8_t>(0x80U >> (i % 8));
        }
        run.classChanges += i > 0 && bit != previous ? 1 : 0;
        previous = bit;
    }
    const auto rest = static_cast<uint8_t>(scan.labels.size() % 8);
    run.usedBits = rest == 0 ? 8 : rest;
    DropStrayLastPulse(run);
    return run;
}

// A lone last pulse before a silence is a bit whose closing edge the silence took, or the line
// settling after the data (a played copy's band swings it back once). When it would start a byte
// of its own after whole bytes whose XOR is zero, as a loader's checksum leaves them, it is the
// line settling.
void CBitRunReader::DropStrayLastPulse(BitRun& run) {
    if (run.pulseCount % 2 == 0 || run.usedBits != 1 || run.bytes.size() < 3) {
        return;
    }
    uint8_t checksum = 0;
    for (size_t i = 0; i + 1 < run.bytes.size(); ++i) {
        checksum ^= run.bytes[i];
    }
    if (checksum != 0) {
        return;
    }
    const auto dropped = static_cast<uint8_t>(run.bytes.back() >> 7U);
    run.bytes.pop_back();
    run.classChanges -= dropped != (run.bytes.back() & 1U) ? 1 : 0;
    run.usedBits = 8;
    --run.pulseCount;
}
