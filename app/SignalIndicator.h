#pragma once

#include <cstdint>
#include <vector>

#include "decoder/core/SignalReading.h"

// The status bar's signal indicator: coloured stripes in pane 1, redrawn once per sound buffer,
// whose colours say what the decoder hears and swap at every redraw so the indicator blinks.

struct IndicatorColour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    friend bool operator==(const IndicatorColour&, const IndicatorColour&) = default;
};

// A rectangle as left, top, right, bottom (right and bottom exclusive), in pixels.
struct PaneRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

struct Stripe {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    IndicatorColour colour;
    friend bool operator==(const Stripe&, const Stripe&) = default;
};

class CSignalIndicator {
public:
    static constexpr IndicatorColour kBlack{0, 0, 0};
    static constexpr IndicatorColour kCyan{0, 255, 255};
    static constexpr IndicatorColour kRed{255, 0, 0};
    static constexpr IndicatorColour kBlue{0, 0, 255};
    static constexpr IndicatorColour kYellow{255, 255, 0};

    // Sets the two colours from a calibration reading; Unchanged keeps them.
    void SetReading(SignalReading reading);
    // The stripes of this update inside the pane, then counts the update. Stripe i takes colour A
    // when i and the update count have the same parity. An inner height under 4 pixels gives
    // stripes of height 0: then nothing is drawn.
    std::vector<Stripe> NextStripes(const PaneRect& pane);

    IndicatorColour ColourA() const { return m_stripeColourA; }
    IndicatorColour ColourB() const { return m_stripeColourB; }
    int32_t UpdateCount() const { return m_updateCount; }

private:
    IndicatorColour m_stripeColourA = kBlack;
    IndicatorColour m_stripeColourB = kBlack;
    int32_t m_updateCount = 0;
};
