#pragma once

// The commands of tapewise-cli. Each takes the arguments after its own name and returns the exit
// status: 0 done, 1 an input could not be read or an output not written, 2 a usage error.
int RunDecode(int argc, char** argv);
int RunLive(int argc, char** argv);
int RunList(int argc, char** argv);
int RunConvert(int argc, char** argv);
int RunScreen(int argc, char** argv);
