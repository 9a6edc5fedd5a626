#pragma once

#include <gtest/gtest.h>

#include <algorithm>

#include "decoder/core/SignalSnapshot.h"

// Two rings read alike: same count and capacity, same reachable elements.
inline ::testing::AssertionResult SameRing(const RingBuffer<TimedValue>& a,
                                           const RingBuffer<TimedValue>& b) {
    if (a.Count() != b.Count() || a.Capacity() != b.Capacity()) {
        return ::testing::AssertionFailure()
               << "count/capacity " << a.Count() << "/" << a.Capacity() << " vs " << b.Count()
               << "/" << b.Capacity();
    }
    for (int32_t i = 0; i > -a.Size(); --i) {
        if (!(a.At(i) == b.At(i))) {
            return ::testing::AssertionFailure()
                   << "At(" << i << "): (" << a.At(i).time << ", " << a.At(i).value << ") vs ("
                   << b.At(i).time << ", " << b.At(i).value << ")";
        }
    }
    return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult SameSnapshot(const SignalSnapshot& a, const SignalSnapshot& b) {
    if (auto r = SameRing(a.samples, b.samples); !r) {
        return r << " in samples";
    }
    if (auto r = SameRing(a.peaks, b.peaks); !r) {
        return r << " in peaks";
    }
    if (auto r = SameRing(a.troughs, b.troughs); !r) {
        return r << " in troughs";
    }
    if (a.periodHistogram != b.periodHistogram) {
        return ::testing::AssertionFailure() << "histograms differ";
    }
    return ::testing::AssertionSuccess();
}
