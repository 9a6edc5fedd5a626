#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "capture/RecordingQueue.h"

namespace {

struct Buffer {
    std::vector<uint8_t> bytes;
    WaveHeader header;
    explicit Buffer(uint32_t length) : bytes(length) {
        header.data = bytes.data();
        header.bufferLength = length;
    }
};

std::vector<uint8_t> Ramp(size_t count, uint8_t start) {
    std::vector<uint8_t> ramp(count);
    for (size_t i = 0; i < count; ++i) {
        ramp[i] = static_cast<uint8_t>(start + i);
    }
    return ramp;
}

TEST(RecordingQueueTest, FillsQueuedBuffersInOrderEachToItsOwnLength) {
    CRecordingQueue queue;
    Buffer a(7), b(3), c(5);
    queue.Add(a.header);
    queue.Add(b.header);
    queue.Add(c.header);

    const std::vector<uint8_t> first = Ramp(8, 0);
    queue.Fill(first.data(), first.size());
    EXPECT_EQ(queue.TakeFilled(), &a.header);
    EXPECT_EQ(queue.TakeFilled(), nullptr) << "b holds one byte of three";
    const std::vector<uint8_t> second = Ramp(6, 8);
    queue.Fill(second.data(), second.size());
    EXPECT_EQ(queue.TakeFilled(), &b.header);
    EXPECT_EQ(queue.TakeFilled(), nullptr);

    EXPECT_EQ(a.bytes, Ramp(7, 0));
    EXPECT_EQ(b.bytes, Ramp(3, 7));
    EXPECT_EQ(c.header.bytesRecorded, 4u);
    EXPECT_EQ(a.header.flags & (kWaveHeaderDone | kWaveHeaderInQueue), kWaveHeaderDone);
    EXPECT_EQ(c.header.flags & kWaveHeaderInQueue, kWaveHeaderInQueue);
}

TEST(RecordingQueueTest, ReturnAllHandsBackPartlyFilledBuffersAndClearDropsTheRest) {
    CRecordingQueue queue;
    Buffer a(4), b(4);
    queue.Add(a.header);
    queue.Add(b.header);
    const std::vector<uint8_t> bytes = Ramp(2, 1);
    queue.Fill(bytes.data(), bytes.size());
    int notices = 0;
    queue.SetNotifier([&notices] { ++notices; });

    queue.ReturnAll();
    EXPECT_EQ(notices, 1);
    EXPECT_EQ(queue.QueuedCount(), 0u);
    WaveHeader* partly = queue.TakeFilled();
    ASSERT_EQ(partly, &a.header);
    EXPECT_EQ(partly->bytesRecorded, 2u);
    EXPECT_EQ(b.header.bytesRecorded, 0u);

    queue.Clear();
    EXPECT_EQ(queue.TakeFilled(), nullptr) << "b was forgotten";
    // With nothing queued, bytes are dropped rather than kept for a later buffer.
    queue.Fill(bytes.data(), bytes.size());
    queue.Add(a.header);
    EXPECT_EQ(a.header.bytesRecorded, 0u);
}

TEST(RecordingQueueTest, WaitingOwnerReceivesEveryBufferOnceInOrderFromAnotherThread) {
    constexpr int kBuffers = 40;
    constexpr uint32_t kLength = 1000;
    std::vector<Buffer> buffers;
    buffers.reserve(kBuffers);
    CRecordingQueue queue;
    for (int i = 0; i < kBuffers; ++i) {
        buffers.emplace_back(kLength);
        queue.Add(buffers.back().header);
    }
    std::thread recorder([&queue] {
        for (int piece = 0; piece < kBuffers * 3; ++piece) {
            const std::vector<uint8_t> bytes(kLength / 3 + 1, static_cast<uint8_t>(piece));
            queue.Fill(bytes.data(), bytes.size());
        }
    });
    std::vector<WaveHeader*> received;
    while (received.size() < static_cast<size_t>(kBuffers)) {
        WaveHeader* header = queue.WaitFilled(std::chrono::seconds(5));
        ASSERT_NE(header, nullptr);
        received.push_back(header);
    }
    recorder.join();
    for (int i = 0; i < kBuffers; ++i) {
        EXPECT_EQ(received[static_cast<size_t>(i)], &buffers[static_cast<size_t>(i)].header);
        EXPECT_EQ(received[static_cast<size_t>(i)]->bytesRecorded, kLength);
    }
    EXPECT_EQ(queue.WaitFilled(std::chrono::milliseconds(10)), nullptr);
}

}  // namespace
