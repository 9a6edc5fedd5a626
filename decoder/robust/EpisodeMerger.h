#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "decoder/robust/DecodeEpisode.h"

class CRecordSink;

// Joins what several decoders found on one signal into the one report that the owner sees.
//
// Episodes whose stretches of samples overlap form a group: one stretch of tape, or several
// blocks chained by an episode that ran across them. Of a group the owner hears its loaded
// blocks that lie beside one another, where two overlap the one read without a mend, else the
// longer (the earliest on a tie), except a block beside which a read error had read more bytes,
// and that reached no other block: that block counts as a fragment of a longer block that failed.
// Without such blocks the owner hears of the failure that read most (a read error before a bad
// sync). Lone notes pass through as they are. Every record of a chosen episode is passed on
// unchanged and in order.
class CEpisodeMerger {
public:
    explicit CEpisodeMerger(CRecordSink* sink) : m_pSink(sink) {}

    // Closed episodes of any decoder, in any order.
    void Add(std::vector<DecodeEpisode> episodes);

    // Passes on, oldest first, every group that no decoder can add to any more: one that ends
    // before `frontier`, the earliest sample that a still open or future episode may cover.
    // A group with a loaded block that ended before `deadline` is passed on even while a decoder
    // reads on beside it, unless that decoder has already read more bytes (`openBytes`) than
    // the block: a block waits at most until the deadline, a fragment of a longer block waits
    // for it. What the other decoder reports later about the same stretch is judged against
    // what was passed on: only a longer block is still news.
    void Settle(int64_t frontier, int64_t deadline, int32_t openBytes);

    bool HasPending() const { return !m_pending.empty(); }
    // The earliest sample that a pending episode covers (m_pending is sorted by start).
    int64_t EarliestPending() const {
        return m_pending.empty() ? std::numeric_limits<int64_t>::max() : m_pending.front().start;
    }
    // While a chosen episode is passed on: the stretch of samples it covers.
    const DecodeEpisode* Replaying() const { return m_pReplaying; }

private:
    struct Verdict {
        std::vector<size_t> chosen;  // indices into m_pending, in reporting order
        int32_t blockLength = kNoBlock;
    };

    size_t GroupEnd(size_t first, int64_t& lastSample) const;
    Verdict Judge(size_t first, size_t last) const;
    std::vector<size_t> Blocks(size_t first, size_t last) const;
    bool IsSettled(const Verdict& verdict, int64_t lastSample, int64_t frontier, int64_t deadline,
                   int32_t openBytes) const;
    void FilterLate(Verdict& verdict) const;
    void Replay(const DecodeEpisode& episode);

    CRecordSink* m_pSink;
    std::vector<DecodeEpisode> m_pending;  // sorted by start
    static constexpr int32_t kNoBlock = -1;

    int64_t m_passedEnd = std::numeric_limits<int64_t>::min();
    int32_t m_passedBlockLength = kNoBlock;  // of the stretch passed on last
    const DecodeEpisode* m_pReplaying = nullptr;
};
