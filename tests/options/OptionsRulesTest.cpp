#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "options/DumpSeries.h"
#include "options/OptionsForm.h"
#include "options/OptionsValidator.h"

namespace {

OptionsForm DefaultForm() {
    return OptionsForm::FromSettings(DecoderSettings{});
}

std::optional<OptionsControl> RejectedAt(const OptionsForm& form,
                                         const DecoderSettings& current = {}) {
    return CheckOptionsForm(form, current).rejectedAt;
}

}  // namespace

TEST(OptionsForm, ShowsTheDecoderDefaults) {
    const OptionsForm form = DefaultForm();
    const std::array<std::string, kNumericBoxCount> expected = {"5", "14", "16", "28", "18", "36",
                                                                "5", "14", "55", "6",  "2"};
    EXPECT_EQ(form.numbers, expected);
    EXPECT_TRUE(form.middleVals);
    EXPECT_FALSE(form.externVals || form.maxFirst || form.dump || form.fromFile);
    EXPECT_EQ(form.baseCount, "sample1.000");
}

TEST(OptionsForm, EmptyFieldsShowEmptyAndReadBackAsNotSet) {
    DecoderSettings settings;
    settings.leaderMin = kNotSet;
    DumpSettings dump;
    dump.baseName = "take";
    dump.fileIndex = 1234;
    const OptionsForm form = OptionsForm::FromSettings(settings, dump);
    EXPECT_EQ(form.Number(NumericBox::LeaderMin), "");
    EXPECT_EQ(form.baseCount, "take.1234");
    EXPECT_EQ(ParseSettingNumber(""), kNotSet);
    EXPECT_EQ(ParseSettingNumber("  "), kNotSet);
    EXPECT_EQ(ParseSettingNumber("12abc"), 12);
    EXPECT_EQ(ParseSettingNumber("-3"), -3);
    EXPECT_EQ(ParseSettingNumber("abc"), std::nullopt);
    EXPECT_EQ(ParseSettingNumber("-"), std::nullopt);
    EXPECT_EQ(ParseSettingNumber("99999999999"), std::nullopt);
}

TEST(OptionsForm, ResetProposesSixAndTwoAndLeavesDebugControls) {
    OptionsForm form = DefaultForm();
    const std::string one = "1";
    for (auto& number : form.numbers) {
        number = one;
    }
    form.maxFirst = true;
    form.middleVals = false;
    form.externVals = true;
    form.dump = true;
    form.baseCount = "take.7";
    form.ProposeReset();
    EXPECT_EQ(form.numbers, DefaultForm().numbers);
    EXPECT_EQ(form.Number(NumericBox::Delay), "6");
    EXPECT_EQ(form.Number(NumericBox::Decay), "2");
    EXPECT_FALSE(form.maxFirst);
    EXPECT_TRUE(form.middleVals);
    EXPECT_FALSE(form.externVals);
    EXPECT_TRUE(form.dump);
    EXPECT_EQ(form.baseCount, "take.7");
}

TEST(OptionsChecks, RangesNeedMinBelowMaxAndFocusTheMin) {
    OptionsForm form = DefaultForm();
    form.Number(NumericBox::LeaderMin) = "36";
    EXPECT_EQ(RejectedAt(form), OptionsControl::LeaderMin);
    form.Number(NumericBox::LeaderMin) = "35";
    EXPECT_EQ(RejectedAt(form), std::nullopt);
    form.Number(NumericBox::SyncMax) = "5";
    EXPECT_EQ(RejectedAt(form), OptionsControl::SyncMin);
    form = DefaultForm();
    form.Number(NumericBox::Data0Max) = "";  // an empty maximum admits nothing
    EXPECT_EQ(RejectedAt(form), OptionsControl::Data0Min);
    form = DefaultForm();
    form.Number(NumericBox::Data1Min) = "";  // an empty minimum passes
    const OptionsVerdict verdict = CheckOptionsForm(form, {});
    EXPECT_EQ(verdict.rejectedAt, std::nullopt);
    EXPECT_EQ(verdict.accepted.settings.data1Min, kNotSet);
}

TEST(OptionsChecks, RunInTheirOrder) {
    // Every check fails: each fix reveals the next one in the dialog's order.
    OptionsForm form = DefaultForm();
    form.Number(NumericBox::LeaderMin) = "40";
    form.Number(NumericBox::SyncMin) = "40";
    form.Number(NumericBox::Data0Min) = "40";
    form.Number(NumericBox::Data1Min) = "40";
    form.Number(NumericBox::Filter) = "101";
    form.Number(NumericBox::Decay) = "101";
    form.dump = true;
    form.fromFile = true;
    const std::vector<std::pair<NumericBox, OptionsControl>> order = {
        {NumericBox::LeaderMin, OptionsControl::LeaderMin},
        {NumericBox::SyncMin, OptionsControl::SyncMin},
        {NumericBox::Data0Min, OptionsControl::Data0Min},
        {NumericBox::Data1Min, OptionsControl::Data1Min},
        {NumericBox::Filter, OptionsControl::Filter},
        {NumericBox::Decay, OptionsControl::Decay},
    };
    const std::string one = "1";
    for (const auto& [box, control] : order) {
        EXPECT_EQ(RejectedAt(form), control);
        form.Number(box) = one;
    }
    EXPECT_EQ(RejectedAt(form), OptionsControl::FromFile);
    form.fromFile = false;
    form.baseCount = "take.x";
    EXPECT_EQ(RejectedAt(form), OptionsControl::BaseCount);
    form.baseCount = "take.2";
    EXPECT_EQ(RejectedAt(form), std::nullopt);
}

