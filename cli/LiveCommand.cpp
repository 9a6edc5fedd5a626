#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "capture/PulseSources.h"
#include "capture/SoundCapture.h"
#include "capture/SoundInput.h"
#include "cli/Commands.h"
#include "cli/DecoderOptions.h"
#include "cli/LiveCaptureHost.h"
#include "cli/OutputCheck.h"
#include "cli/StopSignals.h"
#include "cli/TerminalOwner.h"
#include "decoder/SampleDecoder.h"
#include "tape/FileReplacer.h"
#include "tape/TapeImageWriter.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kWaitSlice = std::chrono::milliseconds(200);
constexpr auto kRetryInterval = std::chrono::seconds(1);

struct LiveArguments {
    CDecoderOptions decoder;
    std::string output;
    std::optional<long> seconds;
    bool help = false;
};

void PrintUsage(std::FILE* stream) {
    std::fputs(
        "Usage: tapewise-cli live [OPTIONS] [-o OUTPUT] [--seconds N]\n"
        "Listens to the default sound input and decodes it as the desktop program does.\n"
        "Every block that loads is listed on standard output; messages go to standard error.\n"
        "\n"
        "  -o OUTPUT            rewrite this TAP (or .tzx) image after every block that loads;\n"
        "                       checked at start: it must be writable, not hold a recording.\n"
        "                       When no block loads, OUTPUT is not written (an older OUTPUT\n"
        "                       stays as it was). A stream (-: standard output, a FIFO) is\n"
        "                       written once, at the end; with -, block lines go to standard\n"
        "                       error.\n"
        "  --seconds N          stop after N seconds (default: until Ctrl-C)\n"
        "\n",
        stream);
    std::fputs(CDecoderOptions::HelpText(), stream);
}

std::optional<long> ParseSeconds(const std::string& text) {
    if (text.empty() || text.size() > 9 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const long seconds = std::strtol(text.c_str(), nullptr, 10);
    return seconds > 0 ? std::optional<long>(seconds) : std::nullopt;
}

// Fills the arguments; returns a usage error message, or nothing.
std::optional<std::string> ParseArguments(int argc, char** argv, LiveArguments& arguments) {
    for (int index = 0; index < argc;) {
        switch (arguments.decoder.Take(argc, argv, index)) {
            case CDecoderOptions::Outcome::Taken:
                continue;
            case CDecoderOptions::Outcome::Invalid:
                return arguments.decoder.Error();
            case CDecoderOptions::Outcome::NotDecoderOption:
                break;
        }
        const std::string argument = argv[index++];
        if (argument == "--help" || argument == "-h") {
            arguments.help = true;
        } else if (argument == "-o" || argument == "--seconds") {
            if (index >= argc) {
                return "option " + argument + " needs a value";
            }
            const std::string value = argv[index++];
            if (argument == "-o") {
                arguments.output = OutputPath(value);
            } else if (!(arguments.seconds = ParseSeconds(value))) {
                return "--seconds needs a whole number of seconds above 0, not '" + value + "'";
            }
        } else if (argument.rfind("--seconds=", 0) == 0) {
            const std::string value = argument.substr(10);
            if (!(arguments.seconds = ParseSeconds(value))) {
                return "--seconds needs a whole number of seconds above 0, not '" + value + "'";
            }
        } else {
            return "unknown argument '" + argument + "'";
        }
    }
    if (!arguments.help) {
        if (auto failed = arguments.decoder.Check()) {
            return failed;
        }
    }
    return std::nullopt;
}

// Rewrites the output after each block that loads, so that a killed run keeps what it loaded.
// A stream cannot be rewritten (a second image would follow the first), so it is written once,
// at the end.
class OutputKeeper {
public:
    OutputKeeper(const std::string& path, const CTerminalOwner& owner)
        : m_path(path), m_owner(owner), m_stream(CFileReplacer(path).WritesInPlace()) {}

    void SaveIfGrown() {
        if (!m_stream) {
            SaveNow();
        }
    }
    void SaveAtEnd() { SaveNow(); }
    bool Failed() const { return m_failed; }

    // Says so when nothing was ever saved: an older file of the name is left as it was.
    void NoteIfNothingSaved() const {
        if (!m_path.empty() && m_savedCount == 0) {
            std::fprintf(stderr, "tapewise-cli: %s\n", NothingLoadedNote(m_path).c_str());
        }
    }

private:
    void SaveNow() {
        const size_t count = m_owner.Blocks().size();
        if (m_path.empty() || count == m_savedCount) {
            return;
        }
        m_savedCount = count;
        if (auto failed = SaveTapeImage(m_path, m_owner.Blocks())) {
            std::fprintf(stderr, "tapewise-cli: %s\n", failed->c_str());
            m_failed = true;
        }
    }

    std::string m_path;
    const CTerminalOwner& m_owner;
    bool m_stream = false;
    size_t m_savedCount = 0;
    bool m_failed = false;
};

// Hands every filled buffer to the capture until the time is up, the user interrupts or a
// buffer comes back out of sequence; while the input is lost, looks for it once a second.
void Listen(CSoundInput& input, CSoundCapture& capture, const CLiveCaptureHost& host,
            OutputKeeper& output, std::optional<long> seconds) {
    const Clock::time_point start = Clock::now();
    Clock::time_point lastRetry = start;
    while (StopSignal() == 0 && !host.Fatal()) {
        const Clock::time_point now = Clock::now();
        if (seconds && now - start >= std::chrono::seconds(*seconds)) {
            break;
        }
        if (WaveHeader* header = input.WaitFilled(kWaitSlice)) {
            capture.OnWimData(header);
            output.SaveIfGrown();
        } else if (capture.State() == CaptureState::Lost && now - lastRetry >= kRetryInterval) {
            lastRetry = now;
            capture.RetryLostInput();
        }
    }
}

}  // namespace

int RunLive(int argc, char** argv) {
    LiveArguments arguments;
    if (auto usageError = ParseArguments(argc, argv, arguments)) {
        std::fprintf(stderr, "tapewise-cli live: %s\n\n", usageError->c_str());
        PrintUsage(stderr);
        return kExitUsage;
    }
    if (arguments.help) {
        PrintUsage(stdout);
        return kExitDone;
    }

    if (!arguments.output.empty()) {
        if (auto refusal = CheckOutput(arguments.output, {})) {
            std::fprintf(stderr, "tapewise-cli: %s\n", refusal->c_str());
            return kExitFileError;
        }
    }
    CTerminalOwner owner(IsStandardOutput(arguments.output) ? stderr : stdout, stderr);
    const auto decoder = CSampleDecoder::Create(&owner, arguments.decoder.Settings());
    CSoundInput input;
    if (input.CountInputDevices() == 0) {
        if (const auto problem = FindPulseServerProblem()) {
            std::fprintf(stderr, "tapewise-cli: cannot reach the sound server: %s\n",
                         problem->c_str());
        } else {
            std::fputs("No sound input device on machine\n", stderr);
        }
        return kExitFileError;
    }
    CLiveCaptureHost host(*decoder, stderr);
    CSoundCapture capture(input, host);
    CatchStopSignals();
    capture.OpenSoundInput();
    if (!capture.IsOpen()) {
        return kExitFileError;
    }
    OutputKeeper output(arguments.output, owner);
    Listen(input, capture, host, output, arguments.seconds);
    capture.CloseSoundInput();
    decoder->EndSignal();
    output.SaveAtEnd();
    output.NoteIfNothingSaved();
    return host.Fatal() || output.Failed() ? kExitFileError : kExitDone;
}
