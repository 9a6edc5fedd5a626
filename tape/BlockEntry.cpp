#include "tape/BlockEntry.h"

#include <cstdio>

namespace {
constexpr int32_t kTypeIndex = 1;
constexpr int32_t kNameIndex = 2;
constexpr int32_t kNameLength = 10;
constexpr int32_t kExpectedIndex = 12;

std::string HexByte(int value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    return text;
}

std::string HeaderTypeWord(uint8_t type) {
    if (type == 0) {
        return "prog";
    }
    if (type == 3) {
        return "code";
    }
    return "array";
}

// The name stops at the first zero byte; nothing else is changed, spaces included.
std::string HeaderName(const uint8_t* bytes) {
    std::string name;
    for (int32_t i = 0; i < kNameLength && bytes[kNameIndex + i] != 0; ++i) {
        name.push_back(static_cast<char>(bytes[kNameIndex + i]));
    }
    return name;
}

int32_t AnnouncedLength(const uint8_t* bytes) {
    return bytes[kExpectedIndex] + 256 * bytes[kExpectedIndex + 1];
}
}  // namespace

BlockEntry DescribeBlock(const TapeBlock& block) {
    BlockEntry entry;
    // An empty block has no flag byte to show.
    if (block.Length() > 0) {
        entry.sync = HexByte(block.Bytes()[0]);
    }
    entry.length = std::to_string(block.Length() - 2);
    if (block.IsHeader()) {
        const uint8_t* bytes = block.Bytes();
        entry.type = HeaderTypeWord(bytes[kTypeIndex]);
        entry.name = HeaderName(bytes);
        entry.expected = std::to_string(AnnouncedLength(bytes));
    }
    return entry;
}

BlockEntry DescribeReadError(int32_t bytesRead, int32_t firstByte) {
    BlockEntry entry;
    entry.type = "error";
    if (bytesRead > 0 && firstByte >= 0) {
        entry.sync = HexByte(firstByte);
    }
    entry.length = std::to_string(bytesRead - 2);
    entry.name = "Read error at byte " + std::to_string(bytesRead);
    return entry;
}

std::string FormatEntryLine(const BlockEntry& entry) {
    return entry.type + '\t' + entry.sync + '\t' + entry.length + '\t' + entry.name + '\t' +
           entry.expected;
}
