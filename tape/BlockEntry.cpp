#include "tape/BlockEntry.h"

#include <cstdio>

#include "tape/TzxBlockCodec.h"

namespace {
constexpr int32_t kTypeIndex = spectrum::kHeaderTypeOffset;
constexpr int32_t kNameIndex = spectrum::kHeaderNameOffset;
constexpr int32_t kNameLength = spectrum::kHeaderNameLength;
constexpr int32_t kExpectedIndex = spectrum::kHeaderDataLengthOffset;

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

// The name stops at a zero byte that only padding (zeros and spaces) follows; nothing else is
// changed, spaces included. A zero with more text after it stays, so that no byte of the name
// is hidden.
std::string HeaderName(const uint8_t* bytes) {
    std::string name(reinterpret_cast<const char*>(bytes + kNameIndex), kNameLength);
    const size_t zero = name.find('\0');
    if (zero != std::string::npos &&
        name.find_first_not_of(std::string(" \0", 2), zero) == std::string::npos) {
        name.resize(zero);
    }
    return name;
}

// Control characters, C0 and C1 (0x9B starts a terminal command), would split a line or steer
// the terminal; a backslash is escaped so that every escape reads back unambiguously.
std::string EscapeControls(const std::string& text) {
    std::string escaped;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\') {
            escaped += "\\\\";
        } else if (c == '\t') {
            escaped += "\\t";
        } else if (c == '\n') {
            escaped += "\\n";
        } else if (c == '\r') {
            escaped += "\\r";
        } else if (byte < 0x20 || (byte >= 0x7F && byte <= 0x9F)) {
            escaped += "\\x" + HexByte(byte);
        } else {
            escaped += c;
        }
    }
    return escaped;
}

int32_t AnnouncedLength(const uint8_t* bytes) {
    return bytes[kExpectedIndex] + 256 * bytes[kExpectedIndex + 1];
}

std::string Pair(int first, int second) {
    return std::to_string(first) + "/" + std::to_string(second);
}

std::string DirectRecordingTiming(const DirectRecording& block) {
    const int64_t samples =
        int64_t{static_cast<int64_t>(block.samples.size())} * 8 - (8 - block.usedBitsInLastByte);
    const double seconds =
        static_cast<double>(samples) * block.tStatesPerSample / spectrum::kClockHz;
    char text[64];
    std::snprintf(text, sizeof text, "%lld samples, %d T each, %.2f s",
                  static_cast<long long>(samples), block.tStatesPerSample, seconds);
    return text;
}

// A TZX block kept as read: its ID, its type's name and its size after the ID byte.
std::string KeptTzxDescription(const KeptTzxBlock& block) {
    const uint8_t id = block.bytes[0];
    const TzxBlockType* type = FindTzxBlockType(id);
    return "0x" + HexByte(id) + " " + (type != nullptr ? type->name : "unknown type") + ", " +
           std::to_string(block.bytes.size() - 1) + " bytes";
}

std::string BitTiming(uint16_t zeroPulse, uint16_t onePulse) {
    return "bits " + Pair(zeroPulse, onePulse);
}

std::string TurboTiming(const TurboBlock& t) {
    return "pilot " + std::to_string(t.pilotCount) + " x " + std::to_string(t.pilotPulse) +
           ", sync " + Pair(t.sync1, t.sync2) + ", " + BitTiming(t.zeroPulse, t.onePulse);
}

// A data block shows its flag and its length without flag and checksum.
BlockEntry DataEntry(const std::vector<uint8_t>& bytes) {
    BlockEntry entry;
    // An empty block has no flag byte to show.
    if (!bytes.empty()) {
        entry.sync = HexByte(bytes[0]);
    }
    entry.length = std::to_string(static_cast<int32_t>(bytes.size()) - 2);
    return entry;
}

BlockEntry RomEntry(const RomBlock& block) {
    BlockEntry entry = DataEntry(block.bytes);
    if (block.bytes.size() == spectrum::kHeaderLength && block.bytes[0] == spectrum::kHeaderFlag) {
        const uint8_t* bytes = block.bytes.data();
        entry.type = HeaderTypeWord(bytes[kTypeIndex]);
        entry.name = HeaderName(bytes);
        entry.expected = std::to_string(AnnouncedLength(bytes));
    }
    return entry;
}
}  // namespace

BlockEntry DescribeBlock(const BlockBody& block) {
    return std::visit(
        Overloaded{
            [](const RomBlock& b) { return RomEntry(b); },
            [](const TurboBlock& b) {
                BlockEntry entry = DataEntry(b.bytes);
                entry.type = "turbo";
                entry.name = TurboTiming(b);
                return entry;
            },
            [](const PureData& b) {
                BlockEntry entry = DataEntry(b.bytes);
                entry.type = "data";
                entry.name = BitTiming(b.zeroPulse, b.onePulse);
                return entry;
            },
            [](const PureTone& b) {
                return BlockEntry{"tone", "", "",
                                  std::to_string(b.count) + " x " + std::to_string(b.pulse), ""};
            },
            [](const PulseRun& b) {
                return BlockEntry{"pulses", "", "", std::to_string(b.pulses.size()) + " pulses",
                                  ""};
            },
            [](const DirectRecording& b) {
                return BlockEntry{"direct", "", "", DirectRecordingTiming(b), ""};
            },
            [](const Pause& b) {
                return BlockEntry{"pause", "", "", std::to_string(b.ms) + " ms", ""};
            },
            [](const KeptTzxBlock& b) {
                return BlockEntry{"tzx", "", "", KeptTzxDescription(b), ""};
            },
            [](const ReadFailure& b) { return DescribeReadError(b.bytesRead, b.firstByte); },
        },
        block);
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
    return EscapeControls(entry.type) + '\t' + EscapeControls(entry.sync) + '\t' +
           EscapeControls(entry.length) + '\t' + EscapeControls(entry.name) + '\t' +
           EscapeControls(entry.expected);
}
