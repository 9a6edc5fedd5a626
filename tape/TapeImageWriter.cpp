#include "tape/TapeImageWriter.h"

#include <limits>

#include "model/BlockFacts.h"
#include "tape/FileReplacer.h"
#include "tape/TzxBlockCodec.h"

namespace {
constexpr int32_t kMaxTapRecord = 0xFFFF;
constexpr uint8_t kTzxHeader[] = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 1};

void AppendWord(std::vector<uint8_t>& image, int value) {
    image.push_back(static_cast<uint8_t>(value & 0xFF));
    image.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

void AppendTapRecord(std::vector<uint8_t>& image, const BlockBody& block) {
    const std::vector<uint8_t>* data = DataBytes(block);
    if (data == nullptr) {
        return;
    }
    AppendWord(image, static_cast<int>(data->size()));
    image.insert(image.end(), data->begin(), data->end());
}

int32_t MaxLength(TapeLayout layout, const BlockBody& block) {
    if (layout == TapeLayout::Tap) {
        // What a TAP image drops has no size to fit.
        return HoldsData(block) ? kMaxTapRecord : std::numeric_limits<int32_t>::max();
    }
    return MaxTzxPayload(block);
}

// What a TAP image does with a block.
enum class TapFate { Kept, Untimed, Dropped, OtherTzx, NotTape };

TapFate FateInTap(const BlockBody& block) {
    return std::visit(Overloaded{
                          [](const RomBlock&) { return TapFate::Kept; },
                          [](const TurboBlock&) { return TapFate::Untimed; },
                          [](const PureData&) { return TapFate::Untimed; },
                          [](const PureTone&) { return TapFate::Dropped; },
                          [](const PulseRun&) { return TapFate::Dropped; },
                          [](const DirectRecording&) { return TapFate::Dropped; },
                          [](const Pause&) { return TapFate::Dropped; },
                          [](const KeptTzxBlock&) { return TapFate::OtherTzx; },
                          [](const ReadFailure&) { return TapFate::NotTape; },
                      },
                      block);
}

std::string Plural(int32_t count, const char* one, const char* many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}
}  // namespace

TapeLayout LayoutForPath(std::string_view path) {
    if (path.ends_with(".tzx") || path.ends_with(".TZX")) {
        return TapeLayout::Tzx;
    }
    return TapeLayout::Tap;
}

std::optional<std::string> FindUnstorableBlock(const std::vector<TapeItem>& blocks,
                                               TapeLayout layout) {
    for (size_t i = 0; i < blocks.size(); ++i) {
        const int32_t maxLength = MaxLength(layout, blocks[i].body);
        const int32_t length = PayloadLength(blocks[i].body);
        if (length > maxLength) {
            return "block " + std::to_string(i + 1) + " of " + std::to_string(blocks.size()) +
                   " is " + std::to_string(length) + " bytes long; a tape image holds at most " +
                   std::to_string(maxLength) + " bytes per block";
        }
    }
    return std::nullopt;
}

UnkeptStretches CountUnkept(TapeLayout layout, const std::vector<TapeItem>& blocks) {
    UnkeptStretches unkept;
    if (layout == TapeLayout::Tzx) {
        return unkept;
    }
    for (const TapeItem& block : blocks) {
        switch (FateInTap(block.body)) {
            case TapFate::OtherTzx:
                ++unkept.otherTzx;
                break;
            case TapFate::Dropped:
                ++unkept.dropped;
                break;
            case TapFate::Untimed:
                ++unkept.untimed;
                break;
            case TapFate::Kept:
            case TapFate::NotTape:
                break;
        }
    }
    return unkept;
}

std::optional<std::string> DescribeUnkept(const std::string& path,
                                          const std::vector<TapeItem>& blocks) {
    const UnkeptStretches unkept = CountUnkept(LayoutForPath(path), blocks);
    if (unkept == UnkeptStretches{}) {
        return std::nullopt;
    }
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) about " " + std::string.
    std::string text = path + ":";
    if (unkept.dropped > 0) {
        text.append(" ").append(Plural(unkept.dropped, "stretch", "stretches"));
        text.append(" (tones, pulses, recordings, pauses) not saved;");
    }
    if (unkept.otherTzx > 0) {
        text.append(" ").append(Plural(unkept.otherTzx, "other TZX block", "other TZX blocks"));
        text.append(" (texts, loops, CSW, generalized data, ...) not saved;");
    }
    if (unkept.untimed > 0) {
        text.append(" ").append(
            Plural(unkept.untimed, "turbo or pure data block", "turbo or pure data blocks"));
        text.append(" saved without their timing;");
    }
    return text + " only a TZX image keeps them";
}

std::vector<uint8_t> EncodeTapeImage(TapeLayout layout, const std::vector<TapeItem>& blocks) {
    std::vector<uint8_t> image;
    if (layout == TapeLayout::Tzx) {
        image.assign(std::begin(kTzxHeader), std::end(kTzxHeader));
    }
    for (const TapeItem& block : blocks) {
        if (layout == TapeLayout::Tzx) {
            AppendTzxBlock(image, block.body);
        } else {
            AppendTapRecord(image, block.body);
        }
    }
    return image;
}

std::optional<std::string> SaveTapeImage(const std::string& path,
                                         const std::vector<TapeItem>& blocks) {
    const TapeLayout layout = LayoutForPath(path);
    if (std::optional<std::string> refusal = FindUnstorableBlock(blocks, layout)) {
        return "Cannot save " + path + ": " + *refusal;
    }
    return CFileReplacer(path).Replace(EncodeTapeImage(layout, blocks));
}
