#include <gtest/gtest.h>

#include <stdexcept>

#include "decoder/core/FastRing.h"
#include "decoder/core/RingBuffer.h"

namespace {

TEST(RingBufferTest, KeepsTheNewestElementsAndCountsEveryPush) {
    RingBuffer<int32_t> ring(40);
    for (int32_t i = 1; i <= 45; ++i) {
        ring.Push(i);
    }
    EXPECT_EQ(ring.Count(), 45);
    EXPECT_EQ(ring.Size(), 40);
    EXPECT_EQ(ring.At(0), 45);
    EXPECT_EQ(ring.At(-39), 6);
    ring.At(0) = 99;  // changed in place
    EXPECT_EQ(ring.At(0), 99);
}

TEST(RingBufferTest, RejectsIndexesOutsideWhatWasPushed) {
    RingBuffer<int32_t> ring(10);
    EXPECT_THROW(ring.At(0), std::out_of_range);
    ring.Push(7);
    EXPECT_THROW(ring.At(1), std::out_of_range);
    EXPECT_THROW(ring.At(-1), std::out_of_range);
    EXPECT_EQ(ring.At(0), 7);
}

TEST(RingBufferTest, SkippedPushesLeaveTheRingAsIfTheyHadHappened) {
    // A ring rebuilt by skipping and pushing the reachable elements reads like one that saw every
    // push, whatever the wrap-around.
    for (int64_t total : {3, 40, 41, 79, 80, 1000003}) {
        RingBuffer<int64_t> full(40);
        for (int64_t i = 0; i < total; ++i) {
            full.Push(i);
        }
        const int64_t kept = std::min<int64_t>(total, 40);
        RingBuffer<int64_t> rebuilt(40);
        rebuilt.SkipPushes(total - kept);
        for (int64_t i = total - kept; i < total; ++i) {
            rebuilt.Push(i);
        }
        ASSERT_EQ(rebuilt.Count(), full.Count());
        for (int32_t i = 0; i > -kept; --i) {
            ASSERT_EQ(rebuilt.At(i), full.At(i)) << "total " << total << " index " << i;
        }
        rebuilt.Push(-1);
        full.Push(-1);
        EXPECT_EQ(rebuilt.At(-1), full.At(-1));
    }
}

TEST(FastRingTest, ReadsLikeTheRingWithinItsReach) {
    FastRing<int64_t, 64> fast;
    RingBuffer<int64_t> ring(40);
    for (int64_t i = 0; i < 200; ++i) {
        fast.Push(i * 3);
        ring.Push(i * 3);
        const int32_t reach = static_cast<int32_t>(std::min<int64_t>(i + 1, 40));
        for (int32_t k = 0; k > -reach; --k) {
            ASSERT_EQ(fast.At(k), ring.At(k));
        }
    }
    EXPECT_EQ(fast.Count(), 200);
    fast.Newest() = 5;
    EXPECT_EQ(fast.At(0), 5);
}

}  // namespace
