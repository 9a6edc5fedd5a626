#include "tape/TapeImageReader.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <optional>

#include "tape/TzxBlockCodec.h"

namespace {
constexpr uint8_t kTzxSignature[] = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A};
constexpr size_t kTzxHeaderSize = 10;
constexpr uint8_t kTzxMajorVersion = 1;
constexpr size_t kReadChunk = size_t{64} << 10;
constexpr size_t kMaxMemoryBudget = size_t{1} << 30;
constexpr size_t kMegabyte = size_t{1} << 20;

uint32_t ReadLittleEndian(const uint8_t* bytes, int count) {
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = (value << 8) | bytes[i];
    }
    return value;
}

std::string Hex(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFF);
    return text;
}

void Report(TapeImage& image, TapeReadOutcome outcome, const std::string& message) {
    image.outcome = outcome;
    image.messages.push_back({MessageSeverity::Problem, message});
}

void Note(TapeImage& image, const std::string& message) {
    image.messages.push_back({MessageSeverity::Note, message});
}

void ReportEmptyRecords(TapeImage& image, const std::string& name, int count) {
    if (count > 0) {
        Note(image, name + ": skipped " + std::to_string(count) + " record(s) of length 0");
    }
}

// Refuses an image of `blockCount` blocks when they would take more than the budget.
bool FitsInMemory(TapeImage& image, const std::string& name, size_t blockCount, size_t size,
                  size_t budget) {
    const size_t needed = blockCount * kMemoryPerBlock + size;
    if (needed <= budget) {
        return true;
    }
    Report(image, TapeReadOutcome::Unreadable,
           name + ": holds " + std::to_string(blockCount) + " blocks, which would take about " +
               std::to_string(needed / kMegabyte + 1) + " MB of memory (at most " +
               std::to_string(budget / kMegabyte) + " MB): nothing loaded");
    return false;
}

// ---- TAP ----

size_t CountTapRecords(const uint8_t* data, size_t size) {
    size_t count = 0;
    for (size_t position = 0; size - position >= 2;) {
        position += 2 + ReadLittleEndian(data + position, 2);
        if (position > size) {
            break;
        }
        ++count;
    }
    return count;
}

// The file ends inside the two length bytes of a record.
void ReportTapLengthCut(TapeImage& image, const std::string& name, int record, bool nothingRead) {
    if (nothingRead) {
        Report(image, TapeReadOutcome::Unreadable,
               name + ": is neither a TAP nor a TZX image (1 byte, too short for a record)");
        return;
    }
    Report(image, TapeReadOutcome::Damaged,
           name + ": ends inside record " + std::to_string(record) +
               " (1 of its 2 length bytes); the blocks before it are kept");
}

void ReportTapCut(TapeImage& image, const std::string& name, int record, size_t present,
                  size_t wanted, bool nothingRead) {
    if (nothingRead) {
        Report(image, TapeReadOutcome::Unreadable,
               name + ": is neither a TAP nor a TZX image (its first record claims " +
                   std::to_string(wanted) + " bytes, " + std::to_string(present) + " follow)");
        return;
    }
    Report(image, TapeReadOutcome::Damaged,
           name + ": ends inside record " + std::to_string(record) + " (" +
               std::to_string(present) + " of " + std::to_string(wanted) +
               " bytes); the blocks before it are kept");
}

// ---- TZX ----

struct TzxSpan {
    uint64_t totalSize = 0;  // ID byte included
    size_t bodyOffset = 0;
    uint64_t bodySize = 0;
};

// False when the block does not fit in the `available` bytes that start at its ID byte.
bool MeasureTzxBlock(const uint8_t* block, size_t available, const TzxShape& shape, TzxSpan& span) {
    span.bodyOffset = 1 + static_cast<size_t>(shape.headerSize);
    if (available < span.bodyOffset) {
        return false;
    }
    const uint32_t lengthField =
        shape.lengthSize > 0 ? ReadLittleEndian(block + 1 + shape.lengthOffset, shape.lengthSize)
                             : 0;
    span.bodySize = uint64_t{lengthField} * static_cast<uint64_t>(shape.unit);
    span.totalSize = span.bodyOffset + span.bodySize;
    return span.totalSize <= available;
}

size_t CountTzxBlocks(const uint8_t* data, size_t size) {
    size_t count = 0;
    TzxSpan span;
    for (size_t position = kTzxHeaderSize; position < size; position += span.totalSize) {
        if (!MeasureTzxBlock(data + position, size - position, ShapeOfTzxBlock(data[position]),
                             span)) {
            break;
        }
        ++count;
    }
    return count;
}

