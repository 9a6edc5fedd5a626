#include <sndfile.h>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "recording/AudioFileSource.h"
#include "recording/RawFileSource.h"
#include "tests/support/CliRun.h"
#include "tests/support/SignalFile.h"

namespace {
std::string DataPath(const std::string& name) {
    return CCliRun::DataDir() + "/source_" + name;
}

std::vector<uint8_t> ReadAll(CSampleSource& source, int32_t piece = 1000) {
    std::vector<uint8_t> all;
    std::vector<uint8_t> buffer(static_cast<size_t>(piece));
    for (int32_t got; (got = source.Read(buffer.data(), piece)) > 0;) {
        all.insert(all.end(), buffer.begin(), buffer.begin() + got);
    }
    return all;
}

std::vector<float> Sine(double hz, double level, int rate, int count) {
    std::vector<float> samples(static_cast<size_t>(count));
    for (int n = 0; n < count; ++n) {
        samples[static_cast<size_t>(n)] =
            static_cast<float>(level * std::sin(2.0 * std::numbers::pi * hz * n / rate));
    }
    return samples;
}
}  // namespace

TEST(RawFileSourceTest, RawNames) {
    EXPECT_TRUE(CRawFileSource::IsRawName("tape.raw"));
    EXPECT_TRUE(CRawFileSource::IsRawName("TAPE.RAW"));
    EXPECT_TRUE(CRawFileSource::IsRawName("sample1.000"));
    EXPECT_TRUE(CRawFileSource::IsRawName("dir.v2/take.1234"));
    EXPECT_FALSE(CRawFileSource::IsRawName("tape.wav"));
    EXPECT_FALSE(CRawFileSource::IsRawName("take.7"));
    EXPECT_FALSE(CRawFileSource::IsRawName("dir.000/take"));
    EXPECT_FALSE(CRawFileSource::IsRawName("take.00a"));
}

TEST(RawFileSourceTest, ReadsEveryByteAndRefusesDirectories) {
    std::vector<uint8_t> bytes(30001);
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>(i * 7);
    }
    CSignalFile::WriteRaw(DataPath("bytes.raw"), bytes);
    CRawFileSource source;
    ASSERT_FALSE(source.Open(DataPath("bytes.raw")).has_value());
    EXPECT_EQ(ReadAll(source, 22000), bytes);
    EXPECT_EQ(source.Done(), 30001);
    EXPECT_EQ(source.Total(), 30001);

    CRawFileSource directory;
    EXPECT_TRUE(directory.Open(CCliRun::DataDir()).has_value());
    CRawFileSource missing;
    const auto reason = missing.Open(DataPath("missing.raw"));
    ASSERT_TRUE(reason.has_value());
    EXPECT_NE(reason->find("No such file"), std::string::npos) << *reason;
}

// An 8-bit WAV at 22000/s holds the decoder's samples as they are: reading it must give them back
// unchanged, so a .wav and a .raw of the same samples decode alike.
TEST(AudioFileSourceTest, EightBitWavAt22000ComesBackExactly) {
    std::vector<short> samples;
    std::vector<uint8_t> expected;
    for (int value = 0; value < 256; ++value) {
        samples.push_back(static_cast<short>((value - 128) * 256));
        expected.push_back(static_cast<uint8_t>(value));
    }
    SF_INFO info{};
    info.samplerate = 22000;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_U8;
    SNDFILE* file = sf_open(DataPath("u8.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(sf_write_short(file, samples.data(), 256), 256);
    sf_close(file);
    CAudioFileSource source(ChannelChoice::Mix);
    ASSERT_FALSE(source.Open(DataPath("u8.wav")).has_value());
    EXPECT_EQ(ReadAll(source, 100), expected);
}

TEST(AudioFileSourceTest, ResamplesTo22000KeepingLevelAndLength) {
    for (const int rate : {44100, 48000}) {
        SCOPED_TRACE(rate);
        const auto tone = Sine(500.0, 0.5, rate, rate * 2);  // two seconds
        ASSERT_TRUE(CSignalFile::WriteAudio(DataPath("tone.flac"), tone, rate, 1,
                                            SF_FORMAT_FLAC | SF_FORMAT_PCM_16));
        CAudioFileSource source(ChannelChoice::Mix);
        ASSERT_FALSE(source.Open(DataPath("tone.flac")).has_value());
        EXPECT_EQ(source.OutputRate(), 22000);
        const std::vector<uint8_t> samples = ReadAll(source, 22000);
        EXPECT_NEAR(static_cast<double>(samples.size()), 44000.0, 10.0);
        // Away from the ends the sine swings +-64 around 128.
        int low = 255;
        int high = 0;
        for (size_t n = 2000; n < 42000; ++n) {
            low = std::min<int>(low, samples[n]);
            high = std::max<int>(high, samples[n]);
        }
        EXPECT_NEAR(high, 192, 2);
        EXPECT_NEAR(low, 64, 2);
        EXPECT_EQ(source.Done(), source.Total());
    }
}

TEST(AudioFileSourceTest, ChannelsAreMixedOrPicked) {
    const std::vector<float> left(2200, 0.5f);
    const std::vector<float> right(2200, -0.25f);
    ASSERT_TRUE(CSignalFile::WriteStereo(DataPath("stereo.wav"), left, right, 22000,
                                         SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    const auto first = [](ChannelChoice channel) {
        CAudioFileSource source(channel);
        EXPECT_FALSE(source.Open(DataPath("stereo.wav")).has_value());
        return ReadAll(source).at(100);
    };
    EXPECT_EQ(first(ChannelChoice::Left), 192);
    EXPECT_EQ(first(ChannelChoice::Right), 96);
    EXPECT_EQ(first(ChannelChoice::Mix), 144);
}

TEST(AudioFileSourceTest, ClearReasonsForWhatCannotBeRead) {
    ASSERT_TRUE(CSignalFile::WriteAudio(DataPath("mono.wav"), std::vector<float>(100, 0.0f), 22000,
                                        1, SF_FORMAT_WAV | SF_FORMAT_PCM_16));
    CAudioFileSource noRight(ChannelChoice::Right);
    const auto rightReason = noRight.Open(DataPath("mono.wav"));
    ASSERT_TRUE(rightReason.has_value());
    EXPECT_NE(rightReason->find("right"), std::string::npos);

    CSignalFile::WriteRaw(DataPath("noise.wav"), std::vector<uint8_t>(5000, 0x37));
    CAudioFileSource notAudio(ChannelChoice::Mix);
    const auto notAudioReason = notAudio.Open(DataPath("noise.wav"));
    ASSERT_TRUE(notAudioReason.has_value());
    EXPECT_NE(notAudioReason->find("not an audio file"), std::string::npos) << *notAudioReason;

    CAudioFileSource missing(ChannelChoice::Mix);
    const auto missingReason = missing.Open(DataPath("nothing-here.wav"));
    ASSERT_TRUE(missingReason.has_value());
    EXPECT_NE(missingReason->find("No such file"), std::string::npos) << *missingReason;
}
