#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "decoder/core/DecoderSettings.h"
#include "decoder/dump/DumpSettings.h"

// The numeric boxes of the Options dialog, in the order of the dialog's edit objects.
enum class NumericBox {
    Data0Min,
    Data0Max,
    Data1Min,
    Data1Max,
    LeaderMin,
    LeaderMax,
    SyncMin,
    SyncMax,
    Filter,
    Delay,
    Decay,
};
inline constexpr int kNumericBoxCount = 11;

// What the Options dialog's controls hold, as text and ticks, without any widget.
struct OptionsForm {
    std::array<std::string, kNumericBoxCount> numbers;
    bool maxFirst = false;
    bool robust = false;   // the "Robust" box
    bool archive = false;  // the "Archive" box; it wins when both are ticked
    bool middleVals = false;
    bool externVals = false;
    bool dump = false;
    bool fromFile = false;
    std::string baseCount;

    std::string& Number(NumericBox box) { return numbers[static_cast<size_t>(box)]; }
    const std::string& Number(NumericBox box) const { return numbers[static_cast<size_t>(box)]; }

    // The controls as the dialog fills them from the current settings; "Base[.count]" shows the
    // dump's next file.
    static OptionsForm FromSettings(const DecoderSettings& settings, const DumpSettings& dump = {});
    // The mode that the two mode boxes choose.
    DecoderMode Mode() const;
    // The Reset button's proposals: limits, wave processing (the modes off) and calibration
    // switches; the debug controls stay as they are.
    void ProposeReset();
};

// The value of a numeric box's field; the field order matches NumericBox.
int32_t& SettingOf(DecoderSettings& settings, NumericBox box);

// A numeric field as its box shows it: decimal, or empty for kNotSet.
std::string FormatSettingNumber(int32_t value);
// A numeric box read back: empty (or blank) gives kNotSet, otherwise the text's leading decimal
// integer. Nothing when the text does not begin with a number that fits 32 bits, which can only
// be pasted since typing accepts digits alone.
std::optional<int32_t> ParseSettingNumber(const std::string& text);
// "%s.%03d": the name of dump file `count` of a series.
std::string DumpFileName(const std::string& baseName, int32_t count);
