#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tape/TapeBlock.h"

// How much of a tape image could be read.
enum class TapeReadOutcome {
    Complete,    // every record was read (records without data may have been stepped over)
    Damaged,     // the file is cut or malformed; the blocks before the damage were read
    Unreadable,  // the file could not be opened or read, or is no tape image at all
};

// The blocks of a tape image in file order, and what the user should be told about the file.
struct TapeImage {
    std::vector<TapeBlock> blocks;
    // Each message names the file; the GUI shows them, the CLI prints them to standard error.
    std::vector<std::string> messages;
    TapeReadOutcome outcome = TapeReadOutcome::Complete;
};

// Reads a TAP (or BLK) file, or a TZX file recognised by its "ZXTape!" header. Of a TZX file the
// standard speed, turbo and pure data blocks become blocks (their timing is dropped); every other
// block is stepped over by its length and counted in a message. Records of length 0 are skipped.
TapeImage ReadTapeImage(const std::string& path);

// The same for an image already in memory; `name` stands for the file in the messages.
TapeImage ParseTapeImage(const uint8_t* data, size_t size, const std::string& name);

// The two layouts on their own, whatever the first bytes are.
TapeImage ParseTapImage(const uint8_t* data, size_t size, const std::string& name);
TapeImage ParseTzxImage(const uint8_t* data, size_t size, const std::string& name);
