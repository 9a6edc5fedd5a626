#pragma once

// The exit statuses of tapewise-cli.
enum ExitStatus : int {
    kExitDone = 0,       // every input was read, whether or not anything loaded
    kExitFileError = 1,  // an input could not be read or an output not written
    kExitUsage = 2,      // the command line was wrong
};

// The commands of tapewise-cli. Each takes the arguments after its own name and returns its
// ExitStatus.
int RunDecode(int argc, char** argv);
int RunLive(int argc, char** argv);
int RunList(int argc, char** argv);
int RunConvert(int argc, char** argv);
int RunScreen(int argc, char** argv);
