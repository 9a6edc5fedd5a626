#include "signal/PixelImage.h"

#include <algorithm>
#include <cstdlib>

namespace {
// Index range [first, last) of the steps i of a line whose major coordinate, start + sign * i, lies
// in [0, size): a line far outside the picture costs nothing.
struct StepRange {
    int64_t first = 0;
    int64_t last = 0;
};

StepRange VisibleSteps(int64_t start, int64_t sign, int64_t steps, int64_t size) {
    int64_t first = 0;
    int64_t last = steps;
    if (sign > 0) {
        first = std::max<int64_t>(first, -start);
        last = std::min<int64_t>(last, size - start);
    } else {
        first = std::max<int64_t>(first, start - (size - 1));
        last = std::min<int64_t>(last, start + 1);
    }
    return StepRange{first, std::max(first, last)};
}

// i * delta of a line can pass 64 bits when its ends lie far outside the picture.
__extension__ using WideInt = __int128;

int64_t Sign(int64_t v) {
    return v < 0 ? -1 : 1;
}
}  // namespace

uint32_t OpaquePixel(Rgb colour) {
    return 0xFF000000u | (uint32_t{colour.red} << 16) | (uint32_t{colour.green} << 8) |
           uint32_t{colour.blue};
}

PixelImage::PixelImage(int32_t imageWidth, int32_t imageHeight)
    : m_width(std::max(imageWidth, 0)),
      m_height(std::max(imageHeight, 0)),
      m_pixels(static_cast<size_t>(m_width) * static_cast<size_t>(m_height), 0u),
      m_rowStride(m_width) {}

PixelImage::PixelImage(uint32_t* rows, int32_t imageWidth, int32_t imageHeight, int32_t rowStride)
    : m_width(std::max(imageWidth, 0)),
      m_height(std::max(imageHeight, 0)),
      m_rows(rows),
      m_rowStride(rowStride) {}

// The own pixels are found through the vector each time, so that copies stay independent.
uint32_t* PixelImage::Row(int64_t y) {
    uint32_t* first = m_rows != nullptr ? m_rows : m_pixels.data();
    return first + y * m_rowStride;
}

const uint32_t* PixelImage::Row(int64_t y) const {
    const uint32_t* first = m_rows != nullptr ? m_rows : m_pixels.data();
    return first + y * m_rowStride;
}

void PixelImage::Clear() {
    for (int64_t y = 0; y < m_height; ++y) {
        std::fill_n(Row(y), m_width, 0u);
    }
}

bool PixelImage::Inside(int64_t x, int64_t y) const {
    return x >= 0 && y >= 0 && x < m_width && y < m_height;
}

uint32_t PixelImage::At(int32_t x, int32_t y) const {
    if (!Inside(x, y)) {
        return 0;
    }
    return Row(y)[x];
}

void PixelImage::Set(int64_t x, int64_t y, Rgb colour) {
    if (Inside(x, y)) {
        Row(y)[x] = OpaquePixel(colour);
    }
}

void PixelImage::Paint(const Drawing& drawing) {
    for (const DrawPrimitive& primitive : drawing) {
        if (const auto* rect = std::get_if<FillRect>(&primitive)) {
            Fill(*rect);
        } else {
            Line(std::get<LineSegment>(primitive));
        }
    }
}

void PixelImage::Fill(const FillRect& rect) {
    if (rect.width <= 0 || rect.height <= 0) {
        return;
    }
    const int64_t left = std::max<int64_t>(rect.left, 0);
    const int64_t top = std::max<int64_t>(rect.top, 0);
    const int64_t right = std::min<int64_t>(int64_t{rect.left} + rect.width, m_width);
    const int64_t bottom = std::min<int64_t>(int64_t{rect.top} + rect.height, m_height);
    const uint32_t pixel = OpaquePixel(rect.colour);
    for (int64_t y = top; y < bottom && left < right; ++y) {
        std::fill(Row(y) + left, Row(y) + right, pixel);
    }
}

// Bresenham's line: one pixel per step along the longer axis, the other coordinate rounded to the
// nearest pixel (halves away from the start). The end point is not drawn.
void PixelImage::Line(const LineSegment& line) {
    const int64_t dx = int64_t{line.x1} - line.x0;
    const int64_t dy = int64_t{line.y1} - line.y0;
    const int64_t steps = std::max(std::llabs(dx), std::llabs(dy));
    if (steps == 0) {
        return;
    }
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const int64_t majorStart = xMajor ? line.x0 : line.y0;
    const int64_t minorStart = xMajor ? line.y0 : line.x0;
    const int64_t majorSign = Sign(xMajor ? dx : dy);
    const int64_t minorDelta = xMajor ? dy : dx;
    const int64_t majorSize = xMajor ? m_width : m_height;
    const StepRange range = VisibleSteps(majorStart, majorSign, steps, majorSize);
    for (int64_t i = range.first; i < range.last; ++i) {
        const int64_t major = majorStart + majorSign * i;
        const WideInt twice = WideInt{2} * i * std::llabs(minorDelta) + steps;
        const auto offset = static_cast<int64_t>(twice / (WideInt{2} * steps));
        const int64_t minor = minorStart + Sign(minorDelta) * offset;
        if (xMajor) {
            Set(major, minor, line.colour);
        } else {
            Set(minor, major, line.colour);
        }
    }
}
