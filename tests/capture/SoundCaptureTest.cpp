#include <gtest/gtest.h>

#include <cstdio>

#include "capture/SoundCapture.h"
#include "tests/capture/RecordingHost.h"
#include "tests/capture/ScriptedSoundLayer.h"

namespace {

class SoundCaptureTest : public ::testing::Test {
protected:
    ScriptedSoundLayer layer;
    RecordingHost host;
    CSoundCapture capture{layer, host};

    void Fail(const std::string& operation, int code, int call = 0) {
        layer.failures[operation] = {call, code};
    }
    // Delivers the oldest queued buffer, full, and returns it.
    WaveHeader* DeliverFull(uint8_t value = 128) {
        WaveHeader* header = layer.FillFull(value);
        capture.OnWimData(header);
        return header;
    }
    int SlotOf(const WaveHeader* header) const {
        for (int slot = 0; slot < CSoundCapture::kBufferCount; ++slot) {
            if (&capture.Header(slot) == header) {
                return slot;
            }
        }
        return -1;
    }
    std::string AddressOf(const WaveHeader* header) const {
        char text[32];
        std::snprintf(text, sizeof text, "0x%x",
                      static_cast<unsigned>(reinterpret_cast<uintptr_t>(header)));
        return text;
    }
};

TEST_F(SoundCaptureTest, OpeningQueuesFourNumberedFullBuffersThenStarts) {
    capture.OpenSoundInput();

    EXPECT_EQ(layer.calls,
              (std::vector<std::string>{"Open", "PrepareHeader", "AddBuffer", "PrepareHeader",
                                        "AddBuffer", "PrepareHeader", "AddBuffer", "PrepareHeader",
                                        "AddBuffer", "Start"}));
    ASSERT_EQ(layer.queued.size(), 4u);
    for (int slot = 0; slot < 4; ++slot) {
        EXPECT_EQ(layer.queued[static_cast<size_t>(slot)], &capture.Header(slot));
        EXPECT_EQ(capture.Header(slot).user, static_cast<uintptr_t>(slot + 1));
        EXPECT_EQ(capture.Header(slot).bufferLength, 22000u);
        EXPECT_NE(capture.Header(slot).data, nullptr);
    }
    EXPECT_EQ(capture.BuffersSetUp(), 4);
    EXPECT_EQ(capture.ExpectedBuffer(), 1u);
    EXPECT_EQ(capture.State(), CaptureState::Recording);
    EXPECT_TRUE(host.errors.empty());
}

TEST_F(SoundCaptureTest, FirstBufferIsKeptAndEachLaterOneGivesBackItsPredecessor) {
    capture.OpenSoundInput();

    WaveHeader* first = DeliverFull(1);
    EXPECT_EQ(host.steps, (std::vector<std::string>{"ProcessBuffer 22000", "UpdateSignalIndicator",
                                                    "CaptureSnapshot", "RefreshSignal"}));
    EXPECT_EQ(layer.queued.size(), 3u) << "the first buffer stays with the program";
    EXPECT_EQ(first->user, 1u);

    DeliverFull(2);
    ASSERT_EQ(layer.queued.size(), 3u);
    EXPECT_EQ(layer.queued.back(), &capture.Header(0));
    EXPECT_EQ(capture.Header(0).user, 5u);

    DeliverFull(3);
    DeliverFull(4);
    WaveHeader* fifth = DeliverFull(5);
    EXPECT_EQ(SlotOf(fifth), 0);
    EXPECT_EQ(fifth->user, 5u);
    EXPECT_EQ(layer.queued.back(), &capture.Header(3));
    EXPECT_EQ(capture.Header(3).user, 8u);

    // Many rounds later buffer n still lies in slot (n - 1) mod 4 and every byte was decoded once.
    for (uint32_t n = 6; n <= 41; ++n) {
        WaveHeader* header = DeliverFull(static_cast<uint8_t>(n));
        EXPECT_EQ(header->user, n);
        EXPECT_EQ(SlotOf(header), static_cast<int>((n - 1) % 4));
        EXPECT_EQ(layer.queued.size(), 3u);
    }
    EXPECT_EQ(host.decoded.size(), 41u * 22000u);
    EXPECT_EQ(host.decoded[40u * 22000u], 41);
    EXPECT_EQ(capture.ExpectedBuffer(), 42u);
    EXPECT_TRUE(host.errors.empty());
}

TEST_F(SoundCaptureTest, ReplayShortensBuffersGivenBackOneAtATime) {
    capture.OpenSoundInput();
    host.fromFile = true;
    DeliverFull();
    DeliverFull();  // gives back slot 0 as a replay clock
    EXPECT_EQ(layer.queuedLengths.back(), 7333u);
    // The buffers queued at opening keep their 22000 bytes.
    EXPECT_EQ(layer.queued.front()->bufferLength, 22000u);
    DeliverFull();
    DeliverFull();
    WaveHeader* shortOne = DeliverFull();
    EXPECT_EQ(shortOne->bytesRecorded, 7333u);
    EXPECT_EQ(host.steps[host.steps.size() - 4], "ProcessBuffer 7333");

    host.fromFile = false;
    DeliverFull();
    EXPECT_EQ(layer.queuedLengths.back(), 22000u);
}

TEST_F(SoundCaptureTest, ClosingResetsStopsClosesAndIgnoresBuffersThatComeBackAfterwards) {
    capture.OpenSoundInput();
    DeliverFull();
    DeliverFull();
    layer.calls.clear();
    std::vector<WaveHeader*> pending = layer.queued;

    capture.CloseSoundInput();

    EXPECT_EQ(layer.calls, (std::vector<std::string>{"Reset", "Stop", "Close"}));
    for (int slot = 0; slot < 4; ++slot) {
        EXPECT_EQ(capture.Header(slot).data, nullptr);
        EXPECT_EQ(capture.Header(slot).bufferLength, 0u);
    }
    host.steps.clear();
    layer.calls.clear();
    for (WaveHeader* header : pending) {
        capture.OnWimData(header);  // what the reset hands back
    }
    capture.OnWimData(nullptr);
    EXPECT_TRUE(host.steps.empty());
    EXPECT_TRUE(layer.calls.empty());
    EXPECT_FALSE(capture.IsOpen());
    EXPECT_EQ(capture.State(), CaptureState::Closed);

    capture.CloseSoundInput();  // a second close does nothing
    EXPECT_TRUE(layer.calls.empty());
    EXPECT_TRUE(host.errors.empty());
}

TEST_F(SoundCaptureTest, OpeningFailuresAreShownAndLeaveTheInputClosed) {
    struct Case {
        std::string operation;
        int call;
        int code;
        std::string message;
        bool handleOpened;
    };
    const std::vector<Case> cases = {
        {"Open", 0, 2, "Error 2 for waveInOpen : text of 2\n", false},
        {"PrepareHeader", 3, 11, "Error 11 for waveInPrepareHeader 2 : text of 11\n", true},
        {"AddBuffer", 2, 5, "Error 5 for waveInAddBuffer 1: text of 5\n", true},
        {"Start", 0, 3, "Error 3 for waveInStart : text of 3\n", true},
    };
    for (const Case& failing : cases) {
        SCOPED_TRACE(failing.operation);
        ScriptedSoundLayer freshLayer;
        RecordingHost freshHost;
        freshLayer.failures[failing.operation] = {failing.call, failing.code};
        CSoundCapture fresh(freshLayer, freshHost);

        fresh.OpenSoundInput();

        EXPECT_EQ(freshHost.errors, std::vector<std::string>{failing.message});
        EXPECT_EQ(freshHost.fatalCount, 0) << "start-up goes on without capture";
        EXPECT_FALSE(fresh.IsOpen());
        EXPECT_EQ(fresh.State(), CaptureState::Closed);
        EXPECT_EQ(freshLayer.CallCount("Close"), failing.handleOpened ? 1 : 0);
        for (int slot = 0; slot < 4; ++slot) {
            EXPECT_EQ(fresh.Header(slot).data, nullptr) << "slot " << slot << " freed";
        }
    }
}

TEST_F(SoundCaptureTest, ClosingFailuresAreEachShownAndClosingGoesOn) {
    capture.OpenSoundInput();
    Fail("Reset", 6);
    Fail("Stop", 7);
    Fail("Close", 8);

    capture.CloseSoundInput();

    EXPECT_EQ(host.errors, (std::vector<std::string>{"Error 6 for waveInReset : text of 6\n",
                                                     "Error 7 for waveInStop : text of 7\n",
                                                     "Error 8 for waveInClose : text of 8\n"}));
    EXPECT_EQ(host.fatalCount, 0);
    EXPECT_EQ(capture.Header(2).data, nullptr);
    EXPECT_FALSE(capture.IsOpen());
}

TEST_F(SoundCaptureTest, BuffersHandedBackWhileAClosingErrorIsShownReachNobody) {
    capture.OpenSoundInput();
    DeliverFull();
    WaveHeader* pending = layer.Fill(22000);
    Fail("Reset", 6);
    host.steps.clear();
    host.whileShowingError = [this, pending] { capture.OnWimData(pending); };

    capture.CloseSoundInput();

    EXPECT_EQ(host.errors.size(), 1u);
    EXPECT_TRUE(host.steps.empty()) << "the owner may have released the decoder already";
    EXPECT_EQ(layer.CallCount("AddBuffer"), 4);
}

TEST_F(SoundCaptureTest, BufferOutOfSequenceIsFatalAndNamesTheHeader) {
    capture.OpenSoundInput();
    WaveHeader* first = layer.Fill(22000);
    WaveHeader* second = layer.Fill(22000);

    capture.OnWimData(second);

    ASSERT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(host.errors[0],
              "What buffer is that " + AddressOf(second) + " : 2 but expecting 1\n");
    EXPECT_EQ(host.fatalCount, 1);
    EXPECT_EQ(layer.CallCount("AddBuffer"), 4) << "nothing given back";

    host.steps.clear();
    capture.OnWimData(first);  // the program is ending: nothing more is decoded or reported
    EXPECT_TRUE(host.steps.empty());
    EXPECT_EQ(host.errors.size(), 1u);
}

TEST_F(SoundCaptureTest, EmptyDeliveryIsCountedAndRotatedWithoutBreakingTheSequence) {
    capture.OpenSoundInput();
    DeliverFull();
    WaveHeader* empty = layer.Fill(0);
    capture.OnWimData(empty);

    EXPECT_EQ(capture.EmptyBuffers(), 1);
    EXPECT_EQ(host.steps.size(), 4u) << "the empty buffer is not decoded";
    EXPECT_EQ(capture.Header(0).user, 5u) << "buffer 1 given back all the same";
    EXPECT_EQ(capture.ExpectedBuffer(), 3u);

    DeliverFull();
    DeliverFull();
    EXPECT_TRUE(host.errors.empty());
    EXPECT_EQ(host.fatalCount, 0);
    EXPECT_EQ(capture.ExpectedBuffer(), 5u);
    EXPECT_EQ(host.decoded.size(), 3u * 22000u);
}

TEST_F(SoundCaptureTest, LosingTheServerTellsOnceKeepsTheProgramAndResumesWhenASourceIsBack) {
    for (const std::string operation : {"AddBuffer", "PrepareHeader"}) {
        SCOPED_TRACE(operation);
        ScriptedSoundLayer lostLayer;
        RecordingHost lostHost;
        CSoundCapture lost(lostLayer, lostHost);
        lost.OpenSoundInput();
        lost.OnWimData(lostLayer.FillFull());
        lostLayer.failures[operation] = {0, 7};
        std::vector<WaveHeader*> handedBack = lostLayer.queued;  // what the layer hands back

        for (WaveHeader* header : handedBack) {
            lostLayer.queued.erase(lostLayer.queued.begin());
            header->bytesRecorded = 0;
            lost.OnWimData(header);
        }

        const std::string expected = operation == "AddBuffer"
                                         ? "Error 7 for waveInAddBuffer : text of 7\n"
                                         : "Error 7 for waveInPrepareHeader : text of 7\n";
        EXPECT_EQ(lostHost.errors, std::vector<std::string>{expected});
        EXPECT_EQ(lostHost.fatalCount, 0);
        EXPECT_EQ(lost.State(), CaptureState::Lost);
        EXPECT_FALSE(lost.IsOpen());
        EXPECT_EQ(lostHost.notices.size(), 1u);

        lostLayer.devices = 0;
        EXPECT_FALSE(lost.RetryLostInput());
        lostLayer.devices = 1;
        lostLayer.failures["Open"] = {0, 9};
        EXPECT_FALSE(lost.RetryLostInput());
        EXPECT_EQ(lost.State(), CaptureState::Lost);
        EXPECT_EQ(lostHost.errors.size(), 1u) << "failed retries stay quiet";

        lostLayer.failures.clear();
        lostLayer.queued.clear();
        ASSERT_TRUE(lost.RetryLostInput());
        EXPECT_EQ(lost.State(), CaptureState::Recording);
        EXPECT_EQ(lostHost.notices.size(), 2u);
        const size_t decodedBefore = lostHost.decoded.size();
        for (int n = 0; n < 6; ++n) {
            lost.OnWimData(lostLayer.FillFull(9));
        }
        EXPECT_EQ(lostHost.decoded.size(), decodedBefore + 6u * 22000u);
        EXPECT_EQ(lostHost.errors.size(), 1u);
    }
}

TEST_F(SoundCaptureTest, RetryDoesNothingUnlessTheInputWasLost) {
    EXPECT_FALSE(capture.RetryLostInput());
    EXPECT_TRUE(layer.calls.empty());
    capture.OpenSoundInput();
    layer.calls.clear();
    EXPECT_FALSE(capture.RetryLostInput());
    EXPECT_TRUE(layer.calls.empty());
}

}  // namespace
