#include "tape/TzxBlockCodec.h"

#include <algorithm>
#include <limits>

namespace {
constexpr uint8_t kStandardId = 0x10;
constexpr uint8_t kTurboId = 0x11;
constexpr uint8_t kPureToneId = 0x12;
constexpr uint8_t kPulseSequenceId = 0x13;
constexpr uint8_t kPureDataId = 0x14;
constexpr uint8_t kDirectRecordingId = 0x15;
constexpr uint8_t kPauseId = 0x20;
constexpr int32_t kMaxWordLength = 0xFFFF;
constexpr int32_t kMaxTripleLength = 0xFFFFFF;
// Below this a pulse is shorter than any loader can time (about 3 us); a bit cell of pulses
// longer than the top one would take over a tenth of a second.
constexpr uint16_t kShortestPulse = 10;
constexpr uint16_t kLongestBitPulse = 20000;

void AppendByte(std::vector<uint8_t>& image, int value) {
    image.push_back(static_cast<uint8_t>(value & 0xFF));
}

void AppendWord(std::vector<uint8_t>& image, int value) {
    AppendByte(image, value);
    AppendByte(image, value >> 8);
}

void AppendTriple(std::vector<uint8_t>& image, int value) {
    AppendWord(image, value);
    AppendByte(image, value >> 16);
}

void AppendPayload(std::vector<uint8_t>& image, const TapeBlock& block) {
    const std::span<const uint8_t> data = block.Data();
    image.insert(image.end(), data.begin(), data.end());
}

// Writes `count` pulses as 0x12 blocks of at most kMaxTzxTonePulses each. A tone of no pulses
// read from an image is written back as it was.
void AppendTone(std::vector<uint8_t>& image, uint16_t pulse, uint32_t count) {
    do {
        const uint32_t part = std::min(count, kMaxTzxTonePulses);
        AppendByte(image, kPureToneId);
        AppendWord(image, pulse);
        AppendWord(image, static_cast<int>(part));
        count -= part;
    } while (count > 0);
}

void AppendPulses(std::vector<uint8_t>& image, const std::vector<uint16_t>& pulses) {
    for (size_t first = 0; first < pulses.size(); first += kMaxTzxPulsesPerBlock) {
        const size_t count = std::min(kMaxTzxPulsesPerBlock, pulses.size() - first);
        AppendByte(image, kPulseSequenceId);
        AppendByte(image, static_cast<int>(count));
        for (size_t i = first; i < first + count; ++i) {
            AppendWord(image, pulses[i]);
        }
    }
}

uint16_t Word(const uint8_t* bytes) {
    return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}

bool Timeable(uint16_t pulse) {
    return pulse >= kShortestPulse;
}

bool BitPulsesTimeable(const BlockTiming& t) {
    return Timeable(t.zeroPulse) && Timeable(t.onePulse) && t.zeroPulse <= kLongestBitPulse &&
           t.onePulse <= kLongestBitPulse && t.usedBitsInLastByte >= 1 && t.usedBitsInLastByte <= 8;
}

// Why a block's timing cannot be replayed, if it cannot.
std::optional<std::string> TimingProblem(BlockKind kind, const BlockTiming& t) {
    switch (kind) {
        case BlockKind::Turbo:
            if (!Timeable(t.pilotPulse) || !Timeable(t.sync1) || !Timeable(t.sync2) ||
                !BitPulsesTimeable(t)) {
                return "turbo block with zero or absurd timing";
            }
            break;
        case BlockKind::PureData:
            if (!BitPulsesTimeable(t)) {
                return "pure data block with zero or absurd timing";
            }
            break;
        case BlockKind::PureTone:
            if (!Timeable(t.pilotPulse) || t.pilotCount == 0) {
                return "pure tone with zero or absurd timing";
            }
            break;
        case BlockKind::DirectRecording:
            if (t.tStatesPerSample == 0 || t.usedBitsInLastByte < 1 || t.usedBitsInLastByte > 8) {
                return "direct recording with zero or absurd timing";
            }
            break;
        case BlockKind::Standard:
        case BlockKind::PulseSequence:
        case BlockKind::Pause:
        case BlockKind::RawTzx:
            break;
    }
    return std::nullopt;
}

TimedBlock ReadTimed(uint8_t id, const uint8_t* h, const uint8_t* body, size_t bodySize) {
    TimedBlock timed;
    BlockTiming& t = timed.timing;
    switch (id) {
        case kStandardId:
            t.pauseMs = Word(h);
            t.pilotCount = bodySize > 0 ? RomPilotCount(body[0]) : t.pilotCount;
            break;
        case kTurboId:
            timed.kind = BlockKind::Turbo;
            t = {Word(h),     Word(h + 10), Word(h + 2), Word(h + 4),
                 Word(h + 6), Word(h + 8),  h[12],       Word(h + 13)};
            break;
        case kPureToneId:
            timed.kind = BlockKind::PureTone;
            t.pilotPulse = Word(h);
            t.pilotCount = Word(h + 2);
            break;
        case kPulseSequenceId:
            timed.kind = BlockKind::PulseSequence;
            for (size_t i = 0; i + 1 < bodySize; i += 2) {
                timed.pulses.push_back(Word(body + i));
            }
            return timed;
        case kPureDataId:
            timed.kind = BlockKind::PureData;
            t.zeroPulse = Word(h);
            t.onePulse = Word(h + 2);
            t.usedBitsInLastByte = h[4];
            t.pauseMs = Word(h + 5);
            break;
        case kDirectRecordingId:
            timed.kind = BlockKind::DirectRecording;
            t.tStatesPerSample = Word(h);
            t.pauseMs = Word(h + 2);
            t.usedBitsInLastByte = h[4];
            break;
        default:
            timed.kind = BlockKind::Pause;
            t.pauseMs = Word(h);
            return timed;
    }
    timed.bytes.assign(body, body + bodySize);
    return timed;
}

bool IsStretchId(uint8_t id) {
    return (id >= kStandardId && id <= kDirectRecordingId) || id == kPauseId;
}

TzxBlockRead RawBlock(const uint8_t* block, size_t bodyOffset, size_t bodySize) {
    TimedBlock raw;
    raw.kind = BlockKind::RawTzx;
    raw.bytes.assign(block, block + bodyOffset + bodySize);
    return {TapeBlock(raw), std::nullopt};
}

// clang-format off
constexpr TzxBlockType kTzxBlockTypes[] = {
    {0x10, {4, 2, 2, 1, true}, "standard speed data"},
    {0x11, {18, 15, 3, 1, true}, "turbo speed data"},
    {0x12, {4, 0, 0, 1, false}, "pure tone"},
    {0x13, {1, 0, 1, 2, false}, "pulse sequence"},
    {0x14, {10, 7, 3, 1, true}, "pure data"},
    {0x15, {8, 5, 3, 1, false}, "direct recording"},
    {0x16, {4, 0, 4, 1, false}, "C64 ROM type data"},
    {0x17, {4, 0, 4, 1, false}, "C64 turbo tape data"},
    {0x18, {4, 0, 4, 1, false}, "CSW recording"},
    {0x19, {4, 0, 4, 1, false}, "generalized data"},
    {0x20, {2, 0, 0, 1, false}, "pause"},
    {0x21, {1, 0, 1, 1, false}, "group start"},
    {0x22, {0, 0, 0, 1, false}, "group end"},
    {0x23, {2, 0, 0, 1, false}, "jump to block"},
    {0x24, {2, 0, 0, 1, false}, "loop start"},
    {0x25, {0, 0, 0, 1, false}, "loop end"},
    {0x26, {2, 0, 2, 2, false}, "call sequence"},
    {0x27, {0, 0, 0, 1, false}, "return from sequence"},
    {0x28, {2, 0, 2, 1, false}, "select block"},
    {0x2A, {4, 0, 4, 1, false}, "stop the tape if in 48K mode"},
    {0x2B, {4, 0, 4, 1, false}, "set signal level"},
    {0x30, {1, 0, 1, 1, false}, "text description"},
    {0x31, {2, 1, 1, 1, false}, "message"},
    {0x32, {2, 0, 2, 1, false}, "archive info"},
    {0x33, {1, 0, 1, 3, false}, "hardware type"},
    {0x34, {8, 0, 0, 1, false}, "emulation info"},
    {0x35, {20, 16, 4, 1, false}, "custom info"},
    {0x40, {4, 1, 3, 1, false}, "snapshot"},
    {0x5A, {9, 0, 0, 1, false}, "glue"},
};
// clang-format on

constexpr TzxShape kUnknownTzxShape = {4, 0, 4, 1, false};
}  // namespace

