#include "cli/OutputCheck.h"

#include <sys/stat.h>
#include <unistd.h>

#include "recording/AudioFileTypes.h"
#include "recording/RawFileSource.h"
#include "tape/FileReplacer.h"

namespace {
bool StatInput(const std::string& input, struct stat& status) {
    return input == "-" ? fstat(STDIN_FILENO, &status) == 0 : stat(input.c_str(), &status) == 0;
}

std::optional<std::string> InputAtOutput(const struct stat& output,
                                         const std::vector<std::string>& inputs) {
    for (const std::string& input : inputs) {
        struct stat status {};
        if (StatInput(input, status) && status.st_dev == output.st_dev &&
            status.st_ino == output.st_ino) {
            return input == "-" ? std::string("standard input") : input;
        }
    }
    return std::nullopt;
}
}  // namespace

std::optional<std::string> CheckOutput(const std::string& output,
                                       const std::vector<std::string>& inputs) {
    const std::string refusal = "Cannot write " + output + ": ";
    struct stat status {};
    if (stat(output.c_str(), &status) == 0) {
        if (const auto input = InputAtOutput(status, inputs)) {
            return refusal + "it is the input " + *input + " itself; nothing written";
        }
        if (IsAudioFile(output)) {
            return refusal + "it holds a sound recording that would be lost; nothing written";
        }
        if (S_ISREG(status.st_mode) && status.st_size > 0 && CRawFileSource::IsRawName(output)) {
            return refusal + "it holds raw sound samples that would be lost; nothing written";
        }
    }
    return CFileReplacer(output).CheckWritable();
}

std::string NothingLoadedNote(const std::string& output) {
    struct stat status {};
    const bool exists = lstat(output.c_str(), &status) == 0;
    return "no block loaded; " + output + (exists ? " left as it was" : " not written");
}

std::string OutputPath(const std::string& argument) {
    return argument == "-" ? "/dev/stdout" : argument;
}

bool IsStandardOutput(const std::string& output) {
    return CFileReplacer(output).OwnDescriptor() == STDOUT_FILENO;
}
