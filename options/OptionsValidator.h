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
    DecoderSettings settings;      // the settings as OK would store them
    bool dumpSwitchingOn = false;  // dumping newly on: existing files of the series are asked about
    bool replaySwitchingOn = false;  // replaying newly on: the first file must exist
};

// The outcome of the checks: the control to focus on rejection, or the values to store.
struct OptionsVerdict {
    std::optional<OptionsControl> rejectedAt;
    CheckedOptions accepted;
};

// Runs the dialog's checks in their order against the settings in force: the leader, sync, 0-bit
// and 1-bit ranges (min must be below max), filter and decay at most 100, not both debug modes,
// and a usable "Base[.count]" while a debug mode is ticked. A box whose text is not a number is
// rejected at the check that reads it.
OptionsVerdict CheckOptionsForm(const OptionsForm& form, const DecoderSettings& current);

// Stores what OK stores into the live settings: the eleven numbers, the switches and modes, and the
// series only when a debug mode is being switched on. Fields that the decoder moves on its own
// meanwhile (the series count of a running replay) are otherwise left as they are.
void ApplyCheckedOptions(const CheckedOptions& checked, DecoderSettings& live);
