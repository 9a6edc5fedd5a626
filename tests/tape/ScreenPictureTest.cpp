#include <gtest/gtest.h>

#include "tape/ScreenPicture.h"
#include "tests/tape/TapeTestData.h"

namespace {
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlue{0, 0, 255};
constexpr Rgb kRed{255, 0, 0};

// A screen block with every pixel byte `pixels` and every attribute `attribute`.
std::vector<uint8_t> Screen(uint8_t pixels, uint8_t attribute) {
    std::vector<uint8_t> block(6914, pixels);
    block[0] = 0xFF;
    std::fill(block.begin() + 6145, block.begin() + 6913, attribute);
    block[6913] = 0;
    return block;
}

Rgb At(const std::vector<Rgb>& picture, int x, int y) {
    return picture[static_cast<size_t>(y * kScreenWidth + x)];
}

int CountOf(const std::vector<Rgb>& picture, Rgb colour) {
    return static_cast<int>(std::count(picture.begin(), picture.end(), colour));
}
}  // namespace

TEST(ScreenPicture, PlainPaperAndPlainInk) {
    const auto paper = ScreenPicture(Screen(0x00, 0x38).data());
    ASSERT_EQ(paper.size(), 256u * 192u);
    EXPECT_EQ(CountOf(paper, kWhite), 256 * 192);
    EXPECT_EQ(CountOf(ScreenPicture(Screen(0xFF, 0x38).data()), kBlack), 256 * 192);
}

TEST(ScreenPicture, BrightAndFlashAreIgnored) {
    const auto plain = ScreenPicture(Screen(0xF0, 0x07).data());
    EXPECT_EQ(ScreenPicture(Screen(0xF0, 0x47).data()), plain);
    EXPECT_EQ(ScreenPicture(Screen(0xF0, 0xC7).data()), plain);
    EXPECT_EQ(At(plain, 0, 0), kWhite);
    EXPECT_EQ(At(plain, 4, 0), kBlack);
}

TEST(ScreenPicture, OnlyTheTopLeftPixelOfByteOne) {
    auto block = Screen(0x00, 0x38);
    block[1] = 0x80;
    const auto picture = ScreenPicture(block.data());
    EXPECT_EQ(At(picture, 0, 0), kBlack);
    EXPECT_EQ(CountOf(picture, kBlack), 1);
}

TEST(ScreenPicture, PixelRowsAreInterleavedByThirds) {
    // Each pixel byte belongs to exactly one place.
    std::vector<int> uses(6145, 0);
    for (int y = 0; y < 192; ++y) {
        for (int c = 0; c < 32; ++c) {
            ++uses[static_cast<size_t>(PixelByteIndex(c, y))];
        }
    }
    EXPECT_EQ(std::count(uses.begin() + 1, uses.end(), 1), 6144);

    for (auto [index, row] : {std::pair{257, 1}, {33, 8}, {2049, 64}}) {
        auto block = Screen(0x00, 0x38);
        block[static_cast<size_t>(index)] = 0x01;  // bit 0: the rightmost pixel of column 0
        const auto picture = ScreenPicture(block.data());
        EXPECT_EQ(At(picture, 7, row), kBlack) << index;
        EXPECT_EQ(CountOf(picture, kBlack), 1) << index;
    }
}

TEST(ScreenPicture, AttributesColourTheirCells) {
    auto block = Screen(0x0F, 0x38);
    block[6145] = 0x0A;  // paper 1 blue, ink 2 red
    block[6912] = 0x11;  // paper 2 red, ink 1 blue
    const auto picture = ScreenPicture(block.data());
    EXPECT_EQ(At(picture, 0, 0), kBlue);
    EXPECT_EQ(At(picture, 7, 7), kRed);
    EXPECT_EQ(At(picture, 8, 0), kWhite);
    EXPECT_EQ(At(picture, 248, 184), kRed);
    EXPECT_EQ(At(picture, 255, 191), kBlue);
    EXPECT_EQ(At(picture, 247, 191), kBlack);
    EXPECT_EQ(CountOf(picture, kBlue), 32 + 32);
}
