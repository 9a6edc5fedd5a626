#include "tape/TapeBlock.h"

#include <algorithm>

namespace {
constexpr int32_t kHeaderLength = 19;
constexpr int32_t kScreenLength = 6914;
constexpr uint8_t kHeaderFlag = 0x00;
constexpr uint8_t kDataFlag = 0xFF;

std::unique_ptr<uint8_t[]> CopyBytes(int32_t length, const uint8_t* source) {
    if (length <= 0 || source == nullptr) {
        return nullptr;
    }
    auto copy = std::make_unique<uint8_t[]>(static_cast<size_t>(length));
    std::copy_n(source, length, copy.get());
    return copy;
}
}  // namespace

TapeBlock::TapeBlock(int32_t blockLength, const uint8_t* blockBytes)
    : length(blockLength > 0 && blockBytes != nullptr ? blockLength : 0),
      bytes(CopyBytes(length, blockBytes)) {}

TapeBlock::TapeBlock(const TapeBlock& other)
    : length(other.length), bytes(CopyBytes(other.length, other.bytes.get())) {}

TapeBlock::TapeBlock(TapeBlock&& other) noexcept
    : length(other.length), bytes(std::move(other.bytes)) {
    other.length = 0;
}

TapeBlock& TapeBlock::operator=(const TapeBlock& other) {
    if (this != &other) {
        bytes = CopyBytes(other.length, other.bytes.get());
        length = other.length;
    }
    return *this;
}

TapeBlock& TapeBlock::operator=(TapeBlock&& other) noexcept {
    if (this != &other) {
        bytes = std::move(other.bytes);
        length = other.length;
        other.length = 0;
    }
    return *this;
}

bool TapeBlock::IsHeader() const {
    return length == kHeaderLength && bytes[0] == kHeaderFlag;
}

bool TapeBlock::IsScreen() const {
    return length == kScreenLength && bytes[0] == kDataFlag;
}

bool operator==(const TapeBlock& a, const TapeBlock& b) {
    return a.length == b.length &&
           std::equal(a.bytes.get(), a.bytes.get() + a.length, b.bytes.get());
}
