#pragma once

#include <cstdint>
#include <vector>

#include "signal/DrawPrimitive.h"

// A width x height picture that a Drawing is rasterised into, pixel for pixel, clipped at its
// edges. Pixels are 0xAARRGGBB; a pixel that nothing covered stays 0 (transparent), so that the
// group box behind a canvas shows through.
class PixelImage {
public:
    PixelImage(int32_t imageWidth, int32_t imageHeight);

    void Paint(const Drawing& drawing);
    void Fill(const FillRect& rect);
    void Line(const LineSegment& line);
    // Sets one pixel; outside the picture nothing happens.
    void Set(int64_t x, int64_t y, Rgb colour);

    int32_t Width() const { return m_width; }
    int32_t Height() const { return m_height; }
    // 0 when nothing covered the pixel (or it lies outside), else 0xFF followed by red, green,
    // blue.
    uint32_t At(int32_t x, int32_t y) const;
    bool IsSet(int32_t x, int32_t y) const { return At(x, y) != 0; }
    const std::vector<uint32_t>& Pixels() const { return m_pixels; }

private:
    bool Inside(int64_t x, int64_t y) const;

    int32_t m_width = 0;
    int32_t m_height = 0;
    std::vector<uint32_t> m_pixels;
};

// The 0xAARRGGBB value that PixelImage stores for a colour.
uint32_t OpaquePixel(Rgb colour);
