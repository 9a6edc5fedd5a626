#include "tape/TapeImageWriter.h"

#include <limits>

#include "tape/FileReplacer.h"
#include "tape/TzxBlockCodec.h"

namespace {
constexpr int32_t kMaxTapRecord = 0xFFFF;
constexpr uint8_t kTzxHeader[] = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 1};

void AppendWord(std::vector<uint8_t>& image, int value) {
    image.push_back(static_cast<uint8_t>(value & 0xFF));
    image.push_back(static_cast<uint8_t>((value >> 8) & 0xFF));
}

void AppendTapRecord(std::vector<uint8_t>& image, const TapeBlock& block) {
    if (!block.HoldsData()) {
        return;
    }
    AppendWord(image, block.Length());
    const std::span<const uint8_t> data = block.Data();
    image.insert(image.end(), data.begin(), data.end());
}

int32_t MaxLength(TapeLayout layout, const TapeBlock& block) {
    if (layout == TapeLayout::Tap) {
        // What a TAP image drops has no size to fit.
        return block.HoldsData() ? kMaxTapRecord : std::numeric_limits<int32_t>::max();
    }
    return MaxTzxPayload(block.Kind());
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

std::optional<std::string> FindUnstorableBlock(const std::vector<TapeBlock>& blocks,
                                               TapeLayout layout) {
    for (size_t i = 0; i < blocks.size(); ++i) {
        const int32_t maxLength = MaxLength(layout, blocks[i]);
        if (blocks[i].Length() > maxLength) {
            return "block " + std::to_string(i + 1) + " of " + std::to_string(blocks.size()) +
                   " is " + std::to_string(blocks[i].Length()) +
                   " bytes long; a tape image holds at most " + std::to_string(maxLength) +
                   " bytes per block";
        }
    }
    return std::nullopt;
}

UnkeptStretches CountUnkept(TapeLayout layout, const std::vector<TapeBlock>& blocks) {
    UnkeptStretches unkept;
    if (layout == TapeLayout::Tzx) {
        return unkept;
    }
    for (const TapeBlock& block : blocks) {
        if (block.Kind() == BlockKind::RawTzx) {
            ++unkept.otherTzx;
        } else if (!block.HoldsData()) {
            ++unkept.dropped;
        } else if (block.Kind() != BlockKind::Standard) {
            ++unkept.untimed;
        }
    }
    return unkept;
}

std::optional<std::string> DescribeUnkept(const std::string& path,
                                          const std::vector<TapeBlock>& blocks) {
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

std::vector<uint8_t> EncodeTapeImage(TapeLayout layout, const std::vector<TapeBlock>& blocks) {
    std::vector<uint8_t> image;
    if (layout == TapeLayout::Tzx) {
        image.assign(std::begin(kTzxHeader), std::end(kTzxHeader));
    }
    for (const TapeBlock& block : blocks) {
        if (layout == TapeLayout::Tzx) {
            AppendTzxBlock(image, block);
        } else {
            AppendTapRecord(image, block);
        }
    }
    return image;
}

std::optional<std::string> SaveTapeImage(const std::string& path,
                                         const std::vector<TapeBlock>& blocks) {
    const TapeLayout layout = LayoutForPath(path);
    if (std::optional<std::string> refusal = FindUnstorableBlock(blocks, layout)) {
        return "Cannot save " + path + ": " + *refusal;
    }
    return CFileReplacer(path).Replace(EncodeTapeImage(layout, blocks));
}
