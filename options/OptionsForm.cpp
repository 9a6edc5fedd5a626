#include "options/OptionsForm.h"

#include <cctype>
#include <charconv>
#include <cstdio>

namespace {

// Reset proposals, in NumericBox order. Delay and decay are the decoder's own defaults.
constexpr std::array<int32_t, kNumericBoxCount> kResetProposals = {5, 14, 16, 28, 18, 36,
                                                                   5, 14, 55, 6,  2};

size_t SkipBlanks(const std::string& text, size_t at) {
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at])) != 0) {
        ++at;
    }
    return at;
}

}  // namespace

int32_t& SettingOf(DecoderSettings& settings, NumericBox box) {
    switch (box) {
        case NumericBox::Data0Min:
            return settings.data0Min;
        case NumericBox::Data0Max:
            return settings.data0Max;
        case NumericBox::Data1Min:
            return settings.data1Min;
        case NumericBox::Data1Max:
            return settings.data1Max;
        case NumericBox::LeaderMin:
            return settings.leaderMin;
        case NumericBox::LeaderMax:
            return settings.leaderMax;
        case NumericBox::SyncMin:
            return settings.syncMin;
        case NumericBox::SyncMax:
            return settings.syncMax;
        case NumericBox::Filter:
            return settings.filterPercent;
        case NumericBox::Delay:
            return settings.delay;
        case NumericBox::Decay:
            break;
    }
    return settings.decayPercent;
}

OptionsForm OptionsForm::FromSettings(const DecoderSettings& settings, const DumpSettings& dump) {
    OptionsForm form;
    DecoderSettings copy = settings;
    for (int i = 0; i < kNumericBoxCount; ++i) {
        const auto box = static_cast<NumericBox>(i);
        form.Number(box) = FormatSettingNumber(SettingOf(copy, box));
    }
    form.maxFirst = settings.maxFirst;
    form.robust = settings.mode == DecoderMode::Robust;
    form.archive = settings.mode == DecoderMode::Archive;
    form.middleVals = settings.middleVals;
    form.externVals = settings.externVals;
    form.baseCount = DumpFileName(dump.baseName, dump.fileIndex);
    form.fromFile = dump.fromFile;
    form.dump = dump.dump;
    return form;
}

DecoderMode OptionsForm::Mode() const {
    if (archive) {
        return DecoderMode::Archive;
    }
    return robust ? DecoderMode::Robust : DecoderMode::Plain;
}

void OptionsForm::ProposeReset() {
    for (size_t i = 0; i < numbers.size(); ++i) {
        numbers[i] = FormatSettingNumber(kResetProposals[i]);
    }
    maxFirst = false;
    robust = false;
    archive = false;
    middleVals = true;
    externVals = false;
}

std::string FormatSettingNumber(int32_t value) {
    if (value == kNotSet) {
        return {};
    }
    return std::to_string(value);
}

std::optional<int32_t> ParseSettingNumber(const std::string& text) {
    const size_t start = SkipBlanks(text, 0);
    if (start == text.size()) {
        return kNotSet;
    }
    size_t digits = start;
    if (text[digits] == '+') {
        ++digits;  // from_chars takes a minus sign but not a plus sign
    }
    int32_t value = 0;
    const char* first = text.data() + digits;
    const char* last = text.data() + text.size();
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc{} || end == first) {
        return std::nullopt;
    }
    return value;
}

std::string DumpFileName(const std::string& baseName, int32_t count) {
    char number[16];
    std::snprintf(number, sizeof number, ".%03d", count);
    return baseName + number;
}
