#pragma once

#include <array>
#include <cstdint>
#include <optional>

class CBlockBuffer;
class CBlockRecognizer;

// What the pulses around a block tell about where its bits came from, read from a decoder's
// extremum history. ROM timing ties every bit to the pilot: a 0-bit period is 1710/4336 of a
// pilot period and a 1-bit period 3420/4336, at whatever speed the tape plays. A pilot read as
// 1-bits after a false sync has periods a quarter too long for that, and a faster loader read at
// ROM speed has periods of two lengths where a run of 0-bits has one.
class CPulseEvidence {
public:
    static constexpr int32_t kPilotPeriods = 64;  // pilot periods measured before the sync
    static constexpr int32_t kSyncPeriods = 4;    // periods kept up to and including the sync
    static constexpr int32_t kBitsJudged = 256;   // bits of a block held against the pilot
    // Largest median deviation of the bit periods from their ROM length, relative to it: a
    // pilot read as 1-bits is 0.27 too long.
    static constexpr double kRomBias = 0.15;
    // Largest mean deviation of the bit periods from that median: a faster loader's 0- and
    // 1-bits read as ROM 0-bits spread by about 0.2.
    static constexpr double kRomSpread = 0.12;
    // A period before the sync at least this much shorter than the pilot's was no pilot.
    static constexpr double kShortOfPilot = 0.9;
    // How long after a block's end the signal is watched, in pilot periods, and how many periods
    // in a row of ROM bit length found there say that the block went on: a dropout breaks off a
    // few bits, the bits after it follow within a few milliseconds.
    static constexpr double kWatchPilots = 12.0;
    static constexpr int32_t kBitsGoingOn = 6;

    // At the sync (the recognizer has just entered its data state): measures the pilot and keeps
    // the periods that led up to the sync.
    void TakeSync(const CBlockRecognizer& recognizer);
    // The period `back` periods before the first data bit (0: the sync itself), if it was seen.
    std::optional<int64_t> PeriodBeforeData(int32_t back) const;
    // The bit that the period `back` periods before the first data bit was, judged against the
    // pilot (the limits may have been moved by calibration since): shorter than halfway from a
    // 0-bit to a 1-bit is 0, shorter than kShortOfPilot of the pilot 1; nothing for a pilot
    // period, a glitch or one not seen.
    std::optional<int32_t> BitBeforeData(int32_t back) const;
    // The period before the sync was shorter than the pilot: the sync was found late, on a bit
    // of the block, and the bits before it were read as pilot.
    bool SyncCameLate() const;
    // At the end of a block (its bits are in `bytes`, the period after them was just classified):
    // whether its last bits have the ROM's lengths against the pilot. True when no pilot was
    // measured, as there is nothing to hold them against.
    bool BitsHaveRomTiming(const CBlockRecognizer& recognizer, const CBlockBuffer& bytes) const;
    // Like BitsHaveRomTiming, but only whether the bits are as long as the pilot says, whatever
    // their spread: false when the "pilot" was a run of 1-bits inside a block, read as leader up
    // to a 0-bit taken for the sync, as the bits are then a quarter too long for it.
    bool LedByPilot(const CBlockRecognizer& recognizer, const CBlockBuffer& bytes) const;
    // At the end of a loaded block (the period after its bits was just classified): notes where
    // it ended, for BitsWentOn.
    void TakeEnd(const CBlockRecognizer& recognizer);
    // Whether ROM-timed bits went on right after the block's end: then a glitch broke the block
    // off at a byte boundary, and its bytes XOR to zero only by chance (often, in data as regular
    // as a screen's). A tape that ends a block stops, or plays a pilot. Nothing until the decoder
    // at sample time `now` has seen kWatchPilots pilot periods past the end; false when no pilot
    // was measured or the history no longer reaches back to the end.
    std::optional<bool> BitsWentOn(const CBlockRecognizer& recognizer, int64_t now) const;

private:
    struct RomFit {
        double bias = 0.0;    // median deviation of the bit periods from their ROM length
        double spread = 0.0;  // mean deviation from that median
    };
    // The block's last bits (up to kBitsJudged) held against the pilot; nothing when no pilot
    // was measured.
    std::optional<RomFit> FitToPilot(const CBlockRecognizer& recognizer,
                                     const CBlockBuffer& bytes) const;

    double m_pilotPeriod = 0.0;                         // in samples; 0 when none was measured
    std::array<int64_t, kSyncPeriods> m_syncPeriods{};  // [0] the sync, [1] the one before...
    int32_t m_syncPeriodCount = 0;
    int64_t m_endExtremum = 0;  // count of the extremum that closed the block's ending period
};
