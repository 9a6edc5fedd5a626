#pragma once

#include <string>
#include <vector>

// One run of the real tapewise-cli, its output captured in files of the test's data directory.
struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;

    // Lines of standard output or standard error, without their newlines.
    std::vector<std::string> OutLines() const;
    std::vector<std::string> ErrLines() const;
};

class CCliRun {
public:
    // The data directory of these tests in the build tree; made when missing.
    static std::string DataDir();
    // Runs tapewise-cli with the arguments (each passed as one word, quoted for the shell), with
    // the given environment assignments ("NAME=value ...") and in the given working directory.
    static CliResult Run(const std::vector<std::string>& arguments,
                         const std::string& environment = "", const std::string& directory = "");
};