// A pulse sequence longer than one 0x13 block holds is written as full blocks and a rest; so is
// a tone longer than one 0x12 block holds, whose joined count stays far inside 32 bits. True when
// `next` was joined to the last block.
constexpr uint64_t kMaxJoinedTonePulses = uint64_t{kMaxTzxTonePulses} * kMaxTzxTonePulses;

bool JoinContinued(std::vector<TapeItem>& blocks, const BlockBody& next) {
    if (blocks.empty()) {
        return false;
    }
    BlockBody& last = blocks.back().body;
    if (auto* run = std::get_if<PulseRun>(&last)) {
        const auto* more = std::get_if<PulseRun>(&next);
        if (more == nullptr || run->pulses.size() % kMaxTzxPulsesPerBlock != 0) {
            return false;
        }
        run->pulses.insert(run->pulses.end(), more->pulses.begin(), more->pulses.end());
        return true;
    }
    if (auto* tone = std::get_if<PureTone>(&last)) {
        const auto* more = std::get_if<PureTone>(&next);
        if (more == nullptr || tone->pulse != more->pulse || more->count == 0 || tone->count == 0 ||
            tone->count % kMaxTzxTonePulses != 0 ||
            uint64_t{tone->count} + more->count > kMaxJoinedTonePulses) {
            return false;
        }
        tone->count += more->count;
        return true;
    }
    return false;
}

// The first block whose timing cannot be replayed, and how many there are.
struct TimingProblems {
    int count = 0;
    std::string first;
};

std::string DescribeUnknown(const std::map<uint8_t, int>& unknown) {
    int total = 0;
    std::string ids;
    for (const auto& [id, count] : unknown) {
        total += count;
        ids += (ids.empty() ? "" : ", ") + std::to_string(count) + " x " + Hex(id);
    }
    return "kept " + std::to_string(total) +
           " TZX block(s) of a type unknown here as they are: " + ids;
}

bool ReadTzxHeader(TapeImage& image, const uint8_t* data, size_t size, const std::string& name) {
    if (size < kTzxHeaderSize || std::memcmp(data, kTzxSignature, sizeof kTzxSignature) != 0) {
        Report(image, TapeReadOutcome::Unreadable, name + ": has no complete TZX header");
        return false;
    }
    if (data[8] != kTzxMajorVersion) {
        Report(image, TapeReadOutcome::Unreadable,
               name + ": is a TZX image of version " + std::to_string(data[8]) + "." +
                   std::to_string(data[9]) + ", only version 1 can be read");
        return false;
    }
    return true;
}

std::unique_ptr<std::FILE, int (*)(std::FILE*)> OpenForReading(const std::string& path) {
    return {std::fopen(path.c_str(), "rb"), std::fclose};
}

// The size of a regular file, known before reading it; nothing for pipes and devices.
std::optional<size_t> RegularFileSize(std::FILE* file) {
    struct stat status {};
    if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) {
        return std::nullopt;
    }
    return static_cast<size_t>(status.st_size);
}

// Reads to the end, or to just past the size limit. Room for the whole is taken at once, so
// the contents never move and the memory peaks at what was read. Returns the errno of a read
// that failed, else 0.
int ReadWholeFile(std::FILE* file, std::optional<size_t> knownSize,
                  std::vector<uint8_t>& contents) {
    contents.reserve(std::min(knownSize.value_or(kMaxTapeImageSize), kMaxTapeImageSize) + 1);
    size_t count = 0;
    do {
        const size_t oldSize = contents.size();
        const size_t wanted = std::min(kReadChunk, contents.capacity() - oldSize);
        contents.resize(oldSize + wanted);
        count = std::fread(contents.data() + oldSize, 1, wanted, file);
        contents.resize(oldSize + count);
    } while (count > 0 && contents.size() <= kMaxTapeImageSize);
    return std::ferror(file) != 0 ? errno : 0;
}

std::string TooLarge(const std::string& name) {
    return name + ": is too large for a tape image (more than " +
           std::to_string(kMaxTapeImageSize / kMegabyte) + " MB): nothing loaded";
}

void NoteTimingProblems(TapeImage& image, const std::string& name, const TimingProblems& problems) {
    if (problems.count == 0) {
        return;
    }
    Report(image, TapeReadOutcome::Damaged,
           name + ": " + std::to_string(problems.count) +
               " block(s) with timing no loader can replay, kept as read; the first: " +
               problems.first);
}
}  // namespace

size_t DefaultMemoryBudget() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages <= 0 || pageSize <= 0) {
        return kMaxMemoryBudget;
    }
    return std::min(kMaxMemoryBudget,
                    static_cast<size_t>(pages) / 4 * static_cast<size_t>(pageSize));
}

