#include "tests/support/CliRun.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {
std::string Quote(const std::string& word) {
    std::string quoted = "'";
    for (char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
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
    std::string command = directory.empty() ? "" : "cd " + Quote(directory) + " && ";
    command += environment + " " + Quote(TAPEWISE_CLI);
    for (const std::string& argument : arguments) {
        command += " " + Quote(argument);
    }
    command += " >" + Quote(stem + ".out") + " 2>" + Quote(stem + ".err") + " </dev/null";
    const int status = std::system(command.c_str());
    CliResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = ReadText(stem + ".out");
    result.err = ReadText(stem + ".err");
    std::filesystem::remove(stem + ".out");
    std::filesystem::remove(stem + ".err");
    return result;
}
