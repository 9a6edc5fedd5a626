#pragma once

#include <optional>
#include <string>

#include "decoder/core/DecoderSettings.h"

// The decoder options of the decode and live commands: --robust, --archive, --max-first, --filter
// N,
// --delay N, --decay N, --middle-vals/--no-middle-vals, --extern-vals/--no-extern-vals and the
// pulse limits
// --leader, --sync, --bit0, --bit1 as MIN:MAX. Numbers are decimal digits; an empty number means
// "left empty" (kNotSet), as an empty box of the Options dialog does. A value follows its option
// as the next argument or after '=' (--filter=60).
class CDecoderOptions {
public:
    enum class Outcome {
        NotDecoderOption,  // the argument is someone else's; index unchanged
        Taken,             // applied; index moved past the option and its value
        Invalid            // a decoder option with a missing or malformed value; see Error()
    };

    // Looks at argv[index]. When it is a decoder option, applies it to the settings.
    Outcome Take(int argc, char** argv, int& index);

    // The Options dialog's checks on what was given: each minimum below its maximum, filter and
    // decay at most 100. Returns the first failure as a message, or nothing when all pass.
    std::optional<std::string> Check() const;

    const DecoderSettings& Settings() const { return m_settings; }
    const std::string& Error() const { return m_error; }

    // The --help lines of these options, each ending in a newline.
    static const char* HelpText();

private:
    Outcome TakeSwitch(const std::string& name);
    Outcome TakeValued(const std::string& name, const std::string& value);
    Outcome Fail(const std::string& message);

    DecoderSettings m_settings;
    std::string m_error;
};
