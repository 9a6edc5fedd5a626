#include "signal/ConsoleLog.h"

#include <gtest/gtest.h>

#include <string>

TEST(ConsoleLogTest, EntriesEndInCrLfAndFitWithoutGrowth) {
    CConsoleLog log;
    EXPECT_EQ(log.Capacity(), 2000);
    EXPECT_STREQ(log.Text(), "");
    log.Append("abc");
    EXPECT_STREQ(log.Text(), "abc\r\n");
    EXPECT_EQ(log.Length(), 5);
    EXPECT_EQ(log.Capacity(), 2000);
    log.Append("");
    EXPECT_STREQ(log.Text(), "abc\r\n\r\n");
    EXPECT_EQ(log.Length(), 7);
}

TEST(ConsoleLogTest, GrowsInStepsOf2000KeepingTheText) {
    CConsoleLog fits;
    fits.Append(std::string(1997, 'a').c_str());
    EXPECT_EQ(fits.Capacity(), 2000);
    EXPECT_EQ(fits.Length(), 1999);

    CConsoleLog grows;
    grows.Append(std::string(1998, 'b').c_str());
    EXPECT_EQ(grows.Capacity(), 4000);

    CConsoleLog twoSteps;
    twoSteps.Append("first");
    twoSteps.Append(std::string(5000, 'c').c_str());
    EXPECT_EQ(twoSteps.Capacity(), 6000);
    const std::string expected = "first\r\n" + std::string(5000, 'c') + "\r\n";
    EXPECT_EQ(std::string(twoSteps.Text()), expected);
    EXPECT_EQ(twoSteps.Length(), static_cast<int32_t>(expected.size()));
}

TEST(ConsoleLogTest, ManyEntriesKeepOrderAndInvariant) {
    CConsoleLog log;
    std::string expected;
    for (int i = 0; i < 500; ++i) {
        const std::string entry = "Load sucessful for " + std::to_string(i) + " bytes block";
        log.Append(entry.c_str());
        expected += entry + "\r\n";
        ASSERT_LE(log.Length() + 1, log.Capacity());
        ASSERT_EQ(log.Capacity() % CConsoleLog::kGrowthStep, 0);
    }
    EXPECT_EQ(std::string(log.Text()), expected);
}

TEST(ConsoleLogTest, AppendAfterReleaseIsIgnored) {
    CConsoleLog log;
    log.Append("before");
    log.Release();
    EXPECT_EQ(log.Text(), nullptr);
    log.Append("after");
    log.Append(nullptr);
    EXPECT_EQ(log.Text(), nullptr);
}
