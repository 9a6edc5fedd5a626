#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Writes a whole file at a path the way a user expects of "save": nothing half-written is ever
// left at the path, and what the path is stays what it was.
// - A regular file (or a new one) is written beside the target under a temporary name and renamed
//   over it only when every byte is on disk. An existing file keeps its mode and its owner; it
//   is replaced only when the user may write it (root may, as with other tools, and the mode is
//   then kept as it was) and the new file can be given the same owner (else it is refused).
// - A symbolic link is followed: its target is written and the link stays a link.
// - A FIFO or a character device (/dev/null, a terminal) is written in place. /dev/stdout,
//   /dev/fd/N and /proc/self/fd/N are written through the program's own descriptor N, which
//   works also where reopening the stream is not allowed. Every other path under /proc (such as
//   /proc/self/cwd/NAME) is a file like any other.
// - SIGINT, SIGTERM, SIGHUP and SIGQUIT wait while the temporary file exists, so that a signal
//   ends the program only after the rename or the clean-up, never with a temporary file left.
class CFileReplacer {
public:
    explicit CFileReplacer(std::string path) : m_path(std::move(path)) {}

    // Finds out, without writing anything at the path, whether Replace could write it. Returns
    // the message Replace would give, or nothing.
    std::optional<std::string> CheckWritable() const;

    // Writes contents as the file's whole new contents. Returns nothing on success, else a
    // message naming the path and the reason; the file is then as it was.
    std::optional<std::string> Replace(const std::vector<uint8_t>& contents) const;

    // The program's own descriptor that the path names (/dev/stdout is 1), if it names one.
    std::optional<int> OwnDescriptor() const;
    // Whether the path is a stream written in place (a descriptor, a FIFO, a device), where a
    // second save adds to the first instead of replacing it.
    bool WritesInPlace() const;

private:
    // Where the bytes go: the path with its symbolic links followed, and how to write there.
    struct Destination {
        std::string path;
        bool inPlace = false;
        int ownDescriptor = -1;  // the program's open descriptor that the path names, if any
    };

    std::optional<Destination> Resolve(int& error) const;
    std::optional<std::string> WriteInPlace(const Destination& destination,
                                            const std::vector<uint8_t>& contents) const;
    std::optional<std::string> WriteBeside(const Destination& destination,
                                           const std::vector<uint8_t>& contents) const;
    std::string Reason(int error) const;

    std::string m_path;
};
