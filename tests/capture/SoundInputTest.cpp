#include <gtest/gtest.h>
#include <pulse/def.h>
#include <pulse/error.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "capture/SoundInput.h"

// CSoundInput against a private PulseAudio server (scripts/pulse-test-server.sh), started and
// stopped by the test itself: its default input is the monitor of an idle null sink, so it
// records silence at the pace of the server's clock.
namespace {

const std::string kServerScript = TAPEWISE_PULSE_SERVER_SCRIPT;
const std::string kServerDir = TAPEWISE_PULSE_SERVER_DIR;

void RunServerScript(const std::string& command, const std::string& layout = "") {
    const std::string line = kServerScript + " " + command + " " + kServerDir + " " + layout;
    ASSERT_EQ(std::system(line.c_str()), 0) << line;
}

void PointClientsAtServer() {
    setenv("PULSE_SERVER", ("unix:" + kServerDir + "/run/pulse/native").c_str(), 1);
    setenv("PULSE_CLIENTCONFIG", (kServerDir + "/client.conf").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", (kServerDir + "/run").c_str(), 1);
    setenv("HOME", (kServerDir + "/home").c_str(), 1);
}

struct Buffer {
    std::vector<uint8_t> bytes;
    WaveHeader header;
    explicit Buffer(uint32_t length) : bytes(length, 0) {
        header.data = bytes.data();
        header.bufferLength = length;
    }
};

class SoundInputTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { PointClientsAtServer(); }
    void SetUp() override { RunServerScript("start", "tape"); }
    void TearDown() override {
        input.Close();
        RunServerScript("stop");
    }

    void Queue(Buffer& buffer) {
        ASSERT_EQ(input.PrepareHeader(buffer.header), 0);
        ASSERT_EQ(input.AddBuffer(buffer.header), 0);
    }

    CSoundInput input;
};

TEST_F(SoundInputTest, FillsQueuedBuffersInOrderEachToItsOwnLengthInRealTime) {
    EXPECT_EQ(input.CountInputDevices(), 1) << "the remapped source; the monitor does not count";
    ASSERT_EQ(input.Open(), 0);
    Buffer a(7333), b(2200), c(4400);
    Queue(a);
    Queue(b);
    Queue(c);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(input.Start(), 0);

    std::vector<WaveHeader*> delivered;
    while (delivered.size() < 3) {
        WaveHeader* header = input.WaitFilled(std::chrono::seconds(5));
        ASSERT_NE(header, nullptr) << "delivered " << delivered.size();
        delivered.push_back(header);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    EXPECT_EQ(delivered, (std::vector<WaveHeader*>{&a.header, &b.header, &c.header}));
    EXPECT_EQ(a.header.bytesRecorded, 7333u);
    EXPECT_EQ(b.header.bytesRecorded, 2200u);
    EXPECT_EQ(c.header.bytesRecorded, 4400u);
    EXPECT_NE(c.header.flags & kWaveHeaderDone, 0u);
    EXPECT_EQ(c.bytes.back(), 128) << "silence of u8 samples";
    // 13933 samples at 22000 per second: 0.63 s, give or take the server's buffering.
    EXPECT_GT(seconds, 0.45);
    EXPECT_LT(seconds, 1.5);
    EXPECT_EQ(input.TakeFilled(), nullptr);
}

TEST_F(SoundInputTest, ResetHandsBackEveryQueuedBufferAndCloseDropsWhatWasNotTaken) {
    ASSERT_EQ(input.Open(), 0);
    Buffer a(22000), b(22000);
    Queue(a);
    Queue(b);
    ASSERT_EQ(input.Start(), 0);
    ASSERT_EQ(input.Reset(), 0);
    EXPECT_EQ(input.TakeFilled(), &a.header);
    EXPECT_LT(a.header.bytesRecorded, 22000u);
    EXPECT_EQ(input.Stop(), 0);

    ASSERT_EQ(input.Close(), 0);
    EXPECT_EQ(input.TakeFilled(), nullptr) << "b was dropped by the close";
    EXPECT_EQ(input.Close(), CSoundInput::kInputNotOpen);
    EXPECT_EQ(input.AddBuffer(a.header), CSoundInput::kInputNotOpen);
    EXPECT_FALSE(input.ErrorText(CSoundInput::kInputNotOpen).empty());

    Buffer unprepared(100);
    ASSERT_EQ(input.Open(), 0);
    EXPECT_EQ(input.AddBuffer(unprepared.header), CSoundInput::kHeaderNotPrepared);
    EXPECT_EQ(input.Open(), CSoundInput::kInputAlreadyOpen);
}

TEST_F(SoundInputTest, ServerGoingAwayHandsBackTheBuffersAndRefusesNewOnes) {
    ASSERT_EQ(input.Open(), 0);
    Buffer a(22000), b(22000), c(22000);
    Queue(a);
    Queue(b);
    ASSERT_EQ(input.Start(), 0);

    RunServerScript("kill");

    EXPECT_EQ(input.WaitFilled(std::chrono::seconds(5)), &a.header);
    EXPECT_EQ(input.WaitFilled(std::chrono::seconds(1)), &b.header);
    EXPECT_EQ(b.header.bytesRecorded, 0u);
    EXPECT_EQ(input.PrepareHeader(c.header), 0);
    const int refused = input.AddBuffer(c.header);
    EXPECT_EQ(refused, PA_ERR_CONNECTIONTERMINATED) << input.ErrorText(refused);
    EXPECT_EQ(input.ErrorText(refused), "Connection terminated");
    EXPECT_EQ(input.CountInputDevices(), 0);

    // A fresh server: the input opens again after a close.
    EXPECT_EQ(input.Close(), 0);
    RunServerScript("start", "tape");
    ASSERT_EQ(input.Open(), 0);
    Queue(c);
    ASSERT_EQ(input.Start(), 0);
    EXPECT_EQ(input.WaitFilled(std::chrono::seconds(5)), &c.header);
    EXPECT_EQ(c.header.bytesRecorded, 22000u);
}

TEST_F(SoundInputTest, NoServerMeansNoDeviceAndOpeningFails) {
    RunServerScript("stop");
    EXPECT_EQ(input.CountInputDevices(), 0);
    const int refused = input.Open();
    EXPECT_NE(refused, 0);
    EXPECT_FALSE(input.ErrorText(refused).empty());
    EXPECT_EQ(input.Start(), CSoundInput::kInputNotOpen);
}

}  // namespace
