#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "decoder/core/BlockBuffer.h"
#include "decoder/core/DecoderSettings.h"
#include "decoder/core/FastRing.h"
#include "decoder/core/PulseLimits.h"
#include "decoder/core/SignalReading.h"
#include "model/TapeSpan.h"

class CTapeDecoder;

// Turns the stream of extremum times from the tracker into tape blocks: measures full periods
// between extremums of the same kind, keeps a sliding period histogram for the calibration, and
// runs leader -> sync -> data. A block whose bytes XOR to zero is reported loaded, with its span
// from the start of its leader; any other ending is a read error or a bad sync, reported with a
// snapshot of the signal.
class CBlockRecognizer {
public:
    static constexpr int32_t kHistogramBins = 50;
    // Extremum times kept; the deepest look-back is 252 entries.
    static constexpr int32_t kExtremumTimeCapacity = 1000;

    enum class State { kSearching, kLeader, kData };

    explicit CBlockRecognizer(CTapeDecoder* decoder);
    CBlockRecognizer(const CBlockRecognizer&) = delete;
    CBlockRecognizer& operator=(const CBlockRecognizer&) = delete;
    virtual ~CBlockRecognizer() = default;

    // An accepted extremum at sample time t; times come in order, alternating peak and trough,
    // starting with a peak. Inline: it runs for every extremum, and mostly only counts.
    void OnExtremum(int64_t t) {
        m_parity = 1 - m_parity;
        m_extremumTimes.Push(t);
        const int64_t count = m_extremumTimes.Count();
        if (count <= 2) {
            return;
        }
        CountPeriod(t - m_extremumTimes.At(-2), +1);
        if (count <= 252) {
            return;
        }
        CountPeriod(m_extremumTimes.At(-250) - m_extremumTimes.At(-252), -1);
        if (ClassifiesThisExtremum()) {
            ClassifyNewest();
        }
    }
    // The tracker's filter moved the newest extremum to the later time t.
    void MoveLastExtremum(int64_t t);

    // Reads the clusters of the recent period histogram: 0 silence or noise, 1 a leader tone,
    // 2 data in the bit ranges (after any adjustment made), 3 an adjustment that is not allowed
    // now. Moves the bit limits by one sample per cluster only while m_calibrationArmed is set;
    // the first call that gets that far disarms it.
    SignalReading Calibrate();

    // The pulse limits in force: those configured, moved by the calibration, back to the defaults
    // after every block and every rejected sync.
    const PulseLimits& Limits() const { return m_limits; }
    // The user applied new limits: they hold from now until the current block ends.
    void SetLimits(const PulseLimits& limits) { m_limits = limits; }

    State GetState() const { return m_state; }
    bool InLeader() const { return m_state == State::kLeader; }
    bool InData() const { return m_state == State::kData; }
    int32_t LeaderPeriods() const { return m_leaderPeriods; }
    int32_t Parity() const { return m_parity; }
    bool CalibrationArmed() const { return m_calibrationArmed; }
    void ArmCalibration() { m_calibrationArmed = true; }
    const CBlockBuffer& Bytes() const { return m_bytes; }
    // Count of periods of `period` samples (0 to 49) in the table of `parity` (0 peaks, 1 troughs).
    int32_t HistogramCount(int32_t parity, int32_t period) const {
        return m_periodHistogram[static_cast<std::size_t>(parity)]
                                [static_cast<std::size_t>(period)];
    }
    // Sets a count directly, for tests of the calibration and for tools that replay a histogram.
    void SetHistogramCount(int32_t parity, int32_t period, int32_t count) {
        m_periodHistogram[static_cast<std::size_t>(parity)][static_cast<std::size_t>(period)] =
            count;
    }
    using ExtremumTimes = FastRing<int64_t, 1024>;
    const ExtremumTimes& GetExtremumTimes() const { return m_extremumTimes; }

private:
    void CountPeriod(int64_t period, int32_t delta) {
        // Periods never run backwards; the unsigned test also keeps a negative one out.
        if (static_cast<uint64_t>(period) < static_cast<uint64_t>(kHistogramBins)) {
            m_periodHistogram[static_cast<std::size_t>(m_parity)]
                             [static_cast<std::size_t>(period)] += delta;
        }
    }
    // Troughs end the periods that line up with the bits, or peaks for a recording of the other
    // polarity.
    bool ClassifiesThisExtremum() const {
        return m_pSettings->maxFirst ? m_parity == 0 : m_parity == 1;
    }
    void ClassifyNewest();
    void ClassifyData(int64_t period, int64_t start);
    void ClassifyLeader(int64_t period, int64_t start);
    bool TakeBit(int64_t period);
    void BlockLoaded(int64_t end);
    void ReadError(int64_t period, int64_t start);
    void BadSync(int64_t period);
    TapeSpan SpanTo(int64_t end) const;
    void ResetLimits() { m_limits = PulseLimits{}; }

    CTapeDecoder* m_pDecoder;
    const DecoderSettings* m_pSettings;  // the decoder's
    PulseLimits m_limits;
    CBlockBuffer m_bytes;
    std::array<std::array<int32_t, kHistogramBins>, 2> m_periodHistogram{};
    ExtremumTimes m_extremumTimes;
    int32_t m_parity = 1;
    State m_state = State::kSearching;
    int32_t m_leaderPeriods = 0;
    int64_t m_leaderStart = 0;  // of the leader being read, or of the block it led to
    bool m_calibrationArmed = false;
};
