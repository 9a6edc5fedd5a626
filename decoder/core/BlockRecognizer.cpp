#include "decoder/core/BlockRecognizer.h"

#include <cstdint>
#include <limits>

#include "decoder/core/PulseRange.h"
#include "decoder/core/TapeDecoder.h"
#include "decoder/dump/CaptureRate.h"

namespace {

bool InRange(int64_t period, int32_t minimum, int32_t maximum) {
    return (minimum <= period) & (period <= maximum);
}

// A calibration step of one sample that cannot overflow, whatever a limit was set to.
void Nudge(int32_t& limit, int32_t delta) {
    const int64_t moved = static_cast<int64_t>(limit) + delta;
    if (moved >= std::numeric_limits<int32_t>::min() &&
        moved <= std::numeric_limits<int32_t>::max()) {
        limit = static_cast<int32_t>(moved);
    }
}

struct Cluster {
    int32_t start = 0;
    int32_t end = 0;
};

}  // namespace

CBlockRecognizer::CBlockRecognizer(CTapeDecoder* decoder)
    : m_pDecoder(decoder), m_pSettings(&decoder->Settings()), m_limits(decoder->Settings()) {}

void CBlockRecognizer::ClassifyNewest() {
    // Classification runs four periods behind the signal.
    const int64_t start = m_extremumTimes.At(-10);
    const int64_t period = m_extremumTimes.At(-8) - start;
    if (m_state == State::kData) {
        ClassifyData(period, start);
    } else {
        ClassifyLeader(period, start);
    }
}

void CBlockRecognizer::MoveLastExtremum(int64_t t) {
    const int64_t count = m_extremumTimes.Count();
    if (count == 0) {
        return;
    }
    if (count > 2) {
        const int64_t before = m_extremumTimes.At(-2);
        CountPeriod(m_extremumTimes.At(0) - before, -1);
        CountPeriod(t - before, +1);
    }
    m_extremumTimes.At(0) = t;
}

bool CBlockRecognizer::TakeBit(int64_t period) {
    const PulseLimits& s = m_limits;
    // Both tests are made every time, so that a random mix of 0 and 1 bits costs no missed
    // branch; the 0 range wins where the ranges overlap.
    const bool zero = InRange(period, s.data0Min, s.data0Max);
    const bool one = InRange(period, s.data1Min, s.data1Max);
    if (!(zero | one)) {
        return false;
    }
    m_bytes.AddBit(zero ? 0 : 1);
    return true;
}

void CBlockRecognizer::ClassifyData(int64_t period, int64_t start) {
    if (TakeBit(period)) {
        return;
    }
    if (m_bytes.IsComplete()) {
        BlockLoaded(start);
        return;
    }
    if (m_pSettings->middleVals || m_pSettings->externVals) {
        // One calibration per period, then the same period against the nudged limits.
        m_calibrationArmed = true;
        Calibrate();
        if (TakeBit(period)) {
            return;
        }
        if (m_bytes.IsComplete()) {
            BlockLoaded(start);
            return;
        }
    }
    ReadError(period, start);
}

void CBlockRecognizer::ClassifyLeader(int64_t period, int64_t start) {
    const PulseLimits& s = m_limits;
    if (InRange(period, s.leaderMin, s.leaderMax)) {
        if (m_state != State::kLeader) {
            m_state = State::kLeader;
            m_leaderPeriods = 0;
            m_leaderStart = start;
        }
        if (m_leaderPeriods < std::numeric_limits<int32_t>::max()) {
            ++m_leaderPeriods;
        }
        return;
    }
    if (m_leaderPeriods > s.leaderCount) {
        if (InRange(period, s.syncMin, s.syncMax)) {
            m_state = State::kData;
            m_pDecoder->Report(record::SyncFound{});
        } else {
            BadSync(period);
        }
    }
    // A leader run that ends is forgotten, whether or not a sync followed it.
    m_leaderPeriods = 0;
    if (m_state == State::kLeader) {
        m_state = State::kSearching;
    }
}

void CBlockRecognizer::BlockLoaded(int64_t end) {
    ResetLimits();
    record::BlockLoaded loaded;
    loaded.item.body = RomBlock{{m_bytes.Data(), m_bytes.Data() + m_bytes.Size()}};
    loaded.item.span = SpanTo(end);
    m_pDecoder->Report(loaded);
    m_bytes.Clear();
    m_state = State::kSearching;
}

// From the start of the leader that led to the block being read to `end`, in samples fed.
TapeSpan CBlockRecognizer::SpanTo(int64_t end) const {
    return TapeSpan{m_leaderStart + m_pDecoder->UncountedSamples(), end - m_leaderStart,
                    kCaptureRate};
}

