#include "decoder/core/PulseRange.h"

int PulseRange::Compare(const PulseRange& other) const {
    if (min < other.min) {
        if (max < other.min) {
            return kBelow;
        }
        if (max > other.max) {
            return kCovers;
        }
        return kEndsInside;
    }
    if (min > other.max) {
        return kAbove;
    }
    if (max > other.max) {
        return kStartsInside;
    }
    return kInside;
}
