#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoder/robust/EpisodeMerger.h"
#include "tests/support/RecordingOwner.h"

// The merge rules of the robust mode, on episodes as the two decoders' recorders hand them over.
namespace {

constexpr int64_t kLongAgo = 1000000;  // a frontier that every episode below ended before
constexpr int64_t kNoDeadline = -1;

DecodeEpisode Episode(DecodeEpisode::Kind kind, int32_t source, int64_t start, int64_t end,
                      int32_t length) {
    DecodeEpisode episode;
    episode.kind = kind;
    episode.source = source;
    episode.start = start;
    episode.end = end;
    episode.length = length;
    return episode;
}

DecodeEpisode Loaded(int32_t source, int64_t start, int64_t end, std::vector<uint8_t> bytes) {
    DecodeEpisode episode = Episode(DecodeEpisode::Kind::kLoaded, source, start, end,
                                    static_cast<int32_t>(bytes.size()));
    record::BlockLoaded loaded;
    loaded.item.body = RomBlock{std::move(bytes)};
    episode.records = {record::SyncFound{}, loaded};
    return episode;
}

// Its time is its end, which tells the reports apart.
DecodeEpisode ReadError(int32_t source, int64_t start, int64_t end, int32_t bytesRead) {
    DecodeEpisode episode = Episode(DecodeEpisode::Kind::kReadError, source, start, end, bytesRead);
    record::ReadError error;
    error.at = end;
    error.bytesRead = bytesRead;
    error.firstByte = 0xFF;
    episode.records = {record::SyncFound{}, error};
    return episode;
}

DecodeEpisode BadSync(int32_t source, int64_t at) {
    DecodeEpisode episode = Episode(DecodeEpisode::Kind::kBadSync, source, at - 200, at, 0);
    episode.records = {record::BadSync{at, 31, {}}};
    return episode;
}

// What the owner heard, one word per record: "sync", "block N", "error AT", "bad sync AT".
std::vector<std::string> Heard(const CRecordingOwner& owner) {
    std::vector<std::string> heard;
    for (const DecoderRecord& r : owner.records) {
        heard.push_back(std::visit(
            Overloaded{
                [](const record::SyncFound&) { return std::string("sync"); },
                [](const record::BlockLoaded& b) {
                    return "block " + std::to_string(std::get<RomBlock>(b.item.body).bytes.size());
                },
                [](const record::ReadError& e) { return "error " + std::to_string(e.at); },
                [](const record::BadSync& b) { return "bad sync " + std::to_string(b.period); },
                [](const auto&) { return std::string("other"); },
            },
            r));
    }
    return heard;
}

const std::vector<uint8_t> kBlock = {0xFF, 1, 2, 3, 0xFF ^ 1 ^ 2 ^ 3};
const std::vector<uint8_t> kFragment = {0x00, 0x00};

class RobustMergeTest : public ::testing::Test {
protected:
    // Settles everything: both decoders are past every episode and read nothing.
    void SettleAll() { merger.Settle(kLongAgo, kNoDeadline, 0); }

