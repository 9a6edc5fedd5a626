#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/DecoderOptions.h"
#include "cli/OutputCheck.h"
#include "cli/ProgressBar.h"
#include "cli/StopSignals.h"
#include "cli/TerminalOwner.h"
#include "recording/RawFileSource.h"
#include "recording/RecordingDecode.h"
#include "tape/TapeImageWriter.h"

namespace {
constexpr int64_t kProgressScale = 1000000;
constexpr const char* kPrefix = "tapewise-cli decode: ";

constexpr const char* kUsage =
    "Usage: tapewise-cli decode [OPTIONS] INPUT... [-o OUTPUT]\n"
    "\n"
    "Decodes ZX Spectrum tape recordings into blocks. Several inputs are one continuous signal,\n"
    "in the order given. INPUT is an audio file (WAV, FLAC, AIFF, OGG; any rate and format), or\n"
    "raw unsigned 8-bit mono samples at 22000/s: a name ending in .raw, a dump file NAME.NNN, or\n"
    "any file with --raw.\n"
    "\n"
    "Standard output: one line per block or read error (Type, Sync, Length, Name, Expected,\n"
    "separated by tabs). Standard error: the decoder's status and log lines.\n"
    "\n"
    "  -o, --output FILE    write the loaded blocks: TZX when FILE ends in .tzx or .TZX, else "
    "TAP.\n"
    "                       FILE must not be an input nor hold a recording. When no block\n"
    "                       loads, FILE is not written (an older FILE stays as it was).\n"
    "                       FILE - (or /dev/stdout) writes a TAP to standard output; the\n"
    "                       block lines then go to standard error.\n"
    "  --raw                read every input as raw samples\n"
    "  --channel left|right use one channel of a stereo file (default: mix all channels)\n"
    "  --help               show this help\n"
    "  --version            show the version\n"
    "\n"
    "Ctrl-C (SIGINT), SIGTERM or SIGHUP stops decoding; the blocks loaded so far are still\n"
    "written.\n"
    "\n";

struct DecodeRequest {
    CDecoderOptions options;
    std::vector<std::string> inputs;
    std::string output;
    bool raw = false;
    ChannelChoice channel = ChannelChoice::Mix;
};

enum class ParseOutcome { Run, Help, Version, Usage };

int ReportUsage(const std::string& message) {
    std::fprintf(stderr, "%s%s\nTry 'tapewise-cli decode --help'.\n", kPrefix, message.c_str());
    return kExitUsage;
}

int ReportFileError(const std::string& path, const std::string& reason) {
    std::fprintf(stderr, "%s%s: %s\n", kPrefix, path.c_str(), reason.c_str());
    return kExitFileError;
}

// Takes the value of an option that needs one; false when it is missing.
bool TakeValue(int argc, char** argv, int& index, std::string& value) {
    const std::string argument = argv[index];
    if (const size_t equals = argument.find('='); equals != std::string::npos) {
        value = argument.substr(equals + 1);
        ++index;
        return true;
    }
    if (index + 1 >= argc) {
        return false;
    }
    value = argv[index + 1];
    index += 2;
    return true;
}

bool IsOption(const std::string& argument, const char* name) {
    return argument == name || argument.rfind(std::string(name) + "=", 0) == 0;
}

ParseOutcome TakeCommandOption(int argc, char** argv, int& index, DecodeRequest& request,
                               std::string& error) {
    const std::string argument = argv[index];
    std::string value;
    if (argument == "--help" || argument == "-h") {
        return ParseOutcome::Help;
    }
    if (argument == "--version") {
        return ParseOutcome::Version;
    }
    if (argument == "--raw") {
        request.raw = true;
        ++index;
        return ParseOutcome::Run;
    }
    if (IsOption(argument, "-o") || IsOption(argument, "--output")) {
        if (!TakeValue(argc, argv, index, value) || value.empty()) {
            error = argument + " needs a file name";
            return ParseOutcome::Usage;
        }
        request.output = OutputPath(value);
        return ParseOutcome::Run;
    }
    if (IsOption(argument, "--channel")) {
        if (!TakeValue(argc, argv, index, value) || (value != "left" && value != "right")) {
            error = "--channel takes left or right";
            return ParseOutcome::Usage;
        }
        request.channel = value == "left" ? ChannelChoice::Left : ChannelChoice::Right;
        return ParseOutcome::Run;
    }
    error = "unknown option '" + argument + "'";
    return ParseOutcome::Usage;
}

ParseOutcome ParseArguments(int argc, char** argv, DecodeRequest& request, std::string& error) {
    bool optionsEnded = false;
    for (int index = 0; index < argc;) {
        const std::string argument = argv[index];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            request.inputs.push_back(argument);
            ++index;
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
            ++index;
            continue;
        }
        const auto taken = request.options.Take(argc, argv, index);
        if (taken == CDecoderOptions::Outcome::Invalid) {
            error = request.options.Error();
            return ParseOutcome::Usage;
        }
        if (taken == CDecoderOptions::Outcome::NotDecoderOption) {
            const auto outcome = TakeCommandOption(argc, argv, index, request, error);
            if (outcome != ParseOutcome::Run) {
                return outcome;
            }
        }
    }
    if (request.inputs.empty()) {
        error = "no input given";
        return ParseOutcome::Usage;
    }
    if (auto failure = request.options.Check()) {
        error = *failure;
        return ParseOutcome::Usage;
    }
    return ParseOutcome::Run;
}

