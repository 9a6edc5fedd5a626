#include "options/OptionsValidator.h"

#include <charconv>

namespace {

constexpr size_t kMaxBaseText = 255;

using Verdict = OptionsVerdict;

Verdict Reject(OptionsControl control) {
    Verdict verdict;
    verdict.rejectedAt = control;
    return verdict;
}

// Reads a box into its field of `into`; false when the text is not a number.
bool ReadBox(const OptionsForm& form, NumericBox box, DecoderSettings& into) {
    const std::optional<int32_t> value = ParseSettingNumber(form.Number(box));
    if (!value) {
        return false;
    }
    SettingOf(into, box) = *value;
    return true;
}

// A min/max pair: the min must lie strictly below the max.
std::optional<OptionsControl> CheckRange(const OptionsForm& form, NumericBox minBox,
                                         OptionsControl minControl, NumericBox maxBox,
                                         OptionsControl maxControl, DecoderSettings& into) {
    if (!ReadBox(form, minBox, into)) {
        return minControl;
    }
    if (!ReadBox(form, maxBox, into)) {
        return maxControl;
    }
    if (SettingOf(into, minBox) >= SettingOf(into, maxBox)) {
        return minControl;
    }
    return std::nullopt;
}

std::optional<OptionsControl> CheckPercent(const OptionsForm& form, NumericBox box,
                                           OptionsControl control, DecoderSettings& into) {
    if (!ReadBox(form, box, into) || SettingOf(into, box) > 100) {
        return control;
    }
    return std::nullopt;
}

std::optional<OptionsControl> CheckNumbers(const OptionsForm& form, DecoderSettings& into) {
    using B = NumericBox;
    using C = OptionsControl;
    if (auto bad = CheckRange(form, B::LeaderMin, C::LeaderMin, B::LeaderMax, C::LeaderMax, into)) {
        return bad;
    }
    if (auto bad = CheckRange(form, B::SyncMin, C::SyncMin, B::SyncMax, C::SyncMax, into)) {
        return bad;
    }
    if (auto bad = CheckRange(form, B::Data0Min, C::Data0Min, B::Data0Max, C::Data0Max, into)) {
        return bad;
    }
    if (auto bad = CheckRange(form, B::Data1Min, C::Data1Min, B::Data1Max, C::Data1Max, into)) {
        return bad;
    }
    if (auto bad = CheckPercent(form, B::Filter, C::Filter, into)) {
        return bad;
    }
    // The delay has no upper bound, but it must still be a number.
    if (!ReadBox(form, B::Delay, into)) {
        return C::Delay;
    }
    return CheckPercent(form, B::Decay, C::Decay, into);
}

// Steps for the debug options: which series is used, and whether a mode is being switched on.
std::optional<OptionsControl> CheckDebug(const OptionsForm& form, const DumpSettings& current,
                                         CheckedOptions& checked) {
    if (form.fromFile && form.dump) {
        return OptionsControl::FromFile;
    }
    checked.dump.dump = form.dump;
    checked.dump.fromFile = form.fromFile;
    if (!form.fromFile && !form.dump) {
        return std::nullopt;
    }
    const std::optional<BaseCount> series = ParseBaseCount(form.baseCount);
    if (!series) {
        return OptionsControl::BaseCount;
    }
    checked.dumpSwitchingOn = form.dump && !current.dump;
    checked.replaySwitchingOn = form.fromFile && !current.fromFile;
    // The series changes only when a mode is switched on; a mode already running keeps its own.
    if (checked.dumpSwitchingOn || checked.replaySwitchingOn) {
        checked.dump.baseName = series->baseName;
        checked.dump.fileIndex = series->count.value_or(0);
    }
    return std::nullopt;
}

}  // namespace

std::optional<BaseCount> ParseBaseCount(const std::string& text) {
    const std::string limited = text.substr(0, kMaxBaseText);
    const size_t dot = limited.find('.');
    BaseCount parsed;
    parsed.baseName = limited.substr(0, dot);
    if (parsed.baseName.empty()) {
        return std::nullopt;
    }
    if (dot == std::string::npos) {
        return parsed;
    }
    int32_t count = 0;
    const char* first = limited.data() + dot + 1;
    const char* last = limited.data() + limited.size();
    const auto [end, error] = std::from_chars(first, last, count);
    if (error != std::errc{} || end == first || count < 0) {
        return std::nullopt;
    }
    parsed.count = count;
    return parsed;
}

OptionsVerdict CheckOptionsForm(const OptionsForm& form, const DecoderSettings& current,
                                const DumpSettings& currentDump) {
    Verdict verdict;
    verdict.accepted.settings = current;
    verdict.accepted.dump = currentDump;
    DecoderSettings& into = verdict.accepted.settings;
    if (auto bad = CheckNumbers(form, into)) {
        return Reject(*bad);
    }
    if (auto bad = CheckDebug(form, currentDump, verdict.accepted)) {
        return Reject(*bad);
    }
    into.maxFirst = form.maxFirst;
    into.mode = form.Mode();
    into.middleVals = form.middleVals;
    into.externVals = form.externVals;
    return verdict;
}
