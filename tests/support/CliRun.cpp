#include "tests/support/CliRun.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {
// Appends the word in single quotes for the shell. Built by appending only: GCC 12 takes
// `"literal" + std::string` for an overlapping copy (-Werror=restrict) at -O3 (Release).
void AppendQuoted(std::string& command, const std::string& word) {
    command += '\'';
    for (char c : word) {
        if (c == '\'') {
            command += "'\\''";
        } else {
            command += c;
        }
    }
    command += '\'';
}

std::string ReadText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        lines.push_back(line);
    }
    return lines;
}
}  // namespace

std::vector<std::string> CliResult::OutLines() const {
    return SplitLines(out);
}
std::vector<std::string> CliResult::ErrLines() const {
    return SplitLines(err);
}

std::string CCliRun::DataDir() {
    const std::string dir = TAPEWISE_TEST_DATA_DIR;
    std::filesystem::create_directories(dir);
    return dir;
}

CliResult CCliRun::Run(const std::vector<std::string>& arguments, const std::string& environment,
                       const std::string& directory) {
    static std::atomic<int> runs{0};
    const std::string stem =
        DataDir() + "/run" + std::to_string(::getpid()) + "_" + std::to_string(runs++);
    std::string command;
    if (!directory.empty()) {
        command += "cd ";
        AppendQuoted(command, directory);
        command += " && ";
    }
    command += environment;
    command += ' ';
    AppendQuoted(command, TAPEWISE_CLI);
    for (const std::string& argument : arguments) {
        command += ' ';
        AppendQuoted(command, argument);
    }
    command += " >";
    AppendQuoted(command, stem + ".out");
    command += " 2>";
    AppendQuoted(command, stem + ".err");
    command += " </dev/null";
    const int status = std::system(command.c_str());
    CliResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = ReadText(stem + ".out");
    result.err = ReadText(stem + ".err");
    std::filesystem::remove(stem + ".out");
    std::filesystem::remove(stem + ".err");
    return result;
}
