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

void AppendPayload(std::vector<uint8_t>& image, const std::vector<uint8_t>& payload) {
    image.insert(image.end(), payload.begin(), payload.end());
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

bool BitPulsesTimeable(uint16_t zeroPulse, uint16_t onePulse, uint8_t usedBitsInLastByte) {
    return Timeable(zeroPulse) && Timeable(onePulse) && zeroPulse <= kLongestBitPulse &&
           onePulse <= kLongestBitPulse && usedBitsInLastByte >= 1 && usedBitsInLastByte <= 8;
}

// Why a block's timing cannot be replayed, if it cannot.
std::optional<std::string> TimingProblem(const BlockBody& body) {
    using Problem = std::optional<std::string>;
    return std::visit(
        Overloaded{
            [](const TurboBlock& t) -> Problem {
                if (!Timeable(t.pilotPulse) || !Timeable(t.sync1) || !Timeable(t.sync2) ||
                    !BitPulsesTimeable(t.zeroPulse, t.onePulse, t.usedBitsInLastByte)) {
                    return "turbo block with zero or absurd timing";
                }
                return std::nullopt;
            },
            [](const PureData& t) -> Problem {
                if (!BitPulsesTimeable(t.zeroPulse, t.onePulse, t.usedBitsInLastByte)) {
                    return "pure data block with zero or absurd timing";
                }
                return std::nullopt;
            },
            [](const PureTone& t) -> Problem {
                if (!Timeable(t.pulse) || t.count == 0) {
                    return "pure tone with zero or absurd timing";
                }
                return std::nullopt;
            },
            [](const DirectRecording& t) -> Problem {
                if (t.tStatesPerSample == 0 || t.usedBitsInLastByte < 1 ||
                    t.usedBitsInLastByte > 8) {
                    return "direct recording with zero or absurd timing";
                }
                return std::nullopt;
            },
            [](const RomBlock&) -> Problem { return std::nullopt; },
            [](const PulseRun&) -> Problem { return std::nullopt; },
            [](const Pause&) -> Problem { return std::nullopt; },
            [](const ReadFailure&) -> Problem { return std::nullopt; },
            [](const KeptTzxBlock&) -> Problem { return std::nullopt; },
        },
        body);
}

// A block of one of the stretch IDs; nothing when it holds nothing to play (a data block
// without bytes, a pulse sequence without pulses).
std::optional<BlockBody> ReadStretch(uint8_t id, const uint8_t* h, const uint8_t* body,
                                     size_t bodySize) {
    const auto bytes = [body, bodySize] { return std::vector<uint8_t>(body, body + bodySize); };
    const bool noBytes = bodySize == 0;
    switch (id) {
        case kStandardId:
            if (noBytes) {
                return std::nullopt;
            }
            return RomBlock{bytes(), Word(h)};
        case kTurboId:
            if (noBytes) {
                return std::nullopt;
            }
            return TurboBlock{Word(h),     Word(h + 10), Word(h + 2),  Word(h + 4), Word(h + 6),
                              Word(h + 8), h[12],        Word(h + 13), bytes()};
        case kPureToneId:
            return PureTone{Word(h), Word(h + 2)};
        case kPulseSequenceId: {
            PulseRun run;
            for (size_t i = 0; i + 1 < bodySize; i += 2) {
                run.pulses.push_back(Word(body + i));
            }
            if (run.pulses.empty()) {
                return std::nullopt;
            }
            return run;
        }
        case kPureDataId:
            if (noBytes) {
                return std::nullopt;
            }
            return PureData{Word(h), Word(h + 2), h[4], Word(h + 5), bytes()};
        case kDirectRecordingId:
            return DirectRecording{Word(h), h[4], Word(h + 2), bytes()};
        case kPauseId:
            return Pause{Word(h)};
        default:
            // Not a stretch: kept as read by the caller.
            return std::nullopt;
    }
}

TzxBlockRead RawBlock(const uint8_t* block, size_t bodyOffset, size_t bodySize) {
    return {KeptTzxBlock{std::vector<uint8_t>(block, block + bodyOffset + bodySize)}, std::nullopt};
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

int32_t MaxTzxPayload(const BlockBody& body) {
    return std::visit(Overloaded{
                          [](const RomBlock&) { return kMaxWordLength; },
                          [](const TurboBlock&) { return kMaxTripleLength; },
                          [](const PureData&) { return kMaxTripleLength; },
                          [](const DirectRecording&) { return kMaxTripleLength; },
                          [](const KeptTzxBlock&) { return std::numeric_limits<int32_t>::max(); },
                          [](const PureTone&) { return 0; },
                          [](const PulseRun&) { return 0; },
                          [](const Pause&) { return 0; },
                          [](const ReadFailure&) { return 0; },
                      },
                      body);
}

namespace {
void AppendTurbo(std::vector<uint8_t>& image, const TurboBlock& t) {
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
    AppendTriple(image, static_cast<int>(t.bytes.size()));
    AppendPayload(image, t.bytes);
}
}  // namespace

void AppendTzxBlock(std::vector<uint8_t>& image, const BlockBody& body) {
    std::visit(Overloaded{
                   [&](const RomBlock& b) {
                       AppendByte(image, kStandardId);
                       AppendWord(image, b.pauseMs);
                       AppendWord(image, static_cast<int>(b.bytes.size()));
                       AppendPayload(image, b.bytes);
                   },
                   [&](const TurboBlock& b) { AppendTurbo(image, b); },
                   [&](const PureTone& b) { AppendTone(image, b.pulse, b.count); },
                   [&](const PulseRun& b) { AppendPulses(image, b.pulses); },
                   [&](const PureData& b) {
                       AppendByte(image, kPureDataId);
                       AppendWord(image, b.zeroPulse);
                       AppendWord(image, b.onePulse);
                       AppendByte(image, b.usedBitsInLastByte);
                       AppendWord(image, b.pauseMs);
                       AppendTriple(image, static_cast<int>(b.bytes.size()));
                       AppendPayload(image, b.bytes);
                   },
                   [&](const DirectRecording& b) {
                       AppendByte(image, kDirectRecordingId);
                       AppendWord(image, b.tStatesPerSample);
                       AppendWord(image, b.pauseMs);
                       AppendByte(image, b.usedBitsInLastByte);
                       AppendTriple(image, static_cast<int>(b.samples.size()));
                       AppendPayload(image, b.samples);
                   },
                   [&](const Pause& b) {
                       AppendByte(image, kPauseId);
                       AppendWord(image, b.ms);
                   },
                   [&](const KeptTzxBlock& b) { AppendPayload(image, b.bytes); },
                   [](const ReadFailure&) {},
               },
               body);
}

TzxBlockRead ReadTzxBlock(const uint8_t* block, size_t bodyOffset, size_t bodySize) {
    std::optional<BlockBody> stretch =
        ReadStretch(block[0], block + 1, block + bodyOffset, bodySize);
    if (!stretch) {
        return RawBlock(block, bodyOffset, bodySize);
    }
    std::optional<std::string> problem = TimingProblem(*stretch);
    return TzxBlockRead{std::move(*stretch), std::move(problem)};
}
