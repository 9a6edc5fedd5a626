#pragma once

#include <cstdint>
#include <variant>
#include <vector>

#include "tape/ScreenPicture.h"

// What a drawing of the Signal window is made of, in the box's client pixels. A later primitive
// covers an earlier one.

// A solid rectangle; nothing is drawn when the width or height is 0 or less.
struct FillRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    Rgb colour;

    friend bool operator==(const FillRect&, const FillRect&) = default;
};

// A one-pixel line from (x0, y0) towards (x1, y1); the end point itself is not drawn, so a line
// continued from there does not set that pixel twice.
struct LineSegment {
    int32_t x0 = 0;
    int32_t y0 = 0;
    int32_t x1 = 0;
    int32_t y1 = 0;
    Rgb colour;

    friend bool operator==(const LineSegment&, const LineSegment&) = default;
};

using DrawPrimitive = std::variant<FillRect, LineSegment>;
using Drawing = std::vector<DrawPrimitive>;
