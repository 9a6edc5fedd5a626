#include "cli/DecoderOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {
struct Parsed {
    CDecoderOptions options;
    CDecoderOptions::Outcome last = CDecoderOptions::Outcome::NotDecoderOption;
    int index = 0;
};

// Feeds the words to Take until one is refused or all are taken.
Parsed Parse(std::vector<std::string> words) {
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    Parsed parsed;
    const int argc = static_cast<int>(argv.size());
    while (parsed.index < argc) {
        parsed.last = parsed.options.Take(argc, argv.data(), parsed.index);
        if (parsed.last != CDecoderOptions::Outcome::Taken) {
            break;
        }
    }
    return parsed;
}
}  // namespace

TEST(DecoderOptionsTest, DefaultsAreTheDecoderDefaults) {
    const CDecoderOptions options;
    const DecoderSettings defaults;
    EXPECT_EQ(options.Settings().delay, 6);
    EXPECT_EQ(options.Settings().decayPercent, 2);
    EXPECT_EQ(options.Settings().filterPercent, defaults.filterPercent);
    EXPECT_EQ(options.Settings().data1Max, defaults.data1Max);
    EXPECT_EQ(options.Settings().mode, DecoderMode::Plain);
    EXPECT_FALSE(options.Check().has_value());
}

TEST(DecoderOptionsTest, EveryOptionReachesItsField) {
    const Parsed parsed = Parse({"--max-first", "--filter", "60", "--delay=3", "--decay", "5",
                                 "--no-middle-vals", "--extern-vals", "--leader", "20:40",
                                 "--sync=4:12", "--bit0", "6:13", "--bit1", "17:30", "--robust"});
    ASSERT_EQ(parsed.last, CDecoderOptions::Outcome::Taken);
    const DecoderSettings& s = parsed.options.Settings();
    EXPECT_TRUE(s.maxFirst);
    EXPECT_EQ(s.filterPercent, 60);
    EXPECT_EQ(s.delay, 3);
    EXPECT_EQ(s.decayPercent, 5);
    EXPECT_FALSE(s.middleVals);
    EXPECT_TRUE(s.externVals);
    EXPECT_EQ(s.leaderMin, 20);
    EXPECT_EQ(s.leaderMax, 40);
    EXPECT_EQ(s.syncMin, 4);
    EXPECT_EQ(s.syncMax, 12);
    EXPECT_EQ(s.data0Min, 6);
    EXPECT_EQ(s.data0Max, 13);
    EXPECT_EQ(s.data1Min, 17);
    EXPECT_EQ(s.data1Max, 30);
    EXPECT_EQ(s.mode, DecoderMode::Robust);
    EXPECT_FALSE(parsed.options.Check().has_value());
}

TEST(DecoderOptionsTest, ArchiveWinsOverRobustInEitherOrder) {
    EXPECT_EQ(Parse({"--archive", "--robust"}).options.Settings().mode, DecoderMode::Archive);
    EXPECT_EQ(Parse({"--robust", "--archive"}).options.Settings().mode, DecoderMode::Archive);
}

TEST(DecoderOptionsTest, OtherArgumentsAreLeftAlone) {
    const Parsed parsed = Parse({"--delay", "4", "-o", "x.tap"});
    EXPECT_EQ(parsed.last, CDecoderOptions::Outcome::NotDecoderOption);
    EXPECT_EQ(parsed.index, 2);
    EXPECT_EQ(Parse({"tape.wav"}).last, CDecoderOptions::Outcome::NotDecoderOption);
    EXPECT_EQ(Parse({"--middle-valsx"}).last, CDecoderOptions::Outcome::NotDecoderOption);
    EXPECT_EQ(Parse({"--robustly"}).last, CDecoderOptions::Outcome::NotDecoderOption);
}

TEST(DecoderOptionsTest, MalformedValuesAreRefused) {
    for (const std::vector<std::string>& words :
         std::vector<std::vector<std::string>>{{"--filter"},
                                               {"--filter", "-5"},
                                               {"--filter", "5x"},
                                               {"--delay", "2147483648"},
                                               {"--leader", "20"},
                                               {"--leader", "20-40"},
                                               {"--bit0", "a:14"},
                                               {"--bit1", "16:28:3"}}) {
        const Parsed parsed = Parse(words);
        EXPECT_EQ(parsed.last, CDecoderOptions::Outcome::Invalid) << words[0];
        EXPECT_NE(parsed.options.Error().find(words[0]), std::string::npos)
            << parsed.options.Error();
    }
}

// The Options dialog's checks: minimum strictly below maximum, percentages at most 100, the
// delay unchecked; an empty number is kNotSet, which passes as a minimum and fails as a maximum.
TEST(DecoderOptionsTest, DialogChecks) {
    EXPECT_TRUE(Parse({"--leader", "36:36"}).options.Check().has_value());
    EXPECT_FALSE(Parse({"--leader", "35:36"}).options.Check().has_value());
    EXPECT_TRUE(Parse({"--sync", "14:5"}).options.Check().has_value());
    EXPECT_TRUE(Parse({"--bit0", "14:14"}).options.Check().has_value());
    EXPECT_TRUE(Parse({"--bit1", "28:16"}).options.Check().has_value());
    EXPECT_FALSE(Parse({"--filter", "100"}).options.Check().has_value());
    EXPECT_TRUE(Parse({"--filter", "101"}).options.Check().has_value());
    EXPECT_TRUE(Parse({"--decay", "101"}).options.Check().has_value());
    EXPECT_FALSE(Parse({"--delay", "5000"}).options.Check().has_value());

    const Parsed emptyMin = Parse({"--bit0", ":14"});
    EXPECT_EQ(emptyMin.options.Settings().data0Min, kNotSet);
    EXPECT_FALSE(emptyMin.options.Check().has_value());
    EXPECT_TRUE(Parse({"--bit0", "5:"}).options.Check().has_value());
    const Parsed emptyFilter = Parse({"--filter="});
    EXPECT_EQ(emptyFilter.options.Settings().filterPercent, kNotSet);
    EXPECT_FALSE(emptyFilter.options.Check().has_value());
}

TEST(DecoderOptionsTest, TheFirstFailingCheckIsNamed) {
    const auto failure = Parse({"--filter", "200", "--sync", "9:9"}).options.Check();
    ASSERT_TRUE(failure.has_value());
    EXPECT_NE(failure->find("--sync"), std::string::npos) << *failure;
}
