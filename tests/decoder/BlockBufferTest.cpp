#include <gtest/gtest.h>

#include <stdexcept>

#include "decoder/core/BlockBuffer.h"

namespace {

void AddByte(CBlockBuffer& buffer, uint8_t byte) {
    for (int bit = 7; bit >= 0; --bit) {
        buffer.AddBit((byte >> bit) & 1);
    }
}

TEST(BlockBufferTest, IsCompleteWithAZeroChecksumAndAtMostTwoStrayBits) {
    CBlockBuffer buffer;
    EXPECT_FALSE(buffer.IsComplete());  // nothing read: no block, although the XOR is 0
    AddByte(buffer, 0x00);
    AddByte(buffer, 0x03);
    EXPECT_FALSE(buffer.IsComplete());
    AddByte(buffer, 0x03);
    EXPECT_TRUE(buffer.IsComplete());
    buffer.AddBit(1);
    buffer.AddBit(0);
    EXPECT_TRUE(buffer.IsComplete());
    buffer.AddBit(1);
    EXPECT_FALSE(buffer.IsComplete());
}

TEST(BlockBufferTest, RejectsABitThatIsNeitherZeroNorOne) {
    CBlockBuffer buffer;
    EXPECT_THROW(buffer.AddBit(2), std::invalid_argument);
    EXPECT_THROW(buffer.AddBit(-1), std::invalid_argument);
    EXPECT_EQ(buffer.BitCount(), 0);
}

TEST(BlockBufferTest, GrowsInStepsOfAThousandAndClearsWholly) {
    CBlockBuffer buffer;
    AddByte(buffer, 1);
    EXPECT_EQ(buffer.Capacity(), 1000);
    for (int i = 1; i < 1001; ++i) {
        AddByte(buffer, static_cast<uint8_t>(i));
    }
    EXPECT_EQ(buffer.Size(), 1001);
    EXPECT_EQ(buffer.Capacity(), 2000);
    buffer.AddBit(1);
    buffer.Clear();
    EXPECT_EQ(buffer.Size(), 0);
    EXPECT_EQ(buffer.Capacity(), 0);
    EXPECT_EQ(buffer.BitCount(), 0);
    EXPECT_EQ(buffer.CurrentByte(), 0);
    EXPECT_EQ(buffer.Checksum(), 0);
}

}  // namespace
