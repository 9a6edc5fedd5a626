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
#include "cli/RawFileSource.h"
#include "cli/StopSignals.h"
#include "cli/TerminalOwner.h"
#include "decoder/SampleDecoder.h"
#include "recording/AudioFileSource.h"
#include "recording/AudioFileTypes.h"
#include "recording/BufferFeeder.h"
#include "tape/TapeImageWriter.h"

namespace {
constexpr int64_t kProgressScale = 1000000;
// Inputs held open from the check to their turn; regular files beyond these are opened again.
constexpr size_t kMaxHeldInputs = 256;
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

// Opens one input as raw samples or as audio; on failure, reason says why.
std::unique_ptr<CSampleSource> OpenInput(const std::string& path, const DecodeRequest& request,
                                         std::string& reason) {
    if (request.raw || CRawFileSource::IsRawName(path)) {
        auto source = std::make_unique<CRawFileSource>();
        if (auto failure = source->Open(path)) {
            reason = *failure;
            return nullptr;
        }
        return source;
    }
    auto source = std::make_unique<CAudioFileSource>(request.channel);
    if (request.options.Settings().mode == DecoderMode::Archive) {
        source->KeepOwnRate();
    }
    if (auto failure = source->Open(path)) {
        reason = *failure;
        return nullptr;
    }
    return source;
}

// The rate at which an opened input delivers its samples.
int32_t RateOf(const CSampleSource& source) {
    const auto* audio = dynamic_cast<const CAudioFileSource*>(&source);
    return audio != nullptr ? audio->SampleRate() : CBufferFeeder::kBufferSamples;
}

struct Input {
    std::string path;
    std::unique_ptr<CSampleSource> source;  // open, or null for a file to open in its turn
};

// Every input is opened before any is decoded, so that a mistyped name in a long series costs
// nothing. Each stays open for its turn, since a pipe can be read only once; past
// kMaxHeldInputs, regular files are closed and opened again in their turn, as a series may hold
// thousands of files. In archive mode the decoder runs at the inputs' own rate, so they must
// share one; rate tells it. Returns nothing when an input cannot be used (each one is named).
std::optional<std::vector<Input>> OpenInputs(const DecodeRequest& request, int32_t& rate) {
    std::vector<Input> inputs;
    bool allOpen = true;
    std::optional<int32_t> shared;
    for (const std::string& path : request.inputs) {
        std::string reason;
        auto source = OpenInput(path, request, reason);
        if (source == nullptr) {
            ReportFileError(path, reason);
            allOpen = false;
            continue;
        }
        if (request.options.Settings().mode == DecoderMode::Archive) {
            if (shared && *shared != RateOf(*source)) {
                ReportFileError(path,
                                "archive mode decodes inputs of one sample rate; this one has " +
                                    std::to_string(RateOf(*source)) + "/s, the first " +
                                    std::to_string(*shared) + "/s");
                allOpen = false;
            }
            shared = shared.value_or(RateOf(*source));
        }
        if (inputs.size() >= kMaxHeldInputs && path != "-" && IsRegularFile(path)) {
            source.reset();
        }
        inputs.push_back({path, std::move(source)});
    }
    rate = shared.value_or(CBufferFeeder::kBufferSamples);
    return allOpen ? std::optional<std::vector<Input>>(std::move(inputs)) : std::nullopt;
}

class CInputRun {
public:
    CInputRun(CBufferFeeder& feeder, CProgressBar& progress, size_t inputCount)
        : m_feeder(feeder), m_progress(progress), m_inputCount(static_cast<int64_t>(inputCount)) {}

    // Feeds the whole input; false when reading failed on the way, or the input was damaged or
    // cut short (the samples read are kept, and a note says what is missing).
    bool Feed(CSampleSource& source, size_t inputIndex, const std::string& path) {
        int64_t samples = 0;
        while (StopSignal() == 0) {
            const int32_t got = source.Read(m_feeder.Space(), m_feeder.SpaceCount());
            if (got < 0 && StopSignal() == 0) {
                m_progress.Clear();
                ReportFileError(path, "read failed: " + source.ErrorText());
                return false;
            }
            if (got <= 0) {
                break;
            }
            samples += got;
            m_feeder.Commit(got);
            ShowProgress(source, inputIndex);
        }
        m_progress.Clear();
        if (samples == 0 && StopSignal() == 0 && !source.Truncated() && !source.Damaged()) {
            std::fprintf(stderr, "%s%s: no samples in it\n", kPrefix, path.c_str());
        }
        for (const std::string& note : source.Notes()) {
            std::fprintf(stderr, "%s%s: %s\n", kPrefix, path.c_str(), note.c_str());
        }
        return !source.Damaged() && !source.Truncated();
    }

private:
    void ShowProgress(const CSampleSource& source, size_t inputIndex) {
        if (!m_progress.Enabled()) {
            return;
        }
        const int64_t total = source.Total() > 0 ? source.Total() : 1;
        const int64_t within = std::min<int64_t>(source.Done(), total) * kProgressScale / total;
        const int64_t done = static_cast<int64_t>(inputIndex) * kProgressScale + within;
        m_progress.Show(done, m_inputCount * kProgressScale);
    }

    CBufferFeeder& m_feeder;
    CProgressBar& m_progress;
    int64_t m_inputCount = 1;
};

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
    int32_t rate = CBufferFeeder::kBufferSamples;
    auto inputs = OpenInputs(request, rate);
    if (!inputs) {
        return kExitFileError;
    }
    CatchStopSignals();
    CProgressBar progress(stderr);
    CTerminalOwner owner(IsStandardOutput(request.output) ? stderr : stdout, stderr);
    owner.SetProgressBar(&progress);
    const auto decoder = CSampleDecoder::Create(&owner, request.options.Settings(), rate);
    CBufferFeeder feeder(*decoder);
    CInputRun run(feeder, progress, inputs->size());

    int status = kExitDone;
    for (size_t i = 0; i < inputs->size() && StopSignal() == 0; ++i) {
        Input& input = (*inputs)[i];
        std::string reason;
        if (input.source == nullptr &&
            (input.source = OpenInput(input.path, request, reason)) == nullptr) {
            progress.Clear();
            status = ReportFileError(input.path, reason);
            continue;
        }
        if (!run.Feed(*input.source, i, input.path)) {
            status = kExitFileError;
        }
        input.source.reset();
    }
    feeder.Finish();
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
