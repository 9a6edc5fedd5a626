#pragma once

#include <optional>
#include <string>
#include <vector>

// Whether a command may write its output, found before anything is read or written. Refuses an
// output that is one of the inputs (the same file however it is named: through a link, another
// path or a hard link; "-" is standard input), an existing file that holds a sound recording
// (recognised by its contents, or a non-empty file with the name of raw samples), and an output
// that could not be written (see CFileReplacer::CheckWritable). Returns the message, or nothing.
std::optional<std::string> CheckOutput(const std::string& output,
                                       const std::vector<std::string>& inputs);

// What to tell the user when a run loaded no block: the output is not written, so an existing
// file of that name stays as it was.
std::string NothingLoadedNote(const std::string& output);

// The path to write for an output argument: "-" is standard output.
std::string OutputPath(const std::string& argument);

// Whether the output is the program's standard output (/dev/stdout, /dev/fd/1, ...): the
// command's reports then go to standard error, so that the stream holds the tape image alone.
bool IsStandardOutput(const std::string& output);
