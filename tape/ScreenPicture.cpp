#include "tape/ScreenPicture.h"

#include <cstddef>

#include "model/MachineConstants.h"

namespace {
constexpr int32_t kFirstPixelIndex = 1;  // after the flag byte
constexpr int32_t kFirstAttributeIndex = kFirstPixelIndex + spectrum::kScreenPixelBytes;
constexpr int kBytesPerPixelRow = 32;
constexpr int kColourMask = 0x07;
constexpr int kPaperShift = 3;

// Pixel rows within a third are interleaved: row 0 of every character row, then row 1, and so on.
constexpr int kCharacterRowStride = 32;
constexpr int kPixelLineStride = 256;
constexpr int kThirdStride = 2048;

Rgb CellColour(const uint8_t* blockBytes, int x, int y, bool ink) {
    const uint8_t attribute = blockBytes[AttributeIndex(x, y)];
    const int colour = ink ? attribute & kColourMask : (attribute >> kPaperShift) & kColourMask;
    return SpectrumColour(colour);
}

bool PixelIsInk(const uint8_t* blockBytes, int x, int y) {
    const uint8_t pixels = blockBytes[PixelByteIndex(x / 8, y)];
    return ((pixels >> (7 - x % 8)) & 1) != 0;
}
}  // namespace

Rgb SpectrumColour(int number) {
    const bool blue = (number & 1) != 0;
    const bool red = (number & 2) != 0;
    const bool green = (number & 4) != 0;
    return Rgb{static_cast<uint8_t>(red ? 255 : 0), static_cast<uint8_t>(green ? 255 : 0),
               static_cast<uint8_t>(blue ? 255 : 0)};
}

int32_t AttributeIndex(int x, int y) {
    return x / 8 + kBytesPerPixelRow * (y / 8) + kFirstAttributeIndex;
}

int32_t PixelByteIndex(int column, int y) {
    return kFirstPixelIndex + column + kCharacterRowStride * ((y / 8) % 8) +
           kPixelLineStride * (y % 8) + kThirdStride * (y / 64);
}

std::vector<Rgb> ScreenPicture(const uint8_t* blockBytes) {
    std::vector<Rgb> picture;
    picture.reserve(static_cast<size_t>(kScreenWidth * kScreenHeight));
    for (int y = 0; y < kScreenHeight; ++y) {
        for (int x = 0; x < kScreenWidth; ++x) {
            picture.push_back(CellColour(blockBytes, x, y, PixelIsInk(blockBytes, x, y)));
        }
    }
    return picture;
}
