// Feeds arbitrary bytes, behind a valid TZX header, to the TZX reader. Besides not crashing, the
// blocks it finds, of every kind and with their timing, must survive being written as TZX and
// read again; written as TZX they must give back the file's blocks byte for byte, every block
// read; and a TAP of them must read back as their data blocks.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/BlockFacts.h"
#include "tape/TapeImageReader.h"
#include "tape/TapeImageWriter.h"

namespace {
constexpr uint8_t kHeader[] = {'Z', 'X', 'T', 'a', 'p', 'e', '!', 0x1A, 1, 20};

void CheckRoundTrip(const std::vector<TapeItem>& blocks) {
    if (FindUnstorableBlock(blocks, TapeLayout::Tzx)) {
        return;
    }
    const std::vector<uint8_t> file = EncodeTapeImage(TapeLayout::Tzx, blocks);
    const TapeImage again = ParseTapeImage(file.data(), file.size(), "again");
    // Blocks with timing no loader can replay are kept, and reported again.
    if (again.outcome == TapeReadOutcome::Unreadable || again.blocks != blocks) {
        __builtin_trap();
    }
    if (FindUnstorableBlock(blocks, TapeLayout::Tap)) {
        return;
    }
    const std::vector<uint8_t> tap = EncodeTapeImage(TapeLayout::Tap, blocks);
    const TapeImage data = ParseTapImage(tap.data(), tap.size(), "tap");
    const auto kept = std::count_if(blocks.begin(), blocks.end(),
                                    [](const TapeItem& block) { return HoldsData(block.body); });
    if (data.blocks.size() != static_cast<size_t>(kept)) {
        __builtin_trap();
    }
}

// TZX -> TZX keeps every block as it was: the blocks written again are the file's blocks up to
// the first one that could not be read whole, and all of them when every one could.
void CheckBlocksKeptAsRead(const std::vector<uint8_t>& file, const TapeImage& image) {
    if (FindUnstorableBlock(image.blocks, TapeLayout::Tzx) || file.size() < sizeof kHeader) {
        return;
    }
    const std::vector<uint8_t> again = EncodeTapeImage(TapeLayout::Tzx, image.blocks);
    const size_t body = again.size() - sizeof kHeader;
    const size_t fileBody = file.size() - sizeof kHeader;
    const bool allRead = image.outcome == TapeReadOutcome::Complete;
    if (body > fileBody || (allRead && body != fileBody) ||
        !std::equal(again.begin() + sizeof kHeader, again.end(), file.begin() + sizeof kHeader)) {
        __builtin_trap();
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Inputs that carry their own header exercise the header checks too.
    std::vector<uint8_t> file;
    if (size < sizeof kHeader || !std::equal(kHeader, kHeader + 8, data)) {
        file.assign(std::begin(kHeader), std::end(kHeader));
    }
    file.insert(file.end(), data, data + size);
    const TapeImage image = ParseTzxImage(file.data(), file.size(), "fuzz");
    size_t total = 0;
    for (const TapeItem& block : image.blocks) {
        const int32_t length = PayloadLength(block.body);
        if (HoldsData(block.body) ? length <= 0 : length < 0) {
            __builtin_trap();
        }
        total += static_cast<size_t>(length);
    }
    if (total > file.size() ||
        (image.outcome != TapeReadOutcome::Complete && image.messages.empty())) {
        __builtin_trap();
    }
    CheckRoundTrip(image.blocks);
    if (image.outcome != TapeReadOutcome::Unreadable) {
        CheckBlocksKeptAsRead(file, image);
    }
    return 0;
}
