#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoder/core/SignalSnapshot.h"
#include "decoder/core/TapeDecoder.h"
#include "tests/decoder/SnapshotCompare.h"
#include "tests/support/RecordingOwner.h"
#include "tests/support/Retune.h"
#include "tests/support/TapeSynth.h"
#include "tests/support/TestTape.h"

// ProcessBuffer skips runs of samples that cannot change anything; AddSample takes every sample
// through every step. Both must report the same things and leave the same histories, whatever
// the signal, the settings and the buffer sizes.
namespace {

struct Variant {
    std::string name;
    TapeWear wear;
    void (*configure)(DecoderSettings&) = [](DecoderSettings&) {};
    // Whether these settings load the tape's two good blocks; the extreme ones need not.
    bool loadsTape = true;
};

struct Trace {
    std::vector<std::string> events;
    std::vector<SignalSnapshot> errorSnapshots;
    std::vector<SignalSnapshot> captures;     // after every buffer
    std::vector<SignalReading> calibrations;  // after every buffer, as the indicator reads it
    size_t blocksLoaded = 0;
};

Trace Decode(const std::vector<uint8_t>& signal, const Variant& variant, size_t buffer,
             bool oneByOne) {
    CRecordingOwner owner;
    CTapeDecoder decoder(&owner);
    Retune(decoder, variant.configure);
    Trace trace;
    for (size_t at = 0; at < signal.size(); at += buffer) {
        const size_t count = std::min(buffer, signal.size() - at);
        if (oneByOne) {
            for (size_t i = 0; i < count; ++i) {
                decoder.AddSample(signal[at + i]);
            }
        } else {
            decoder.ProcessBuffer(signal.data() + at, static_cast<int32_t>(count));
        }
        // Every buffer, or about every second for small ones (a capture copies 480 values).
        if (buffer >= 4096 || (at + count) / 22000 != at / 22000) {
            trace.calibrations.push_back(decoder.Calibrate());
            trace.captures.emplace_back();
            decoder.CaptureSnapshot(trace.captures.back());
        }
    }
    trace.events = owner.events;
    trace.errorSnapshots = owner.snapshots;
    trace.blocksLoaded = owner.blocks.size();
    return trace;
}

void ExpectSameTrace(const Trace& fast, const Trace& reference, const std::string& what) {
    ASSERT_EQ(fast.events, reference.events) << what;
    ASSERT_EQ(fast.calibrations, reference.calibrations) << what;
    ASSERT_EQ(fast.errorSnapshots.size(), reference.errorSnapshots.size()) << what;
    for (size_t i = 0; i < fast.errorSnapshots.size(); ++i) {
        ASSERT_TRUE(SameSnapshot(fast.errorSnapshots[i], reference.errorSnapshots[i]))
            << what << ", error snapshot " << i;
    }
    ASSERT_EQ(fast.captures.size(), reference.captures.size()) << what;
    for (size_t i = 0; i < fast.captures.size(); ++i) {
        ASSERT_TRUE(SameSnapshot(fast.captures[i], reference.captures[i]))
            << what << ", buffer " << i;
    }
}

std::vector<Variant> Variants() {
    std::vector<Variant> variants;
    TapeWear clean;
    clean.pause = 0.3;
    clean.lowPassHz = 3000.0;
    clean.highPassHz = 70.0;
    variants.push_back({"clean", clean});
    TapeWear noisy = clean;
    noisy.noiseRms = 0.055;
    noisy.amplitude = 0.35;
    noisy.seed = 11;
    variants.push_back({"noisy", noisy});
    TapeWear clipped = clean;
    clipped.amplitude = 1.5;
    clipped.noiseRms = 0.025;
    variants.push_back({"clipped", clipped});
    TapeWear inverted = clean;
    inverted.inverted = true;
    inverted.speed = 1.04;
    inverted.noiseRms = 0.015;
    variants.push_back(
        {"inverted, maxFirst", inverted, [](DecoderSettings& s) { s.maxFirst = true; }});
    variants.push_back({"delay 2, decay 4", noisy, [](DecoderSettings& s) {
                            s.delay = 2;
                            s.decayPercent = 4;
                        }});
    variants.push_back(
        {"no filter", noisy, [](DecoderSettings& s) { s.filterPercent = 100; }, false});
    variants.push_back({"full filter, no decay", noisy,
                        [](DecoderSettings& s) {
                            s.filterPercent = 0;
                            s.decayPercent = 0;
                        },
                        false});
    TapeWear faint = clean;
    faint.amplitude = 0.03;
    faint.noiseRms = 0.008;
    variants.push_back(
        {"faint, calibrating", faint, [](DecoderSettings& s) { s.externVals = true; }, false});
    return variants;
}

TEST(FastPathTest, BuffersDecodeExactlyAsSingleSamples) {
    CTestTape tape;
    tape.AddCodeFile("fastpath", 120, 5);
    // A broken block: a read error with a snapshot in the middle of a buffer.
    tape.AddBadChecksumBlock(0xFF, CTestTape::RandomBytes(40, 9));
    for (const Variant& variant : Variants()) {
        const std::vector<uint8_t> signal =
            CTapeSynth::RenderForDecoder(tape.Blocks(), variant.wear);
        const Trace reference = Decode(signal, variant, 22000, true);
        // Equal traces of a signal that loads nothing would prove little.
        if (variant.loadsTape) {
            EXPECT_EQ(reference.blocksLoaded, 2u) << variant.name;
        }
        for (size_t buffer : {22000u, 4096u, 333u, 1u}) {
            const Trace fast = Decode(signal, variant, buffer, false);
            const Trace sameCuts =
                buffer == 22000u ? reference : Decode(signal, variant, buffer, true);
            ExpectSameTrace(fast, sameCuts,
                            variant.name + ", buffers of " + std::to_string(buffer));
        }
    }
}

TEST(FastPathTest, RandomBytesDecodeExactlyAsSingleSamples) {
    // Every byte value, clipped ones included, in every order the filter can meet.
    std::vector<uint8_t> signal = CTestTape::RandomBytes(300000, 21);
    for (size_t i = 100000; i < 200000; ++i) {
        signal[i] = static_cast<uint8_t>(128 + (signal[i] - 128) / 16);  // small wiggles
    }
    Variant variant{"random", {}};
    const Trace reference = Decode(signal, variant, 22000, true);
    ExpectSameTrace(Decode(signal, variant, 22000, false), reference, "random bytes");
}

}  // namespace
