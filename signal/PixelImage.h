#pragma once

#include <cstdint>
#include <vector>

#include "signal/DrawPrimitive.h"

// A width x height picture that a Drawing is rasterised into, pixel for pixel, clipped at its
// edges. Pixels are 0xAARRGGBB; a pixel that nothing covered stays 0 (transparent), so that the
// group box behind a canvas shows through. Every pixel drawn is opaque, so the words are the same
// whether a reader takes them as premultiplied or not.
class PixelImage {
public:
    // A picture of its own, all transparent.
    PixelImage(int32_t imageWidth, int32_t imageHeight);
    // Draws into rows that the caller owns and keeps alive (a window's reused image), rowStride
    // words apart; they are left as they are until Clear or drawing changes them.
    PixelImage(uint32_t* rows, int32_t imageWidth, int32_t imageHeight, int32_t rowStride);

    // Makes every pixel transparent.
    void Clear();

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
    // The pixels of a picture of its own, row after row.
    const std::vector<uint32_t>& Pixels() const { return m_pixels; }

private:
    bool Inside(int64_t x, int64_t y) const;
    uint32_t* Row(int64_t y);
    const uint32_t* Row(int64_t y) const;

    int32_t m_width = 0;
    int32_t m_height = 0;
    std::vector<uint32_t> m_pixels;  // empty when drawing into the caller's rows
    uint32_t* m_rows = nullptr;      // the caller's rows, or null for a picture of its own
    int32_t m_rowStride = 0;
};

// The 0xAARRGGBB value that PixelImage stores for a colour.
uint32_t OpaquePixel(Rgb colour);