const TzxBlockType* FindTzxBlockType(uint8_t id) {
    const auto* found = std::find_if(std::begin(kTzxBlockTypes), std::end(kTzxBlockTypes),
                                     [id](const TzxBlockType& type) { return type.id == id; });
    return found == std::end(kTzxBlockTypes) ? nullptr : found;
}

TzxShape ShapeOfTzxBlock(uint8_t id) {
    const TzxBlockType* type = FindTzxBlockType(id);
    return type != nullptr ? type->shape : kUnknownTzxShape;
}

int32_t MaxTzxPayload(BlockKind kind) {
    switch (kind) {
        case BlockKind::Standard:
            return kMaxWordLength;
        case BlockKind::Turbo:
        case BlockKind::PureData:
        case BlockKind::DirectRecording:
            return kMaxTripleLength;
        case BlockKind::RawTzx:
            return std::numeric_limits<int32_t>::max();
        case BlockKind::PureTone:
        case BlockKind::PulseSequence:
        case BlockKind::Pause:
            return 0;
    }
    return 0;
}

void AppendTzxBlock(std::vector<uint8_t>& image, const TapeBlock& block) {
    const BlockTiming t = block.Timing();
    switch (block.Kind()) {
        case BlockKind::Standard:
            AppendByte(image, kStandardId);
            AppendWord(image, t.pauseMs);
            AppendWord(image, block.Length());
            break;
        case BlockKind::Turbo: {
            // A leader too long for 0x11 starts as a tone: the signal is the same.
            const uint32_t inTurbo = std::min(t.pilotCount, kMaxTzxTonePulses);
            if (t.pilotCount > inTurbo) {
                AppendTone(image, t.pilotPulse, t.pilotCount - inTurbo);
            }
            AppendByte(image, kTurboId);
            for (int word : {t.pilotPulse, t.sync1, t.sync2, t.zeroPulse, t.onePulse}) {
                AppendWord(image, word);
            }
            AppendWord(image, static_cast<int>(inTurbo));
            AppendByte(image, t.usedBitsInLastByte);
            AppendWord(image, t.pauseMs);
            AppendTriple(image, block.Length());
            break;
        }
        case BlockKind::PureTone:
            AppendTone(image, t.pilotPulse, t.pilotCount);
            return;
        case BlockKind::PulseSequence:
            AppendPulses(image, block.Pulses());
            return;
        case BlockKind::PureData:
            AppendByte(image, kPureDataId);
            AppendWord(image, t.zeroPulse);
            AppendWord(image, t.onePulse);
            AppendByte(image, t.usedBitsInLastByte);
            AppendWord(image, t.pauseMs);
            AppendTriple(image, block.Length());
            break;
        case BlockKind::DirectRecording:
            AppendByte(image, kDirectRecordingId);
            AppendWord(image, t.tStatesPerSample);
            AppendWord(image, t.pauseMs);
            AppendByte(image, t.usedBitsInLastByte);
            AppendTriple(image, block.Length());
            break;
        case BlockKind::Pause:
            AppendByte(image, kPauseId);
            AppendWord(image, t.pauseMs);
            return;
        case BlockKind::RawTzx:
            break;
    }
    AppendPayload(image, block);
}

TzxBlockRead ReadTzxBlock(const uint8_t* block, size_t bodyOffset, size_t bodySize) {
    const uint8_t id = block[0];
    if (!IsStretchId(id)) {
        return RawBlock(block, bodyOffset, bodySize);
    }
    TimedBlock timed = ReadTimed(id, block + 1, block + bodyOffset, bodySize);
    const bool dataBlock = id == kStandardId || id == kTurboId || id == kPureDataId;
    const bool noPulses = id == kPulseSequenceId && timed.pulses.empty();
    if ((dataBlock && timed.bytes.empty()) || noPulses) {
        return RawBlock(block, bodyOffset, bodySize);
    }
    std::optional<std::string> problem = TimingProblem(timed.kind, timed.timing);
    return TzxBlockRead{TapeBlock(timed), std::move(problem)};
}
