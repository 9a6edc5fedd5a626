#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "decoder/robust/EpisodeMerger.h"
#include "tests/support/RecordingOwner.h"

// The merge rules of the robust mode, on episodes as the two decoders' recorders hand them over.
namespace {

constexpr int64_t kLongAgo = 1000000;  // a frontier that every episode below ended before
constexpr int64_t kNoDeadline = -1;

OwnerCall Status(const std::string& text) {
    OwnerCall call;
    call.text = text;
    return call;
}

DecodeEpisode Loaded(int32_t source, int64_t start, int64_t end, std::vector<uint8_t> bytes) {
    DecodeEpisode episode;
    episode.kind = DecodeEpisode::Kind::kLoaded;
    episode.source = source;
    episode.start = start;
    episode.end = end;
    episode.length = static_cast<int32_t>(bytes.size());
    episode.calls.push_back(Status("Loading data ..."));
    OwnerCall block;
    block.kind = OwnerCall::Kind::kBlock;
    block.bytes = std::move(bytes);
    episode.calls.push_back(block);
    episode.calls.push_back(
        Status("Load sucessful for " + std::to_string(episode.length) + " bytes block"));
    return episode;
}

DecodeEpisode ReadError(int32_t source, int64_t start, int64_t end, int32_t bytesRead) {
    DecodeEpisode episode;
    episode.kind = DecodeEpisode::Kind::kReadError;
    episode.source = source;
    episode.start = start;
    episode.end = end;
    episode.length = bytesRead;
    episode.calls.push_back(Status("Loading data ..."));
    OwnerCall snapshot;
    snapshot.kind = OwnerCall::Kind::kErrorSnapshot;
    snapshot.snapshot = std::make_shared<const SignalSnapshot>();
    episode.calls.push_back(snapshot);
    episode.calls.push_back(OwnerCall{OwnerCall::Kind::kRefresh, {}, {}, 0, -1, {}});
    episode.calls.push_back(Status("Read error at time " + std::to_string(end)));
    OwnerCall entry;
    entry.kind = OwnerCall::Kind::kErrorEntry;
    entry.bytesRead = bytesRead;
    entry.firstByte = 0xFF;
    episode.calls.push_back(entry);
    return episode;
}

DecodeEpisode BadSync(int32_t source, int64_t at) {
    DecodeEpisode episode;
    episode.kind = DecodeEpisode::Kind::kBadSync;
    episode.source = source;
    episode.start = at - 200;
    episode.end = at;
    episode.calls.push_back(Status("Read error : bad sync at " + std::to_string(at)));
    return episode;
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
    EXPECT_EQ(owner.blocks, std::vector<std::vector<uint8_t>>{kBlock});
    EXPECT_EQ(owner.Lines("status: "),
              (std::vector<std::string>{"Loading data ...", "Load sucessful for 5 bytes block"}));
    EXPECT_FALSE(merger.HasPending());
}

TEST_F(RobustMergeTest, AnErrorBesideALoadedBlockIsNotReported) {
    merger.Add({ReadError(1, 110, 900, 3), Loaded(0, 100, 5000, kBlock)});
    SettleAll();
    EXPECT_EQ(owner.blocks.size(), 1u);
    EXPECT_TRUE(owner.Lines("entry: ").empty());
    EXPECT_TRUE(owner.snapshots.empty());
    EXPECT_EQ(owner.Lines("status: Read error").size(), 0u);
}

TEST_F(RobustMergeTest, TheFullBlockWinsOverAShortFragmentBesideIt) {
    merger.Add({Loaded(1, 90, 400, kFragment), Loaded(0, 100, 5000, kBlock)});
    SettleAll();
    EXPECT_EQ(owner.blocks, std::vector<std::vector<uint8_t>>{kBlock});
}

TEST_F(RobustMergeTest, AFragmentOfALongerFailedBlockGivesWayToTheError) {
    merger.Add({Loaded(1, 90, 400, kFragment), ReadError(0, 100, 5000, 40)});
    SettleAll();
    EXPECT_TRUE(owner.blocks.empty());
    EXPECT_EQ(owner.Lines("entry: "), std::vector<std::string>{"40 255"});
    EXPECT_EQ(owner.snapshots.size(), 1u);
}

TEST_F(RobustMergeTest, AStretchWhereBothFailedGivesOneErrorTheOneThatReadMost) {
    merger.Add({ReadError(0, 100, 900, 3), ReadError(1, 110, 2000, 12), BadSync(0, 150)});
    SettleAll();
    EXPECT_EQ(owner.Lines("entry: "), std::vector<std::string>{"12 255"});
    EXPECT_TRUE(owner.Lines("status: Read error : bad sync").empty());
    EXPECT_EQ(owner.snapshots.size(), 1u);
}

TEST_F(RobustMergeTest, SeparateStretchesAreReportedEachInTheirOrder) {
    merger.Add({Loaded(1, 30000, 40000, kFragment), BadSync(0, 20000)});
    merger.Add({Loaded(0, 100, 5000, kBlock)});
    SettleAll();
    EXPECT_EQ(owner.Lines("status: "),
              (std::vector<std::string>{"Loading data ...", "Load sucessful for 5 bytes block",
                                        "Read error : bad sync at 20000", "Loading data ...",
                                        "Load sucessful for 2 bytes block"}));
}

TEST_F(RobustMergeTest, AStretchWaitsWhileADecoderMayStillReadThere) {
    merger.Add({ReadError(0, 100, 900, 3)});
    merger.Settle(500, kNoDeadline, 0);  // the other decoder has been reading since 500
    EXPECT_TRUE(owner.events.empty());
    EXPECT_TRUE(merger.HasPending());
    // An error is never forced out: the open block may still load there.
    merger.Settle(500, kLongAgo, 4);
    EXPECT_TRUE(owner.events.empty());
    merger.Add({Loaded(1, 500, 5000, kBlock)});
    SettleAll();
    EXPECT_EQ(owner.blocks.size(), 1u);
    EXPECT_TRUE(owner.Lines("entry: ").empty());
}

TEST_F(RobustMergeTest, ABlockGoesOutAtTheDeadlineUnlessTheOtherDecoderHasReadMore) {
    merger.Add({Loaded(1, 90, 400, kFragment)});
    merger.Settle(100, 1000, 50);  // the other decoder has read 50 bytes of this stretch
    EXPECT_TRUE(owner.blocks.empty());
    merger.Settle(100, 1000, 1);
    EXPECT_EQ(owner.blocks, std::vector<std::vector<uint8_t>>{kFragment});

    // What the other decoder finishes there later: a longer block is still news, an error not.
    merger.Add({Loaded(0, 100, 5000, kBlock), ReadError(1, 95, 450, 1)});
    SettleAll();
    EXPECT_EQ(owner.blocks, (std::vector<std::vector<uint8_t>>{kFragment, kBlock}));
    EXPECT_TRUE(owner.Lines("entry: ").empty());
}

TEST_F(RobustMergeTest, AReadErrorRunningAcrossTwoBlocksLosesNeither) {
    const std::vector<uint8_t> header(19, 0x00);
    // Decoder 1 read on from the header through the pause into the next pilot.
    merger.Add(
        {Loaded(0, 100, 2000, header), ReadError(1, 150, 2600, 40), Loaded(0, 2500, 9000, kBlock)});
    SettleAll();
    EXPECT_EQ(owner.blocks, (std::vector<std::vector<uint8_t>>{header, kBlock}));
    EXPECT_TRUE(owner.Lines("entry: ").empty());
    EXPECT_TRUE(owner.snapshots.empty());
}

TEST_F(RobustMergeTest, TheSameBlockFinishedLateByTheOtherDecoderIsNotReportedTwice) {
    merger.Add({Loaded(0, 100, 5000, kBlock)});
    merger.Settle(100, 6000, 4);  // decoder 1 still reads the same block, 4 bytes in
    ASSERT_EQ(owner.blocks.size(), 1u);
    merger.Add({Loaded(1, 120, 5050, kBlock), Loaded(1, 8000, 9000, kFragment)});
    SettleAll();
    EXPECT_EQ(owner.blocks, (std::vector<std::vector<uint8_t>>{kBlock, kFragment}));
    EXPECT_EQ(owner.Lines("status: Load sucessful for 5 bytes block").size(), 1u);
}

TEST_F(RobustMergeTest, OfEquallyLongReportsTheOneThatEndedFirstIsKept) {
    const std::vector<uint8_t> other = {0xFF, 3, 2, 1, 0xFF ^ 1 ^ 2 ^ 3};
    merger.Add({Loaded(1, 100, 5010, other), Loaded(0, 110, 5000, kBlock)});
    merger.Add({ReadError(0, 20000, 21000, 7), ReadError(1, 20010, 20900, 7)});
    SettleAll();
    EXPECT_EQ(owner.blocks, std::vector<std::vector<uint8_t>>{kBlock});
    EXPECT_EQ(owner.Lines("status: Read error at time "), std::vector<std::string>{"20900"});
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
