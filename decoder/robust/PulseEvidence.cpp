#include "decoder/robust/PulseEvidence.h"

#include <algorithm>
#include <cmath>

#include "decoder/core/BlockBuffer.h"
#include "decoder/core/BlockRecognizer.h"
#include "model/MachineConstants.h"

namespace {

constexpr double kPilotPulse = spectrum::kPilotPulse;
constexpr double kZeroPulse = spectrum::kZeroPulse;
constexpr double kOnePulse = spectrum::kOnePulse;

// The recognizer classifies the period that ends eight extremums before the newest one; the
// period `back` before that one ends two extremums earlier per step. Nothing when the history
// does not reach so far.
std::optional<int64_t> PeriodBack(const CBlockRecognizer& recognizer, int32_t back) {
    const CBlockRecognizer::ExtremumTimes& times = recognizer.GetExtremumTimes();
    const int32_t older = 10 + 2 * back;
    if (older >= times.Count() || older >= CBlockRecognizer::ExtremumTimes::Slots()) {
        return std::nullopt;
    }
    return times.At(-older + 2) - times.At(-older);
}

// Whether a period has the length of a ROM 0- or 1-bit against the pilot, within kRomBias.
bool HasBitLength(double period, double pilot) {
    for (const double pulse : {kZeroPulse, kOnePulse}) {
        const double expected = pilot * pulse / kPilotPulse;
        if (std::fabs(period - expected) <= CPulseEvidence::kRomBias * expected) {
            return true;
        }
    }
    return false;
}

// Bit `index` of the block, counted from its first bit; stray bits after the last byte follow.
int32_t BitAt(const CBlockBuffer& bytes, int32_t index) {
    const int32_t whole = 8 * bytes.Size();
    if (index < whole) {
        return (bytes.Data()[index / 8] >> (7 - index % 8)) & 1;
    }
    return (bytes.CurrentByte() >> (bytes.BitCount() - 1 - (index - whole))) & 1;
}

}  // namespace

void CPulseEvidence::TakeSync(const CBlockRecognizer& recognizer) {
    m_syncPeriodCount = 0;
    for (int32_t back = 0; back < kSyncPeriods; ++back) {
        const auto period = PeriodBack(recognizer, back);
        if (!period) {
            break;
        }
        m_syncPeriods[static_cast<size_t>(back)] = *period;
        ++m_syncPeriodCount;
    }
    // The median of the periods before those: bits read as pilot before a late sync, or a pulse
    // worn short, do not move it.
    std::array<int64_t, kPilotPeriods> pilot{};
    int32_t count = 0;
    for (int32_t back = 2; back < kPilotPeriods + 2; ++back) {
        const auto period = PeriodBack(recognizer, back);
        if (!period) {
            break;
        }
        pilot[static_cast<size_t>(count++)] = *period;
    }
    m_pilotPeriod = 0.0;
    if (count > 0) {
        auto middle = pilot.begin() + count / 2;
        std::nth_element(pilot.begin(), middle, pilot.begin() + count);
        m_pilotPeriod = static_cast<double>(*middle);
    }
}

std::optional<int64_t> CPulseEvidence::PeriodBeforeData(int32_t back) const {
    if (back < 0 || back >= m_syncPeriodCount) {
        return std::nullopt;
    }
    return m_syncPeriods[static_cast<size_t>(back)];
}

std::optional<int32_t> CPulseEvidence::BitBeforeData(int32_t back) const {
    const auto period = PeriodBeforeData(back);
    if (!period || m_pilotPeriod <= 0.0) {
        return std::nullopt;
    }
    const double share = static_cast<double>(*period) / m_pilotPeriod;
    constexpr double kShortest = kZeroPulse / kPilotPulse / 2.0;
    constexpr double kBetween = (kZeroPulse + kOnePulse) / 2.0 / kPilotPulse;
    if (share < kShortest || share >= kShortOfPilot) {
        return std::nullopt;
    }
    return share < kBetween ? 0 : 1;
}