    CRecordingOwner owner;
    CEpisodeMerger merger{&owner};
};

TEST_F(RobustMergeTest, ABlockBothDecodersLoadedIsReportedOnce) {
    merger.Add({Loaded(0, 100, 5000, kBlock), Loaded(1, 110, 5010, kBlock)});
    SettleAll();
    EXPECT_EQ(Heard(owner), (std::vector<std::string>{"sync", "block 5"}));
    EXPECT_EQ(owner.blocks, std::vector<std::vector<uint8_t>>{kBlock});
    EXPECT_FALSE(merger.HasPending());
}

TEST_F(RobustMergeTest, AnErrorBesideALoadedBlockIsNotReported) {
    merger.Add({ReadError(1, 110, 900, 3), Loaded(0, 100, 5000, kBlock)});
    SettleAll();
    EXPECT_EQ(Heard(owner), (std::vector<std::string>{"sync", "block 5"}));
}

TEST_F(RobustMergeTest, TheFullBlockWinsOverAShortFragmentBesideIt) {
    merger.Add({Loaded(1, 90, 400, kFragment), Loaded(0, 100, 5000, kBlock)});
    SettleAll();
    EXPECT_EQ(owner.blocks, std::vector<std::vector<uint8_t>>{kBlock});
}

TEST_F(RobustMergeTest, AFragmentOfALongerFailedBlockGivesWayToTheError) {
    merger.Add({Loaded(1, 90, 400, kFragment), ReadError(0, 100, 5000, 40)});
    SettleAll();
    EXPECT_EQ(Heard(owner), (std::vector<std::string>{"sync", "error 5000"}));
}

TEST_F(RobustMergeTest, AStretchWhereBothFailedGivesOneErrorTheOneThatReadMost) {
    merger.Add({ReadError(0, 100, 900, 3), ReadError(1, 110, 2000, 12), BadSync(0, 150)});
    SettleAll();
    EXPECT_EQ(Heard(owner), (std::vector<std::string>{"sync", "error 2000"}));
}

TEST_F(RobustMergeTest, SeparateStretchesAreReportedEachInTheirOrder) {
    merger.Add({Loaded(1, 30000, 40000, kFragment), BadSync(0, 20000)});
    merger.Add({Loaded(0, 100, 5000, kBlock)});
    SettleAll();
    EXPECT_EQ(Heard(owner),
              (std::vector<std::string>{"sync", "block 5", "bad sync 20000", "sync", "block 2"}));
}

TEST_F(RobustMergeTest, AStretchWaitsWhileADecoderMayStillReadThere) {
    merger.Add({ReadError(0, 100, 900, 3)});
    merger.Settle(500, kNoDeadline, 0);  // the other decoder has been reading since 500
    EXPECT_TRUE(owner.records.empty());
    EXPECT_TRUE(merger.HasPending());
    // An error is never forced out: the open block may still load there.
    merger.Settle(500, kLongAgo, 4);
    EXPECT_TRUE(owner.records.empty());
    merger.Add({Loaded(1, 500, 5000, kBlock)});
    SettleAll();
    EXPECT_EQ(Heard(owner), (std::vector<std::string>{"sync", "block 5"}));
}

TEST_F(RobustMergeTest, ABlockGoesOutAtTheDeadlineUnlessTheOtherDecoderHasReadMore) {
    merger.Add({Loaded(1, 90, 400, kFragment)});
    merger.Settle(100, 1000, 50);  // the other decoder has read 50 bytes of this stretch
    EXPECT_TRUE(owner.records.empty());
    merger.Settle(100, 1000, 1);
    EXPECT_EQ(Heard(owner), (std::vector<std::string>{"sync", "block 2"}));

    // What the other decoder finishes there later: a longer block is still news, an error not.
    merger.Add({Loaded(0, 100, 5000, kBlock), ReadError(1, 95, 450, 1)});
    SettleAll();
    EXPECT_EQ(Heard(owner), (std::vector<std::string>{"sync", "block 2", "sync", "block 5"}));
}

TEST_F(RobustMergeTest, AReadErrorRunningAcrossTwoBlocksLosesNeither) {
    const std::vector<uint8_t> header(19, 0x00);
    // Decoder 1 read on from the header through the pause into the next pilot.
    merger.Add(
        {Loaded(0, 100, 2000, header), ReadError(1, 150, 2600, 40), Loaded(0, 2500, 9000, kBlock)});
    SettleAll();
    EXPECT_EQ(Heard(owner), (std::vector<std::string>{"sync", "block 19", "sync", "block 5"}));
}

TEST_F(RobustMergeTest, TheSameBlockFinishedLateByTheOtherDecoderIsNotReportedTwice) {
    merger.Add({Loaded(0, 100, 5000, kBlock)});
    merger.Settle(100, 6000, 4);  // decoder 1 still reads the same block, 4 bytes in
    ASSERT_EQ(owner.blocks.size(), 1u);
    merger.Add({Loaded(1, 120, 5050, kBlock), Loaded(1, 8000, 9000, kFragment)});
    SettleAll();
    EXPECT_EQ(Heard(owner), (std::vector<std::string>{"sync", "block 5", "sync", "block 2"}));
}

TEST_F(RobustMergeTest, OfEquallyLongReportsTheOneThatEndedFirstIsKept) {
    const std::vector<uint8_t> other = {0xFF, 3, 2, 1, 0xFF ^ 1 ^ 2 ^ 3};
    merger.Add({Loaded(1, 100, 5010, other), Loaded(0, 110, 5000, kBlock)});
    merger.Add({ReadError(0, 20000, 21000, 7), ReadError(1, 20010, 20900, 7)});
    SettleAll();
    EXPECT_EQ(owner.blocks, std::vector<std::vector<uint8_t>>{kBlock});
    EXPECT_EQ(owner.Records<record::ReadError>().at(0).at, 20900);
}

// A mend that passes the XOR byte by chance reads the same stretch otherwise than a decoder that
// needed none: that one wins, however early the mend was done, and a mended block waits for it.
TEST_F(RobustMergeTest, AReadingWithoutAMendWinsOverAMendedOne) {
    DecodeEpisode mended = Loaded(0, 110, 5000, {0xFF, 3, 2, 1, 0xFF ^ 1 ^ 2 ^ 3});
    mended.mended = true;
    merger.Add({mended});
    merger.Settle(100, 6000, 0);  // past the deadline, but decoder 2 may still read there
    EXPECT_TRUE(owner.blocks.empty());
    merger.Add({Loaded(2, 100, 5010, kBlock)});
    SettleAll();
    EXPECT_EQ(owner.blocks, std::vector<std::vector<uint8_t>>{kBlock});
}

// Episode times are samples, both ends included: episodes that share one sample are one stretch.
TEST_F(RobustMergeTest, EpisodesThatShareOneSampleAreOneStretch) {
    merger.Add({Loaded(1, 90, 100, kFragment), Loaded(0, 100, 5000, kBlock),
                Loaded(1, 5000, 5100, kFragment)});
    SettleAll();
    EXPECT_EQ(owner.blocks.size(), 1u);
    // Passed on at its deadline: a fragment from its last sample on is no news.
    merger.Add({Loaded(0, 10000, 15000, kBlock)});
    merger.Settle(10000, 16000, 0);
    merger.Add({Loaded(1, 15000, 15100, kFragment)});
    SettleAll();
    EXPECT_EQ(owner.blocks, (std::vector<std::vector<uint8_t>>{kBlock, kBlock}));
    // A decoder reading since an error's last sample may still load a block there.
    merger.Add({ReadError(0, 20000, 20500, 3)});
    merger.Settle(20500, kNoDeadline, 0);
    merger.Add({Loaded(1, 20500, 25000, kBlock)});
    SettleAll();
    EXPECT_EQ(owner.blocks.size(), 3u);
    EXPECT_TRUE(owner.Lines("entry: ").empty());
    // A block ended at the deadline still waits; the other decoder's read as many bytes as it.
    merger.Add({Loaded(1, 30000, 30400, kFragment)});
    merger.Settle(30000, 30400, 1);
    EXPECT_EQ(owner.blocks.size(), 3u);
    merger.Settle(30000, 30401, 2);
    EXPECT_EQ(owner.blocks.size(), 4u);
}

TEST_F(RobustMergeTest, ErrorRowsFollowTheOwnersSwitch) {
    owner.listErrors = false;
    merger.Add({ReadError(0, 100, 900, 3)});
    SettleAll();
    EXPECT_TRUE(owner.Lines("entry: ").empty());
    EXPECT_EQ(owner.Lines("status: Read error at time 900").size(), 1u);
}

}  // namespace
