#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "decoder/core/DecoderSettings.h"
#include "options/OptionsForm.h"

// The controls that a rejected check gives the keyboard focus to.
enum class OptionsControl {
    LeaderMin,
    LeaderMax,
    SyncMin,
    SyncMax,
    Data0Min,
    Data0Max,
    Data1Min,
    Data1Max,
    Filter,
    Delay,
    Decay,
    FromFile,
    BaseCount,
};

// "Base[.count]" read as a base name and, after the first dot, a count.
struct BaseCount {
    std::string baseName;
    std::optional<int32_t> count;  // nothing when the text has no dot
};

// Nothing when the text cannot name a dump series: an empty base name, or a dot not followed by
// a decimal count >= 0. Text after the count is ignored; only the first 255 characters count.
std::optional<BaseCount> ParseBaseCount(const std::string& text);

// The form's values once every check has passed, and what the dialog still has to settle with
// the file system and the user before storing them.
struct CheckedOptions {
    DecoderSettings settings;  // the settings as OK would apply them
    // The dump as OK would apply it: the series of the box only when a mode is switched on.
    DumpSettings dump;
    bool dumpSwitchingOn = false;  // dumping newly on: existing files of the series are asked about
    bool replaySwitchingOn = false;  // replaying newly on: the first file must exist
};

// The outcome of the checks: the control to focus on rejection, or the values to store.
struct OptionsVerdict {
    std::optional<OptionsControl> rejectedAt;
    CheckedOptions accepted;
};

// Runs the dialog's checks in their order against the settings and dump in force: the leader,
// sync, 0-bit and 1-bit ranges (min must be below max), filter and decay at most 100, not both
// debug modes, and a usable "Base[.count]" while a debug mode is ticked. A box whose text is not a
// number is rejected at the check that reads it.
OptionsVerdict CheckOptionsForm(const OptionsForm& form, const DecoderSettings& current,
                                const DumpSettings& currentDump = {});