bool CPulseEvidence::SyncCameLate() const {
    const auto before = PeriodBeforeData(1);
    return before && m_pilotPeriod > 0.0 &&
           static_cast<double>(*before) < kShortOfPilot * m_pilotPeriod;
}

std::optional<CPulseEvidence::RomFit> CPulseEvidence::FitToPilot(const CBlockRecognizer& recognizer,
                                                                 const CBlockBuffer& bytes) const {
    if (m_pilotPeriod <= 0.0) {
        return std::nullopt;
    }
    const int32_t bitCount = 8 * bytes.Size() + bytes.BitCount();
    const double zero = m_pilotPeriod * kZeroPulse / kPilotPulse;
    const double one = m_pilotPeriod * kOnePulse / kPilotPulse;
    // Each period's deviation from the length of its bit, relative to that length.
    std::array<double, kBitsJudged> deviations{};
    int32_t judged = 0;
    for (int32_t back = 0; back < std::min(bitCount, kBitsJudged); ++back) {
        // Back 0 is the period that ended the block; its bits come before it.
        const auto period = PeriodBack(recognizer, back + 1);
        if (!period) {
            break;
        }
        const double expected = BitAt(bytes, bitCount - 1 - back) != 0 ? one : zero;
        deviations[static_cast<size_t>(judged++)] =
            (static_cast<double>(*period) - expected) / expected;
    }
    if (judged == 0) {
        return std::nullopt;
    }
    // The median tells whether the bits are as long as the pilot says; the spread about it
    // whether they are of one length each.
    const auto end = deviations.begin() + judged;
    const auto middle = deviations.begin() + judged / 2;
    std::nth_element(deviations.begin(), middle, end);
    RomFit fit;
    fit.bias = *middle;
    for (auto it = deviations.begin(); it != end; ++it) {
        fit.spread += std::fabs(*it - fit.bias);
    }
    fit.spread /= judged;
    return fit;
}

bool CPulseEvidence::BitsHaveRomTiming(const CBlockRecognizer& recognizer,
                                       const CBlockBuffer& bytes) const {
    const auto fit = FitToPilot(recognizer, bytes);
    return !fit || (std::fabs(fit->bias) <= kRomBias && fit->spread <= kRomSpread);
}

bool CPulseEvidence::LedByPilot(const CBlockRecognizer& recognizer,
                                const CBlockBuffer& bytes) const {
    const auto fit = FitToPilot(recognizer, bytes);
    return !fit || std::fabs(fit->bias) <= kRomBias;
}

void CPulseEvidence::TakeEnd(const CBlockRecognizer& recognizer) {
    m_endExtremum = recognizer.GetExtremumTimes().Count() - 8;
}

std::optional<bool> CPulseEvidence::BitsWentOn(const CBlockRecognizer& recognizer,
                                               int64_t now) const {
    const CBlockRecognizer::ExtremumTimes& times = recognizer.GetExtremumTimes();
    const int64_t newest = times.Count();
    if (m_pilotPeriod <= 0.0 || newest - m_endExtremum >= times.Slots()) {
        return false;
    }
    // Extremum number n (counted from 1) as a position relative to the newest one.
    const auto at = [&](int64_t n) { return times.At(static_cast<int32_t>(n - newest)); };
    const int64_t ended = at(m_endExtremum);
    const auto watched = static_cast<int64_t>(kWatchPilots * m_pilotPeriod);
    int32_t run = 0;
    for (int64_t n = m_endExtremum + 2; n <= newest && at(n) - ended <= watched; n += 2) {
        run = HasBitLength(static_cast<double>(at(n) - at(n - 2)), m_pilotPeriod) ? run + 1 : 0;
        if (run >= kBitsGoingOn) {
            return true;
        }
    }
    if (now - ended <= watched) {
        return std::nullopt;
    }
    return false;
}
