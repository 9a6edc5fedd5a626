// Feeds arbitrary bytes to the TAP reader. Besides not crashing, a file read completely and
// without remarks must be written back byte for byte.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "model/BlockFacts.h"
#include "tape/TapeImageReader.h"
#include "tape/TapeImageWriter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const TapeImage image = ParseTapImage(data, size, "fuzz");
    size_t total = 0;
    for (const TapeItem& block : image.blocks) {
        const int32_t length = PayloadLength(block.body);
        if (length <= 0 || length > 0xFFFF) {
            __builtin_trap();
        }
        total += static_cast<size_t>(length);
    }
    if (total > size || (image.outcome != TapeReadOutcome::Complete && image.messages.empty())) {
        __builtin_trap();
    }
    if (image.outcome == TapeReadOutcome::Complete && image.messages.empty()) {
        const std::vector<uint8_t> again = EncodeTapeImage(TapeLayout::Tap, image.blocks);
        if (again.size() != size || (size > 0 && std::memcmp(again.data(), data, size) != 0)) {
            __builtin_trap();
        }
    }
    return 0;
}
