#pragma once

#include <cstdint>
#include <memory>

// One block as it came off the tape: `length` bytes, the flag byte at index 0 and the checksum
// byte as read at index length - 1. Owned and deep-copied; nothing checks the checksum.
class TapeBlock {
public:
    TapeBlock() = default;
    TapeBlock(int32_t blockLength, const uint8_t* blockBytes);
    TapeBlock(const TapeBlock& other);
    TapeBlock(TapeBlock&& other) noexcept;
    TapeBlock& operator=(const TapeBlock& other);
    TapeBlock& operator=(TapeBlock&& other) noexcept;
    ~TapeBlock() = default;

    // A standard header: exactly 19 bytes with flag 0x00.
    bool IsHeader() const;
    // A SCREEN$ block: exactly 6914 bytes with flag 0xFF.
    bool IsScreen() const;

    int32_t length = 0;
    std::unique_ptr<uint8_t[]> bytes;
};

bool operator==(const TapeBlock& a, const TapeBlock& b);
