#include "decoder/robust/EpisodeMerger.h"

#include <algorithm>
#include <iterator>
#include <optional>

#include "decoder/core/RecordSink.h"

namespace {

using Kind = DecodeEpisode::Kind;

bool StartsEarlier(const DecodeEpisode& a, const DecodeEpisode& b) {
    return a.start != b.start ? a.start < b.start : a.source < b.source;
}

bool EndsEarlier(const DecodeEpisode& a, const DecodeEpisode& b) {
    return a.end != b.end ? a.end < b.end : a.source < b.source;
}

bool Overlap(const DecodeEpisode& a, const DecodeEpisode& b) {
    return a.start <= b.end && b.start <= a.end;
}

// Of the episodes of `kind` in [first, last), the one with most bytes, the earliest on a tie.
std::optional<size_t> Longest(const std::vector<DecodeEpisode>& episodes, size_t first, size_t last,
                              Kind kind) {
    std::optional<size_t> best;
    for (size_t i = first; i < last; ++i) {
        const DecodeEpisode& e = episodes[i];
        if (e.kind != kind) {
            continue;
        }
        if (!best || e.length > episodes[*best].length ||
            (e.length == episodes[*best].length && EndsEarlier(e, episodes[*best]))) {
            best = i;
        }
    }
    return best;
}

}  // namespace

void CEpisodeMerger::Add(std::vector<DecodeEpisode> episodes) {
    if (episodes.empty()) {
        return;
    }
    std::move(episodes.begin(), episodes.end(), std::back_inserter(m_pending));
    std::stable_sort(m_pending.begin(), m_pending.end(), StartsEarlier);
}

void CEpisodeMerger::Settle(int64_t frontier, int64_t deadline, int32_t openBytes) {
    size_t first = 0;
    while (first < m_pending.size()) {
        int64_t lastSample = 0;
        const size_t last = GroupEnd(first, lastSample);
        Verdict verdict = Judge(first, last);
        if (!IsSettled(verdict, lastSample, frontier, deadline, openBytes)) {
            break;
        }
        if (m_pending[first].start <= m_passedEnd) {
            FilterLate(verdict);
        } else {
            m_passedBlockLength = kNoBlock;
        }
        for (const size_t i : verdict.chosen) {
            Replay(m_pending[i]);
        }
        m_passedBlockLength = std::max(m_passedBlockLength, verdict.blockLength);
        m_passedEnd = std::max(m_passedEnd, lastSample);
        first = last;
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(first));
}

bool CEpisodeMerger::IsSettled(const Verdict& verdict, int64_t lastSample, int64_t frontier,
                               int64_t deadline, int32_t openBytes) const {
    if (lastSample < frontier) {
        return true;
    }
    // A mended block waits for every decoder: a reading of the same stretch without a mend wins.
    const bool anyMended = std::any_of(verdict.chosen.begin(), verdict.chosen.end(),
                                       [this](size_t i) { return m_pending[i].mended; });
    return lastSample < deadline && verdict.blockLength != kNoBlock &&
           verdict.blockLength >= openBytes && !anyMended;
}

size_t CEpisodeMerger::GroupEnd(size_t first, int64_t& lastSample) const {
    lastSample = m_pending[first].end;
    size_t last = first + 1;
    while (last < m_pending.size() && m_pending[last].start <= lastSample) {
        lastSample = std::max(lastSample, m_pending[last].end);
        ++last;
    }
    return last;
}

CEpisodeMerger::Verdict CEpisodeMerger::Judge(size_t first, size_t last) const {
    Verdict verdict;
    for (size_t i = first; i < last; ++i) {
        if (m_pending[i].kind == Kind::kNote) {
            verdict.chosen.push_back(i);
        }
    }
    const std::vector<size_t> blocks = Blocks(first, last);
    for (const size_t i : blocks) {
        verdict.chosen.push_back(i);
        verdict.blockLength = std::max(verdict.blockLength, m_pending[i].length);
    }
    if (blocks.empty()) {
        if (const auto error = Longest(m_pending, first, last, Kind::kReadError)) {
            verdict.chosen.push_back(*error);
        } else if (const auto badSync = Longest(m_pending, first, last, Kind::kBadSync)) {
            verdict.chosen.push_back(*badSync);
        }
    }
    std::stable_sort(verdict.chosen.begin(), verdict.chosen.end(), [this](size_t a, size_t b) {
        return EndsEarlier(m_pending[a], m_pending[b]);
    });
    return verdict;
}

// The loaded blocks of a group that are news: the longest first, then each next longest that
// lies beside every one taken (a group may chain several blocks through episodes that span
// them). A block gives way to a read error beside it that had read more bytes, unless that
// error also reaches another block taken: then it ran on from one block into the next, and
// tells nothing of either.
std::vector<size_t> CEpisodeMerger::Blocks(size_t first, size_t last) const {
    std::vector<size_t> loaded;
    for (size_t i = first; i < last; ++i) {
        if (m_pending[i].kind == Kind::kLoaded) {
            loaded.push_back(i);
        }
    }
    std::stable_sort(loaded.begin(), loaded.end(), [this](size_t a, size_t b) {
        const DecodeEpisode& x = m_pending[a];
        const DecodeEpisode& y = m_pending[b];
        if (x.mended != y.mended) {
            return !x.mended;
        }
        return x.length != y.length ? x.length > y.length : EndsEarlier(x, y);
    });
    std::vector<size_t> taken;
    for (const size_t i : loaded) {
        if (std::none_of(taken.begin(), taken.end(),
                         [&](size_t t) { return Overlap(m_pending[i], m_pending[t]); })) {
            taken.push_back(i);
        }
    }
    std::vector<size_t> kept;
    for (const size_t i : taken) {
        const bool fragment = std::any_of(
            m_pending.begin() + static_cast<std::ptrdiff_t>(first),
            m_pending.begin() + static_cast<std::ptrdiff_t>(last), [&](const DecodeEpisode& e) {
                return e.kind == Kind::kReadError && e.length > m_pending[i].length &&
                       Overlap(e, m_pending[i]) &&
                       std::none_of(taken.begin(), taken.end(),
                                    [&](size_t t) { return t != i && Overlap(e, m_pending[t]); });
            });
        if (!fragment) {
            kept.push_back(i);
        }
    }
    return kept;
}

// A group that overlaps the one passed on before it: that stretch has been reported already.
// Only a block longer than any passed on there is still worth hearing of.
void CEpisodeMerger::FilterLate(Verdict& verdict) const {
    std::erase_if(verdict.chosen, [&](size_t i) {
        const DecodeEpisode& e = m_pending[i];
        return e.kind != Kind::kNote &&
               (e.kind != Kind::kLoaded || e.length <= m_passedBlockLength);
    });
    if (verdict.blockLength <= m_passedBlockLength) {
        verdict.blockLength = kNoBlock;
    }
}

void CEpisodeMerger::Replay(const DecodeEpisode& episode) {
    m_pReplaying = &episode;
    for (const DecoderRecord& record : episode.records) {
        m_pSink->Report(record);
    }
    m_pReplaying = nullptr;
}