void CBlockRecognizer::ReadError(int64_t period, int64_t start) {
    record::ReadError error;
    error.at = start;
    error.period = period;
    error.bytesRead = m_bytes.Size();
    error.bitsRead = m_bytes.BitCount();
    error.firstByte = error.bytesRead > 0 ? m_bytes.Data()[0] : -1;
    error.span = SpanTo(start);
    error.scene = m_pDecoder->CaptureErrorScene();
    m_pDecoder->Report(error);
    ResetLimits();
    m_bytes.Clear();
    m_state = State::kSearching;
}

void CBlockRecognizer::BadSync(int64_t period) {
    m_pDecoder->Report(record::BadSync{period, m_leaderPeriods, m_pDecoder->CaptureErrorScene()});
    ResetLimits();
}

SignalReading CBlockRecognizer::Calibrate() {
    PulseLimits& s = m_limits;
    const auto& table = m_periodHistogram[m_pSettings->maxFirst ? 0 : 1];

    // Clusters of neighbouring non-empty bins, in order of period.
    std::array<Cluster, kHistogramBins> clusters{};
    int32_t clusterCount = 0;
    float sum = 0.0f;
    int32_t start = 0;
    for (int32_t i = 0; i < kHistogramBins; ++i) {
        // A table holds 125 periods, so each count is a share of 1/125.
        const float share = static_cast<float>(table[static_cast<size_t>(i)] * 2) * 0.004f;
        if (share > 0.0f) {
            if (sum < 0.0001) {
                start = i;
            }
            sum += share;
        } else if (sum > 0.0001) {
            // More than a tenth of all periods shorter than 3 samples is noise, not a tape.
            if (sum > 0.1 && start < 3) {
                return SignalReading::Nothing;
            }
            clusters[static_cast<size_t>(clusterCount++)] = Cluster{start, i - 1};
            sum = 0.0f;
        }
    }
    if (clusterCount == 0) {
        return SignalReading::Nothing;
    }
    if (clusterCount == 1 && clusters[0].start >= s.leaderMin) {
        return SignalReading::Leader;
    }

    const bool armed = m_calibrationArmed;
    m_calibrationArmed = false;
    const bool middle = armed && m_pSettings->middleVals;
    const bool outer = armed && m_pSettings->externVals;
    bool changed = false;
    for (int32_t k = 0; k < clusterCount; ++k) {
        const Cluster& cluster = clusters[static_cast<size_t>(k)];
        const PulseRange range(cluster.start, cluster.end);
        const int against0 = range.Compare(PulseRange(s.data0Min, s.data0Max));
        const int against1 = range.Compare(PulseRange(s.data1Min, s.data1Max));
        if (against0 == PulseRange::kBelow || against0 == PulseRange::kEndsInside) {
            if (!outer) {
                return SignalReading::Unchanged;
            }
            Nudge(s.data0Min, -1);
            changed = true;
        } else if (against0 == PulseRange::kInside) {
            continue;
        } else if (against0 == PulseRange::kStartsInside) {
            if (against1 != PulseRange::kBelow || !middle) {
                return SignalReading::Unchanged;
            }
            Nudge(s.data0Max, +1);
            Nudge(s.data1Min, +1);
            changed = true;
        } else if (against0 == PulseRange::kAbove && against1 == PulseRange::kInside) {
            continue;
        } else if (against0 == PulseRange::kAbove && against1 == PulseRange::kBelow) {
            // Between the two ranges: lean towards the nearer neighbour.
            if (!middle) {
                return SignalReading::Unchanged;
            }
            const int32_t below = cluster.start - (k == 0 ? s.data0Max : clusters[k - 1].end);
            const int32_t above =
                (k == clusterCount - 1 ? s.data1Min : clusters[k + 1].start) - cluster.end;
            if (below == above) {
                return SignalReading::Unchanged;
            }
            const int32_t step = below < above ? +1 : -1;
            Nudge(s.data0Max, step);
            Nudge(s.data1Min, step);
            changed = true;
        } else if (against0 == PulseRange::kAbove && against1 == PulseRange::kEndsInside) {
            if (!middle) {
                return SignalReading::Unchanged;
            }
            Nudge(s.data0Max, -1);
            Nudge(s.data1Min, -1);
            changed = true;
        } else if (against0 == PulseRange::kCovers && against1 >= PulseRange::kStartsInside) {
            return SignalReading::Unchanged;
        } else {
            // Above R0 and reaching past R1, or covering R0 and not past R1: widen the 1 range.
            if (!middle || !outer) {
                return SignalReading::Unchanged;
            }
            Nudge(s.data0Max, -1);
            Nudge(s.data1Min, -1);
            Nudge(s.data1Max, +1);
            changed = true;
        }
    }
    m_calibrationArmed = false;
    if (changed) {
        m_pDecoder->Report(record::Calibration{s.data0Min, s.data0Max, s.data1Min, s.data1Max});
    }
    return SignalReading::Data;
}
