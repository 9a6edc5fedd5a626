#include "app/SignalIndicator.h"

#include <cstdint>

void CSignalIndicator::SetReading(SignalReading reading) {
    switch (reading) {
        case SignalReading::Nothing:
            m_stripeColourA = kBlack;
            m_stripeColourB = kBlack;
            break;
        case SignalReading::Leader:
            m_stripeColourA = kCyan;
            m_stripeColourB = kRed;
            break;
        case SignalReading::Data:
            m_stripeColourA = kBlue;
            m_stripeColourB = kYellow;
            break;
        case SignalReading::Unchanged:
            break;
    }
}

std::vector<Stripe> CSignalIndicator::NextStripes(const PaneRect& pane) {
    const int innerLeft = pane.left + 1;
    const int innerRight = pane.right - 1;
    const int innerTop = pane.top + 1;
    const int innerBottom = pane.bottom - 1;
    const int height = (innerBottom - innerTop) / 4;
    const int limit = innerBottom - height;

    std::vector<Stripe> stripes;
    // A height of 0 would never advance: draw nothing then.
    if (height > 0 && innerTop <= limit) {
        int index = 0;
        for (int y = innerTop; y <= limit; y += height, ++index) {
            const bool sameParity = (index % 2) == (m_updateCount % 2);
            stripes.push_back(Stripe{innerLeft, y, innerRight - innerLeft, height,
                                     sameParity ? m_stripeColourA : m_stripeColourB});
        }
    }
    // Wrapping from the largest count to 0 keeps the alternation (odd to even).
    m_updateCount = m_updateCount == INT32_MAX ? 0 : m_updateCount + 1;
    return stripes;
}
