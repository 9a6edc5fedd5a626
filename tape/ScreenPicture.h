#pragma once

#include <cstdint>
#include <vector>

// The picture of a SCREEN$ block (6914 bytes: flag, 6144 pixel bytes, 768 attributes, checksum) as
// the Spectrum draws it, without bright and flash. The Qt canvases only copy these pixels.
struct Rgb {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;

    friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr int kScreenWidth = 256;
inline constexpr int kScreenHeight = 192;

// Colour number 0 to 7 (black, blue, red, magenta, green, cyan, yellow, white) at full intensity.
Rgb SpectrumColour(int number);
// Index in the block of the attribute that colours pixel (x, y).
int32_t AttributeIndex(int x, int y);
// Index in the block of the byte holding pixels 8c to 8c + 7 of pixel row y.
int32_t PixelByteIndex(int column, int y);
// The 256 x 192 picture, row by row from the top-left pixel. `blockBytes` holds 6914 bytes.
std::vector<Rgb> ScreenPicture(const uint8_t* blockBytes);
