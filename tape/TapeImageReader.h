#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "model/TapeItem.h"

// How much of a tape image could be read.
enum class TapeReadOutcome {
    Complete,    // every record was read (records without data may have been stepped over)
    Damaged,     // the file is cut or malformed; the blocks before the damage were read
    Unreadable,  // the file could not be opened or read, is no tape image, or would not fit
};

// A note tells what was stepped over in a file that read well; a problem is damage or a refusal.
enum class MessageSeverity { Note, Problem };

struct TapeMessage {
    MessageSeverity severity = MessageSeverity::Problem;
    std::string text;

    friend bool operator==(const TapeMessage&, const TapeMessage&) = default;
};

// The blocks of a tape image in file order, and what the user should be told about the file.
struct TapeImage {
    std::vector<TapeItem> blocks;
    // Each message names the file; the GUI logs notes and shows problems, the CLI prints both
    // to standard error.
    std::vector<TapeMessage> messages;
    TapeReadOutcome outcome = TapeReadOutcome::Complete;
};

// Files larger than this are refused before they are read: far beyond any real tape.
constexpr size_t kMaxTapeImageSize = size_t{64} << 20;
// The memory one loaded block costs besides its bytes: the block, its allocation, its list row.
constexpr size_t kMemoryPerBlock = sizeof(TapeItem) + 32;
// What loading one image may take: a gigabyte, or a quarter of the machine's memory if less.
size_t DefaultMemoryBudget();

// Reads a TAP (or BLK) file, or a TZX file recognised by its "ZXTape!" header. Of a TZX file the
// blocks 0x10-0x15 and 0x20 become blocks with their kind and timing, and every other block a
// KeptTzxBlock holding it as read (a type of a later revision is measured by its leading length and
// noted), so that a TZX written from them has every block of the file. Records of length 0 in a
// TAP file are skipped. An image whose blocks would take more than DefaultMemoryBudget() is
// refused with nothing loaded.
TapeImage ReadTapeImage(const std::string& path);
// The same from an open file, read to its end; `name` stands for the file in the messages. When
// a read fails midway, the blocks in what was read are kept.
TapeImage ReadTapeImage(std::FILE* file, const std::string& name);

// The same for an image already in memory.
TapeImage ParseTapeImage(const uint8_t* data, size_t size, const std::string& name,
                         size_t memoryBudget = DefaultMemoryBudget());

// The two layouts on their own, whatever the first bytes are.
TapeImage ParseTapImage(const uint8_t* data, size_t size, const std::string& name,
                        size_t memoryBudget = DefaultMemoryBudget());
TapeImage ParseTzxImage(const uint8_t* data, size_t size, const std::string& name,
                        size_t memoryBudget = DefaultMemoryBudget());
