#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A tape image built in a test: blocks of bytes, flag first and checksum last, as the ROM saves
// them; and the TAP layout to compare a decoded image with.
class CTestTape {
public:
    using Block = std::vector<uint8_t>;

    // Appends flag, payload and the XOR checksum.
    void AddBlock(uint8_t flag, const std::vector<uint8_t>& payload);
    // A standard header (type 3 = code) announcing dataLength bytes, then its data block of
    // pseudo-random bytes drawn from seed.
    void AddCodeFile(const std::string& name, int32_t dataLength, uint32_t seed);
    // A block whose checksum does not match its bytes.
    void AddBadChecksumBlock(uint8_t flag, const std::vector<uint8_t>& payload);

    const std::vector<Block>& Blocks() const { return m_blocks; }
    std::vector<uint8_t> TapBytes() const;

    static std::vector<uint8_t> RandomBytes(int32_t count, uint32_t seed);
    // The blocks of a TAP image, or nothing readable as an empty list.
    static std::vector<Block> ReadTap(const std::string& path);
    static std::vector<uint8_t> ReadFile(const std::string& path);
    static void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes);

private:
    std::vector<Block> m_blocks;
};