TEST(OptionsChecks, PercentagesAndDelay) {
    OptionsForm form = DefaultForm();
    form.Number(NumericBox::Filter) = "100";
    form.Number(NumericBox::Delay) = "5000";
    EXPECT_EQ(RejectedAt(form), std::nullopt);
    form.Number(NumericBox::Filter) = "";
    const OptionsVerdict verdict = CheckOptionsForm(form, {});
    EXPECT_EQ(verdict.rejectedAt, std::nullopt);
    EXPECT_EQ(verdict.accepted.settings.filterPercent, kNotSet);
    EXPECT_EQ(verdict.accepted.settings.delay, 5000);
}

TEST(OptionsChecks, PastedNonNumbersAreRejectedAtTheirBox) {
    const std::vector<std::pair<NumericBox, OptionsControl>> boxes = {
        {NumericBox::LeaderMax, OptionsControl::LeaderMax},
        {NumericBox::SyncMin, OptionsControl::SyncMin},
        {NumericBox::Data1Max, OptionsControl::Data1Max},
        {NumericBox::Filter, OptionsControl::Filter},
        {NumericBox::Delay, OptionsControl::Delay},
        {NumericBox::Decay, OptionsControl::Decay},
    };
    for (const auto& [box, control] : boxes) {
        OptionsForm form = DefaultForm();
        form.Number(box) = "x12";
        EXPECT_EQ(RejectedAt(form), control);
    }
}

TEST(OptionsChecks, BaseCountParsing) {
    EXPECT_EQ(ParseBaseCount("take.7")->count, 7);
    EXPECT_EQ(ParseBaseCount("take.7x")->count, 7);
    EXPECT_EQ(ParseBaseCount("take")->count, std::nullopt);
    EXPECT_EQ(ParseBaseCount("take")->baseName, "take");
    for (const char* bad : {"take.x", "take.", "take.-1", "my.tapes", "", ".5", "t.99999999999"}) {
        EXPECT_EQ(ParseBaseCount(bad), std::nullopt) << bad;
    }
    const std::string longName(300, 'a');
    EXPECT_EQ(ParseBaseCount(longName)->baseName.size(), 255u);
}

TEST(OptionsChecks, SeriesIsTakenOnlyWhenAModeIsSwitchedOn) {
    OptionsForm form = DefaultForm();
    form.dump = true;
    form.baseCount = "take.7";
    OptionsVerdict verdict = CheckOptionsForm(form, {});
    EXPECT_TRUE(verdict.accepted.dumpSwitchingOn);
    EXPECT_EQ(verdict.accepted.dump.baseName, "take");
    EXPECT_EQ(verdict.accepted.dump.fileIndex, 7);

    form.baseCount = "take";
    verdict = CheckOptionsForm(form, {});
    EXPECT_EQ(verdict.accepted.dump.fileIndex, 0);

    DumpSettings replaying;
    replaying.fromFile = true;
    replaying.fileIndex = 4;
    form = OptionsForm::FromSettings({}, replaying);
    form.baseCount = "other.9";
    verdict = CheckOptionsForm(form, {}, replaying);
    EXPECT_FALSE(verdict.accepted.replaySwitchingOn);
    EXPECT_EQ(verdict.accepted.dump.baseName, "sample1");
    EXPECT_EQ(verdict.accepted.dump.fileIndex, 4);

    form.baseCount = "";  // an empty base while replaying names no series
    EXPECT_EQ(CheckOptionsForm(form, {}, replaying).rejectedAt, OptionsControl::BaseCount);
}

TEST(DumpSeries, RemovesFromTheCountUpToTheFirstGap) {
    const auto dir = std::filesystem::temp_directory_path() / "tapewise-dump-series";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string base = (dir / "take").string();
    for (int i : {0, 1, 2, 4}) {
        std::ofstream(DumpFileName(base, i)) << "x";
    }
    EXPECT_FALSE(DumpFileExists(base, 3));
    EXPECT_TRUE(DumpFileExists(base, 4));
    EXPECT_EQ(RemoveDumpSeries(base, 0), 3);
    EXPECT_FALSE(DumpFileExists(base, 2));
    EXPECT_TRUE(DumpFileExists(base, 4));
    EXPECT_EQ(DumpFileName("take", 7), "take.007");
    std::filesystem::remove_all(dir);
}

TEST(OptionsChecks, TheModeTravelsFromTheSettingsThroughTheFormAndBack) {
    DecoderSettings live;
    for (const DecoderMode mode : {DecoderMode::Plain, DecoderMode::Robust, DecoderMode::Archive}) {
        live.mode = mode;
        const OptionsForm form = OptionsForm::FromSettings(live);
        EXPECT_EQ(form.robust, mode == DecoderMode::Robust);
        EXPECT_EQ(form.archive, mode == DecoderMode::Archive);
        EXPECT_EQ(CheckOptionsForm(form, {}).accepted.settings.mode, mode);
    }
    OptionsForm both = DefaultForm();
    both.robust = true;
    both.archive = true;
    EXPECT_EQ(CheckOptionsForm(both, {}).accepted.settings.mode, DecoderMode::Archive);

    both.ProposeReset();  // Reset proposes the plain mode with the other wave-processing defaults
    EXPECT_FALSE(both.robust);
    EXPECT_FALSE(both.archive);
}