std::vector<RecordingInput> InputsOf(const DecodeRequest& request) {
    std::vector<RecordingInput> inputs;
    for (const std::string& path : request.inputs) {
        inputs.push_back({path, request.raw || CRawFileSource::IsRawName(path)});
    }
    return inputs;
}

// Tells how an input ended: a failure, what is missing from it, or that it held nothing. False
// when the input could not be read whole. Once a stop signal came, a read it broke off is no
// failure.
bool ReportInputEnd(const InputEnd& end, CProgressBar& progress) {
    progress.Clear();
    if (end.openFailure) {
        ReportFileError(end.path, *end.openFailure);
        return false;
    }
    if (end.readFailure) {
        if (StopSignal() == 0) {
            ReportFileError(end.path, "read failed: " + *end.readFailure);
            return false;
        }
        return true;
    }
    if (end.samples == 0 && StopSignal() == 0 && !end.truncated && !end.damaged) {
        std::fprintf(stderr, "%s%s: no samples in it\n", kPrefix, end.path.c_str());
    }
    for (const std::string& note : end.notes) {
        std::fprintf(stderr, "%s%s: %s\n", kPrefix, end.path.c_str(), note.c_str());
    }
    return !end.damaged && !end.truncated;
}

// Writes what has loaded; when nothing has, an existing file is left as it was.
bool SaveBlocks(const std::string& output, const std::vector<TapeItem>& blocks) {
    if (output.empty()) {
        return true;
    }
    if (blocks.empty()) {
        std::fprintf(stderr, "%s%s\n", kPrefix, NothingLoadedNote(output).c_str());
        return true;
    }
    if (auto failure = SaveTapeImage(output, blocks)) {
        std::fprintf(stderr, "%s%s\n", kPrefix, failure->c_str());
        return false;
    }
    if (auto unkept = DescribeUnkept(output, blocks)) {
        std::fprintf(stderr, "%s%s\n", kPrefix, unkept->c_str());
    }
    return true;
}

int Decode(const DecodeRequest& request) {
    if (!request.output.empty()) {
        if (auto refusal = CheckOutput(request.output, request.inputs)) {
            std::fprintf(stderr, "%s%s\n", kPrefix, refusal->c_str());
            return kExitFileError;
        }
    }
    CProgressBar progress(stderr);
    CTerminalOwner owner(IsStandardOutput(request.output) ? stderr : stdout, stderr);
    owner.SetProgressBar(&progress);
    CRecordingDecode session(&owner, request.options.Settings(), request.channel);
    const std::vector<InputFailure> failures = session.OpenAll(InputsOf(request));
    for (const InputFailure& failure : failures) {
        ReportFileError(failure.path, failure.reason);
    }
    if (!failures.empty()) {
        return kExitFileError;
    }
    CatchStopSignals();
    int status = kExitDone;
    session.SetInputEndHook([&](const InputEnd& end) {
        if (!ReportInputEnd(end, progress)) {
            status = kExitFileError;
        }
    });
    session.SetStopRequest([] { return StopSignal() != 0; });
    while (session.DecodeFor(std::chrono::steady_clock::duration::zero())) {
        progress.Show(std::llround(session.Progress() * kProgressScale), kProgressScale);
    }
    progress.Clear();
    if (!SaveBlocks(request.output, owner.Blocks())) {
        status = kExitFileError;
    }
    if (const int signal = StopSignal(); signal != 0) {
        std::fprintf(stderr, "%sstopped (%s)\n", kPrefix, strsignal(signal));
        EndByStopSignal(signal);
    }
    return status;
}
}  // namespace

int RunDecode(int argc, char** argv) {
    DecodeRequest request;
    std::string error;
    switch (ParseArguments(argc, argv, request, error)) {
        case ParseOutcome::Help:
            std::fputs(kUsage, stdout);
            std::fputs(CDecoderOptions::HelpText(), stdout);
            return kExitDone;
        case ParseOutcome::Version:
            std::puts("tapewise-cli " TAPEWISE_VERSION);
            return kExitDone;
        case ParseOutcome::Usage:
            return ReportUsage(error);
        case ParseOutcome::Run:
            break;
    }
    return Decode(request);
}
