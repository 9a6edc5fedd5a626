#include "cli/DecoderOptions.h"

#include <cstdint>
#include <limits>
#include <string_view>

namespace {
constexpr int32_t kMaxPercent = 100;

// Digits only, as the dialog's boxes accept; empty text is kNotSet.
std::optional<int32_t> ParseNumber(std::string_view text) {
    if (text.empty()) {
        return kNotSet;
    }
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<int32_t>::max()) {
            return std::nullopt;
        }
    }
    return static_cast<int32_t>(value);
}

struct Range {
    int32_t min = 0;
    int32_t max = 0;
};

std::optional<Range> ParseRange(std::string_view text) {
    const size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    const auto min = ParseNumber(text.substr(0, colon));
    const auto max = ParseNumber(text.substr(colon + 1));
    if (!min || !max) {
        return std::nullopt;
    }
    return Range{*min, *max};
}

bool IsValuedOption(std::string_view name) {
    return name == "--filter" || name == "--delay" || name == "--decay" || name == "--leader" ||
           name == "--sync" || name == "--bit0" || name == "--bit1";
}

bool IsSwitch(std::string_view name) {
    return name == "--max-first" || name == "--robust" || name == "--archive" ||
           name == "--middle-vals" || name == "--no-middle-vals" || name == "--extern-vals" ||
           name == "--no-extern-vals";
}

std::optional<std::string> CheckRange(const char* option, int32_t min, int32_t max) {
    // A plain signed comparison, so an empty minimum (kNotSet) passes and an empty maximum fails.
    if (min >= max) {
        return std::string(option) + ": the minimum must be below the maximum";
    }
    return std::nullopt;
}

std::optional<std::string> CheckPercent(const char* option, int32_t value) {
    if (value > kMaxPercent) {
        return std::string(option) + ": at most 100";
    }
    return std::nullopt;
}
}  // namespace

CDecoderOptions::Outcome CDecoderOptions::Take(int argc, char** argv, int& index) {
    const std::string argument = argv[index];
    const size_t equals = argument.find('=');
    const std::string name = argument.substr(0, equals);
    if (IsSwitch(argument)) {
        ++index;
        return TakeSwitch(argument);
    }
    if (!IsValuedOption(name)) {
        return Outcome::NotDecoderOption;
    }
    if (equals != std::string::npos) {
        ++index;
        return TakeValued(name, argument.substr(equals + 1));
    }
    if (index + 1 >= argc) {
        return Fail(name + " needs a value");
    }
    index += 2;
    return TakeValued(name, argv[index - 1]);
}

CDecoderOptions::Outcome CDecoderOptions::TakeSwitch(const std::string& name) {
    if (name == "--max-first") {
        m_settings.maxFirst = true;
    } else if (name == "--robust") {
        // Archive mode holds robust mode's blocks: --archive wins, in whichever order.
        if (m_settings.mode != DecoderMode::Archive) {
            m_settings.mode = DecoderMode::Robust;
        }
    } else if (name == "--archive") {
        m_settings.mode = DecoderMode::Archive;
    } else if (name == "--middle-vals" || name == "--no-middle-vals") {
        m_settings.middleVals = name == "--middle-vals";
    } else {
        m_settings.externVals = name == "--extern-vals";
    }
    return Outcome::Taken;
}

CDecoderOptions::Outcome CDecoderOptions::TakeValued(const std::string& name,
                                                     const std::string& value) {
    const bool isRange =
        name == "--leader" || name == "--sync" || name == "--bit0" || name == "--bit1";
    if (!isRange) {
        const auto number = ParseNumber(value);
        if (!number) {
            return Fail(name + ": '" + value + "' is not a number (digits only)");
        }
        int32_t& field = name == "--filter"  ? m_settings.filterPercent
                         : name == "--delay" ? m_settings.delay
                                             : m_settings.decayPercent;
        field = *number;
        return Outcome::Taken;
    }
    const auto range = ParseRange(value);
    if (!range) {
        return Fail(name + ": '" + value + "' is not MIN:MAX (digits only)");
    }
    int32_t& min = name == "--leader" ? m_settings.leaderMin
                   : name == "--sync" ? m_settings.syncMin
                   : name == "--bit0" ? m_settings.data0Min
                                      : m_settings.data1Min;
    int32_t& max = name == "--leader" ? m_settings.leaderMax
                   : name == "--sync" ? m_settings.syncMax
                   : name == "--bit0" ? m_settings.data0Max
                                      : m_settings.data1Max;
    min = range->min;
    max = range->max;
    return Outcome::Taken;
}

CDecoderOptions::Outcome CDecoderOptions::Fail(const std::string& message) {
    m_error = message;
    return Outcome::Invalid;
}

std::optional<std::string> CDecoderOptions::Check() const {
    // The dialog's order: leader, sync, 0 bit, 1 bit, filter, decay. The delay is not checked.
    const DecoderSettings& s = m_settings;
    if (auto failure = CheckRange("--leader", s.leaderMin, s.leaderMax)) {
        return failure;
    }
    if (auto failure = CheckRange("--sync", s.syncMin, s.syncMax)) {
        return failure;
    }
    if (auto failure = CheckRange("--bit0", s.data0Min, s.data0Max)) {
        return failure;
    }
    if (auto failure = CheckRange("--bit1", s.data1Min, s.data1Max)) {
        return failure;
    }
    if (auto failure = CheckPercent("--filter", s.filterPercent)) {
        return failure;
    }
    return CheckPercent("--decay", s.decayPercent);
}

const char* CDecoderOptions::HelpText() {
    return "Decoder options (periods in samples at 22000/s; MIN must be below MAX):\n"
           "  --leader MIN:MAX     leader period range (default 18:36)\n"
           "  --sync MIN:MAX       sync period range (default 5:14)\n"
           "  --bit0 MIN:MAX       0-bit period range (default 5:14)\n"
           "  --bit1 MIN:MAX       1-bit period range (default 16:28)\n"
           "                       these four hold until the first block ends or a sync fails;\n"
           "                       then the defaults return, as in the desktop program\n"
           "  --max-first          take periods peak to peak (for a recording of the other\n"
           "                       polarity)\n"
           "  --filter N           noise filter in percent, at most 100 (default 55)\n"
           "  --delay N            samples the filter stays whole (default 6)\n"
           "  --decay N            filter decay in percent per sample, at most 100 (default 2)\n"
           "  --middle-vals, --no-middle-vals\n"
           "                       calibration may move the 0/1 boundary (default on)\n"
           "  --extern-vals, --no-extern-vals\n"
           "                       calibration may move the outer bit limits (default off)\n"
           "  --robust             robust mode for noisy, worn or inverted recordings: the signal\n"
           "                       is smoothed and levelled, and periods are taken both trough\n"
           "                       to trough and peak to peak (--max-first, --filter, --delay and\n"
           "                       --decay then do not apply)\n"
           "  --archive            archive mode: robust mode's blocks plus turbo blocks, tones,\n"
           "                       pulses, recordings and pauses with their timing, decoded at\n"
           "                       the input's own rate; a TZX output keeps them all\n";
}
