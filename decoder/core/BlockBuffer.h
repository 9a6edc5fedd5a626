#pragma once

#include <cstdint>
#include <vector>

// The bytes of the block being loaded, built bit by bit, most significant bit first, with the
// running XOR of the bytes completed so far.
class CBlockBuffer {
public:
    static constexpr int32_t kGrowthStep = 1000;

    // Shifts in one bit (0 or 1; anything else throws std::invalid_argument). Every eighth bit
    // completes a byte, which is appended and XORed into the checksum.
    void AddBit(int32_t bit) {
        if (bit != 0 && bit != 1) {
            RejectBit();
        }
        m_currentByte = static_cast<uint8_t>((m_currentByte << 1) | bit);
        if (++m_bitCount == 8) {
            CompleteByte();
        }
    }
    // At least one byte, at most two stray bits after the last one, and a zero checksum.
    bool IsComplete() const;
    // Empties the bytes (releasing their storage) and the partial byte.
    void Clear();

    int32_t Size() const { return static_cast<int32_t>(m_data.size()); }
    const uint8_t* Data() const { return m_data.data(); }
    int32_t BitCount() const { return m_bitCount; }
    uint8_t CurrentByte() const { return m_currentByte; }
    uint8_t Checksum() const { return m_checksum; }
    // Bytes the storage holds before it grows again.
    int32_t Capacity() const { return static_cast<int32_t>(m_data.capacity()); }

private:
    [[noreturn]] static void RejectBit();
    void CompleteByte();
    void AppendByte(uint8_t byte);

    std::vector<uint8_t> m_data;
    int32_t m_bitCount = 0;
    uint8_t m_currentByte = 0;
    uint8_t m_checksum = 0;
};
