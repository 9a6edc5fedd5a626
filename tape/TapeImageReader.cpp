#include "tape/TapeImageReader.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>

namespace {
constexpr uint8_t kTzxSignature[] = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A};
constexpr size_t kTzxHeaderSize = 10;
constexpr uint8_t kTzxMajorVersion = 1;
// Far beyond any real tape; keeps a stray device file or a huge file from eating the memory.
constexpr size_t kMaxImageSize = size_t{256} << 20;
constexpr size_t kReadChunk = size_t{64} << 10;

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
    image.messages.push_back(message);
}

void ReportEmptyRecords(TapeImage& image, const std::string& name, int count) {
    if (count > 0) {
        image.messages.push_back(name + ": skipped " + std::to_string(count) +
                                 " record(s) of length 0");
    }
}

// ---- TAP ----

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

// The shape of one TZX block after its ID byte: `headerSize` fixed bytes, then a body whose size
// is a length field inside the header times `unit`.
struct TzxShape {
    int headerSize = 0;
    int lengthOffset = 0;
    int lengthSize = 0;
    int unit = 1;
    bool holdsBlock = false;
};

struct TzxBlockType {
    uint8_t id = 0;
    TzxShape shape;
};

// Every block type of TZX revision 1.20, deprecated ones included.
// clang-format off
constexpr TzxBlockType kTzxBlockTypes[] = {
    {0x10, {4, 2, 2, 1, true}},     // standard speed data
    {0x11, {18, 15, 3, 1, true}},   // turbo speed data
    {0x12, {4, 0, 0, 1, false}},    // pure tone
    {0x13, {1, 0, 1, 2, false}},    // pulse sequence
    {0x14, {10, 7, 3, 1, true}},    // pure data
    {0x15, {8, 5, 3, 1, false}},    // direct recording
    {0x16, {4, 0, 4, 1, false}},    // C64 ROM type data
    {0x17, {4, 0, 4, 1, false}},    // C64 turbo tape data
    {0x18, {4, 0, 4, 1, false}},    // CSW recording
    {0x19, {4, 0, 4, 1, false}},    // generalized data
    {0x20, {2, 0, 0, 1, false}},    // pause or stop the tape
    {0x21, {1, 0, 1, 1, false}},    // group start
    {0x22, {0, 0, 0, 1, false}},    // group end
    {0x23, {2, 0, 0, 1, false}},    // jump to block
    {0x24, {2, 0, 0, 1, false}},    // loop start
    {0x25, {0, 0, 0, 1, false}},    // loop end
    {0x26, {2, 0, 2, 2, false}},    // call sequence
    {0x27, {0, 0, 0, 1, false}},    // return from sequence
    {0x28, {2, 0, 2, 1, false}},    // select block
    {0x2A, {4, 0, 4, 1, false}},    // stop the tape if in 48K mode
    {0x2B, {4, 0, 4, 1, false}},    // set signal level
    {0x30, {1, 0, 1, 1, false}},    // text description
    {0x31, {2, 1, 1, 1, false}},    // message
    {0x32, {2, 0, 2, 1, false}},    // archive info
    {0x33, {1, 0, 1, 3, false}},    // hardware type
    {0x34, {8, 0, 0, 1, false}},    // emulation info
    {0x35, {20, 16, 4, 1, false}},  // custom info
    {0x40, {4, 1, 3, 1, false}},    // snapshot
    {0x5A, {9, 0, 0, 1, false}},    // glue of concatenated files
};
// clang-format on

// The format's rule for block types added later: a 32-bit length comes first.
constexpr TzxShape kUnknownTzxShape = {4, 0, 4, 1, false};

const TzxBlockType* FindTzxBlockType(uint8_t id) {
    const auto* found = std::find_if(std::begin(kTzxBlockTypes), std::end(kTzxBlockTypes),
                                     [id](const TzxBlockType& type) { return type.id == id; });
    return found == std::end(kTzxBlockTypes) ? nullptr : found;
}

TzxShape ShapeOfTzxBlock(uint8_t id) {
    const TzxBlockType* type = FindTzxBlockType(id);
    return type != nullptr ? type->shape : kUnknownTzxShape;
}

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

std::string DescribeSkipped(const std::map<uint8_t, int>& skipped) {
    int total = 0;
    std::string ids;
    for (const auto& [id, count] : skipped) {
        total += count;
        ids += (ids.empty() ? "" : ", ") + std::to_string(count) + " x " + Hex(id);
        if (FindTzxBlockType(id) == nullptr) {
            ids += " (unknown)";
        }
    }
    return "stepped over " + std::to_string(total) + " TZX block(s) without tape data: " + ids;
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

// Reads to the end, or to just past the size limit. False on a read error (errno tells why).
bool ReadWholeFile(std::FILE* file, std::vector<uint8_t>& contents) {
    size_t count = 0;
    do {
        const size_t oldSize = contents.size();
        contents.resize(oldSize + kReadChunk);
        count = std::fread(contents.data() + oldSize, 1, kReadChunk, file);
        contents.resize(oldSize + count);
    } while (count == kReadChunk && contents.size() <= kMaxImageSize);
    return std::ferror(file) == 0;
}
}  // namespace

TapeImage ParseTapImage(const uint8_t* data, size_t size, const std::string& name) {
    TapeImage image;
    size_t position = 0;
    int record = 0;
    int emptyRecords = 0;
    while (position < size) {
        ++record;
        const bool nothingRead = image.blocks.empty() && emptyRecords == 0;
        if (size - position < 2) {
            ReportTapCut(image, name, record, 0, 2, nothingRead);
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
        image.blocks.emplace_back(static_cast<int32_t>(length), data + position);
        position += length;
    }
    ReportEmptyRecords(image, name, emptyRecords);
    return image;
}

TapeImage ParseTzxImage(const uint8_t* data, size_t size, const std::string& name) {
    TapeImage image;
    if (!ReadTzxHeader(image, data, size, name)) {
        return image;
    }
    std::map<uint8_t, int> skipped;
    int emptyRecords = 0;
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
        if (!shape.holdsBlock) {
            ++skipped[id];
        } else if (span.bodySize == 0) {
            ++emptyRecords;
        } else {
            image.blocks.emplace_back(static_cast<int32_t>(span.bodySize),
                                      data + position + span.bodyOffset);
        }
        position += static_cast<size_t>(span.totalSize);
    }
    if (!skipped.empty()) {
        image.messages.push_back(name + ": " + DescribeSkipped(skipped));
    }
    ReportEmptyRecords(image, name, emptyRecords);
    return image;
}

TapeImage ParseTapeImage(const uint8_t* data, size_t size, const std::string& name) {
    if (size >= sizeof kTzxSignature &&
        std::memcmp(data, kTzxSignature, sizeof kTzxSignature) == 0) {
        return ParseTzxImage(data, size, name);
    }
    return ParseTapImage(data, size, name);
}

TapeImage ReadTapeImage(const std::string& path) {
    TapeImage image;
    auto file = OpenForReading(path);
    if (!file) {
        Report(image, TapeReadOutcome::Unreadable,
               "Cannot open " + path + ": " + std::strerror(errno));
        return image;
    }
    std::vector<uint8_t> contents;
    if (!ReadWholeFile(file.get(), contents)) {
        Report(image, TapeReadOutcome::Unreadable,
               "Cannot read " + path + ": " + std::strerror(errno));
        return image;
    }
    if (contents.size() > kMaxImageSize) {
        Report(image, TapeReadOutcome::Unreadable, path + ": is too large for a tape image");
        return image;
    }
    return ParseTapeImage(contents.data(), contents.size(), path);
}