TapeImage ParseTapImage(const uint8_t* data, size_t size, const std::string& name,
                        size_t memoryBudget) {
    TapeImage image;
    if (!FitsInMemory(image, name, CountTapRecords(data, size), size, memoryBudget)) {
        return image;
    }
    size_t position = 0;
    int record = 0;
    int emptyRecords = 0;
    while (position < size) {
        ++record;
        const bool nothingRead = image.blocks.empty() && emptyRecords == 0;
        if (size - position < 2) {
            ReportTapLengthCut(image, name, record, nothingRead);
            break;
        }
        const size_t length = ReadLittleEndian(data + position, 2);
        position += 2;
        if (length == 0) {
            ++emptyRecords;
            continue;
        }
        if (size - position < length) {
            ReportTapCut(image, name, record, size - position, length, nothingRead);
            break;
        }
        image.blocks.emplace_back().body.emplace<RomBlock>().bytes.assign(data + position,
                                                                          data + position + length);
        position += length;
    }
    ReportEmptyRecords(image, name, emptyRecords);
    return image;
}

TapeImage ParseTzxImage(const uint8_t* data, size_t size, const std::string& name,
                        size_t memoryBudget) {
    TapeImage image;
    if (!ReadTzxHeader(image, data, size, name) ||
        !FitsInMemory(image, name, CountTzxBlocks(data, size), size, memoryBudget)) {
        return image;
    }
    std::map<uint8_t, int> unknown;
    TimingProblems timingProblems;
    int blockNumber = 0;
    for (size_t position = kTzxHeaderSize; position < size;) {
        ++blockNumber;
        const uint8_t id = data[position];
        const TzxShape shape = ShapeOfTzxBlock(id);
        TzxSpan span;
        if (!MeasureTzxBlock(data + position, size - position, shape, span)) {
            Report(image, TapeReadOutcome::Damaged,
                   name + ": TZX block " + std::to_string(blockNumber) + " (ID " + Hex(id) +
                       ") at offset " + std::to_string(position) +
                       " runs past the end of the file; the blocks before it are kept");
            break;
        }
        TzxBlockRead read = ReadTzxBlock(data + position, span.bodyOffset, span.bodySize);
        if (FindTzxBlockType(id) == nullptr) {
            ++unknown[id];
        }
        if (!JoinContinued(image.blocks, read.block)) {
            if (read.problem && timingProblems.count++ == 0) {
                timingProblems.first = "TZX block " + std::to_string(blockNumber) + " (ID " +
                                       Hex(id) + "), " + *read.problem;
            }
            image.blocks.push_back({std::move(read.block), {}, {}});
        }
        position += static_cast<size_t>(span.totalSize);
    }
    if (!unknown.empty()) {
        Note(image, name + ": " + DescribeUnknown(unknown));
    }
    NoteTimingProblems(image, name, timingProblems);
    return image;
}

TapeImage ParseTapeImage(const uint8_t* data, size_t size, const std::string& name,
                         size_t memoryBudget) {
    if (size >= sizeof kTzxSignature &&
        std::memcmp(data, kTzxSignature, sizeof kTzxSignature) == 0) {
        return ParseTzxImage(data, size, name, memoryBudget);
    }
    return ParseTapImage(data, size, name, memoryBudget);
}

TapeImage ReadTapeImage(std::FILE* file, const std::string& name) {
    TapeImage image;
    const std::optional<size_t> knownSize = RegularFileSize(file);
    if (knownSize && *knownSize > kMaxTapeImageSize) {
        Report(image, TapeReadOutcome::Unreadable, TooLarge(name));
        return image;
    }
    std::vector<uint8_t> contents;
    const int readError = ReadWholeFile(file, knownSize, contents);
    if (contents.size() > kMaxTapeImageSize) {
        Report(image, TapeReadOutcome::Unreadable, TooLarge(name));
        return image;
    }
    if (readError == 0) {
        return ParseTapeImage(contents.data(), contents.size(), name);
    }
    image = ParseTapeImage(contents.data(), contents.size(), name);
    const std::string where =
        contents.empty() ? "" : " past byte " + std::to_string(contents.size());
    const std::string reason = "Cannot read " + name + where + ": " + std::strerror(readError);
    image.outcome = image.blocks.empty() ? TapeReadOutcome::Unreadable : TapeReadOutcome::Damaged;
    image.messages.insert(
        image.messages.begin(),
        {MessageSeverity::Problem,
         reason + (image.blocks.empty() ? "" : "; the blocks before it are kept")});
    return image;
}

TapeImage ReadTapeImage(const std::string& path) {
    auto file = OpenForReading(path);
    if (!file) {
        TapeImage image;
        Report(image, TapeReadOutcome::Unreadable,
               "Cannot open " + path + ": " + std::strerror(errno));
        return image;
    }
    return ReadTapeImage(file.get(), path);
}
