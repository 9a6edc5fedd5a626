#include "tape/BlockEntry.h"

#include <cstdio>

#include "tape/TzxBlockCodec.h"

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

// The T-states clock of the timings, for a recording's sample rate and length.
constexpr double kClockHz = 3500000.0;

std::string DirectRecordingTiming(const TapeBlock& block) {
    const BlockTiming t = block.Timing();
    const int64_t samples = int64_t{block.Length()} * 8 - (8 - t.usedBitsInLastByte);
    const double seconds = static_cast<double>(samples) * t.tStatesPerSample / kClockHz;
    char text[64];
    std::snprintf(text, sizeof text, "%lld samples, %d T each, %.2f s",
                  static_cast<long long>(samples), t.tStatesPerSample, seconds);
    return text;
}

// A TZX block kept as read: its ID, its type's name and its size after the ID byte.
std::string RawTzxDescription(const TapeBlock& block) {
    const uint8_t id = block.Bytes()[0];
    const TzxBlockType* type = FindTzxBlockType(id);
    return "0x" + HexByte(id) + " " + (type != nullptr ? type->name : "unknown type") + ", " +
           std::to_string(block.Length() - 1) + " bytes";
}

BlockEntry DescribeStretch(const TapeBlock& block) {
    const BlockTiming t = block.Timing();
    switch (block.Kind()) {
        case BlockKind::PureTone:
            return {"tone", "", "",
                    std::to_string(t.pilotCount) + " x " + std::to_string(t.pilotPulse), ""};
        case BlockKind::PulseSequence:
            return {"pulses", "", "", std::to_string(block.PulseCount()) + " pulses", ""};
        case BlockKind::DirectRecording:
            return {"direct", "", "", DirectRecordingTiming(block), ""};
        case BlockKind::RawTzx:
            return {"tzx", "", "", RawTzxDescription(block), ""};
        case BlockKind::Pause:
        case BlockKind::Standard:
        case BlockKind::Turbo:
        case BlockKind::PureData:
            break;
    }
    return {"pause", "", "", std::to_string(t.pauseMs) + " ms", ""};
}

std::string BitTiming(const BlockTiming& t) {
    return "bits " + Pair(t.zeroPulse, t.onePulse);
}

std::string TurboTiming(const BlockTiming& t) {
    return "pilot " + std::to_string(t.pilotCount) + " x " + std::to_string(t.pilotPulse) +
           ", sync " + Pair(t.sync1, t.sync2) + ", " + BitTiming(t);
}
}  // namespace

BlockEntry DescribeBlock(const TapeBlock& block) {
    if (!block.HoldsData()) {
        return DescribeStretch(block);
    }
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
    } else if (block.Kind() == BlockKind::Turbo) {
        entry.type = "turbo";
        entry.name = TurboTiming(block.Timing());
    } else if (block.Kind() == BlockKind::PureData) {
        entry.type = "data";
        entry.name = BitTiming(block.Timing());
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
    return EscapeControls(entry.type) + '\t' + EscapeControls(entry.sync) + '\t' +
           EscapeControls(entry.length) + '\t' + EscapeControls(entry.name) + '\t' +
           EscapeControls(entry.expected);
}
