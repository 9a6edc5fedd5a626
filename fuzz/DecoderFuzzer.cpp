// Feeds arbitrary bytes to the decoder as a recording, the way the command-line tool feeds a file:
// the first bytes choose the mode (plain, robust, archive at one of several rates) and a few wave
// processing settings, the rest are unsigned 8-bit samples. Besides not crashing, everything the
// decoder lists must be consistent: a ROM-timed block's bytes XOR to zero, a stretch's fields
// describe a stretch, every listed block can be stored in a TZX image and reads back as it was
// listed, and the ROM-timed blocks listed fit in the signal, each with a leader of its own (a
// block listed twice for one stretch of tape would not).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "decoder/SampleDecoder.h"
#include "decoder/core/DecoderOwner.h"
#include "model/TapeItem.h"
#include "recording/BufferFeeder.h"
#include "tape/TapeImageReader.h"
#include "tape/TapeImageWriter.h"

namespace {
constexpr size_t kSettingsBytes = 4;
constexpr int32_t kArchiveRates[] = {22000, 44100, 48000, 11025, 8000, 96000, 32000, 16000};
// Bits at the start and end of a block that repair may have mended rather than read.
constexpr int64_t kMendedBits = 24;

[[noreturn]] void Fail() {
    __builtin_trap();
}

bool XorsToZero(const uint8_t* bytes, int32_t length) {
    uint8_t sum = 0;
    for (int32_t i = 0; i < length; ++i) {
        sum ^= bytes[i];
    }
    return sum == 0;
}

bool BitsUsed(uint8_t usedBitsInLastByte) {
    return usedBitsInLastByte >= 1 && usedBitsInLastByte <= 8;
}

template <class DataBlock>
bool DataReplays(const DataBlock& b) {
    return !b.bytes.empty() && BitsUsed(b.usedBitsInLastByte) && b.zeroPulse != 0 &&
           b.onePulse != 0;
}

bool Replays(const BlockBody& body) {
    return std::visit(
        Overloaded{
            [](const RomBlock& b) { return !b.bytes.empty(); },
            [](const TurboBlock& b) { return DataReplays(b); },
            [](const PureData& b) { return DataReplays(b); },
            [](const PureTone& b) { return b.pulse != 0 && b.count != 0; },
            [](const PulseRun& b) { return !b.pulses.empty(); },
            [](const DirectRecording& b) {
                return !b.samples.empty() && BitsUsed(b.usedBitsInLastByte) &&
                       b.tStatesPerSample != 0;
            },
            [](const Pause&) { return true; },
            // Only read from an image, or listed as an error row: never a decoded stretch.
            [](const ReadFailure&) { return false; },
            [](const KeptTzxBlock&) { return false; },
        },
        body);
}

void CheckStretch(const TapeItem& item) {
    if (!Replays(item.body) || !item.span.Known() || item.span.sampleCount < 0) {
        Fail();
    }
}

// Keeps what the decoder lists and checks each entry as it comes.
class CCheckingOwner : public CDecoderOwner {
public:
    void SetStatusText(const char*) override {}
    void AppendLog(const char*) override {}
    void AddBlock(int32_t length, const uint8_t* bytes) override {
        if (length <= 0 || !XorsToZero(bytes, length)) {
            Fail();
        }
        blocks.push_back({RomBlock{std::vector<uint8_t>(bytes, bytes + length)}, {}, {}});
        romLengths.push_back(length);
    }
    bool ListErrors() const override { return true; }
    void AddErrorEntry(int32_t bytesRead, int32_t firstByte) override {
        if (bytesRead < 0 || firstByte < -1 || firstByte > 255 ||
            (bytesRead > 0) != (firstByte >= 0)) {
            Fail();
        }
    }
    void AddErrorSnapshot(const SignalSnapshot&) override {}
    void RefreshSignal() override {}
    void DebugOutput(const char*) override {}
    void AddTimedBlock(const TapeItem& item) override {
        CheckStretch(item);
        blocks.push_back({item.body, {}, {}});
    }

    std::vector<TapeItem> blocks;
    std::vector<int32_t> romLengths;  // of the blocks listed through AddBlock
};

DecoderSettings SettingsFrom(const uint8_t* bytes, int32_t& rate) {
    DecoderSettings settings;
    const int mode = bytes[0] & 3;
    settings.mode = mode == 2                ? DecoderMode::Archive
                    : mode == 1 || mode == 3 ? DecoderMode::Robust
                                             : DecoderMode::Plain;
    settings.maxFirst = (bytes[0] & 4) != 0;
    settings.middleVals = (bytes[0] & 8) != 0;
    settings.externVals = (bytes[0] & 16) != 0;
    rate = settings.mode == DecoderMode::Archive ? kArchiveRates[bytes[1] & 7] : 22000;
    settings.delay = bytes[1] >> 3;
    settings.filterPercent = bytes[2] % 101;
    settings.decayPercent = bytes[3] % 101;
    return settings;
}

// The ROM-timed blocks listed must fit in the samples the decoder saw (at 22000 per second): each
// had a leader of its own, more than leaderCount periods of at least leaderMin samples, and each
// of its bits took a sample at least (calibration may move the bit limits, never the leader's).
// A block listed twice for one stretch of tape needs a second leader that is not there.
void CheckBlocksFitTheSignal(const CCheckingOwner& owner, const DecoderSettings& settings,
                             int64_t samples, int32_t rate) {
    int64_t least = 0;
    for (const int32_t length : owner.romLengths) {
        least += int64_t{settings.leaderCount} * settings.leaderMin +
                 std::max<int64_t>(0, int64_t{length} * 8 - kMendedBits);
    }
    if (least > samples * 22000 / rate + 1) {
        Fail();
    }
}

void CheckStoredAsListed(const std::vector<TapeItem>& blocks) {
    if (FindUnstorableBlock(blocks, TapeLayout::Tzx)) {
        Fail();
    }
    const std::vector<uint8_t> file = EncodeTapeImage(TapeLayout::Tzx, blocks);
    const TapeImage again = ParseTapeImage(file.data(), file.size(), "again");
    if (again.outcome != TapeReadOutcome::Complete || again.blocks != blocks) {
        Fail();
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kSettingsBytes) {
        return 0;
    }
    int32_t rate = 22000;
    const DecoderSettings settings = SettingsFrom(data, rate);
    CCheckingOwner owner;
    const auto decoder = CSampleDecoder::Create(&owner, settings, rate);
    CBufferFeeder feeder(*decoder);
    feeder.Append(data + kSettingsBytes, static_cast<int32_t>(size - kSettingsBytes));
    feeder.Finish();
    CheckBlocksFitTheSignal(owner, settings, feeder.SamplesDecoded() + feeder.ClosingSamples(),
                            rate);
    CheckStoredAsListed(owner.blocks);
    return 0;
}
