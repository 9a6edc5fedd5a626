#include "decoder/TapeDecoder.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <limits>

#include "decoder/TextFormat.h"
#include "signal/SignalSnapshot.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

int32_t OrDefault(int32_t value, int32_t fallback) {
    return value == kNotSet ? fallback : value;
}

bool IsClipped(int32_t s) {
    return s == 0 || s == 255;
}

template <typename Ring>
RingBuffer<TimedValue> CopyNewest(const Ring& ring, int32_t capacity) {
    RingBuffer<TimedValue> copy(capacity);
    const int64_t count = ring.Count();
    const int32_t kept = static_cast<int32_t>(std::min<int64_t>(count, capacity));
    copy.SkipPushes(count - kept);
    for (int32_t i = kept - 1; i >= 0; --i) {
        copy.Push(ring.At(-i));
    }
    return copy;
}

// Runs its action when the scope ends, also when an owner's callback throws.
template <typename Action>
class AtScopeEnd {
public:
    explicit AtScopeEnd(Action action) : m_action(action) {}
    ~AtScopeEnd() { m_action(); }
    AtScopeEnd(const AtScopeEnd&) = delete;
    AtScopeEnd& operator=(const AtScopeEnd&) = delete;

private:
    Action m_action;
};

}  // namespace

CTapeDecoder::CTapeDecoder(CDecoderOwner* owner) : m_pOwner(owner) {}

CTapeDecoder::CTapeDecoder(CDecoderOwner* owner, int64_t firstSampleTime)
    : m_pOwner(owner), m_sampleTime(firstSampleTime), m_timeOrigin(firstSampleTime) {}

CTapeDecoder::~CTapeDecoder() = default;

void CTapeDecoder::ProcessBuffer(const uint8_t* samples, int32_t count) {
    if (samples == nullptr || count < 0) {
        count = 0;
    }
    if (settings.dump && !settings.fromFile) {
        DumpBuffer(samples, count);
    }
    if (settings.fromFile) {
        ReplayNextFile();
    } else {
        FeedSamples(samples, count);
    }
}

void CTapeDecoder::AddSample(int32_t s) {
    if (m_storedCount == 1) {
        // The direction comes from the first sample that differs from the very first one.
        if (s > m_newestValue) {
            m_rising = true;
        } else if (s < m_newestValue) {
            m_rising = false;
        } else {
            return;
        }
    }
    const int32_t v = (m_storedCount > 0 && IsClipped(s)) ? m_newestValue : s;
    m_history[static_cast<size_t>(m_storedCount) & (kHistorySlots - 1)] = static_cast<uint8_t>(s);
    TrackStoredSample(s, v);
}

void CTapeDecoder::FeedSamples(const uint8_t* data, int32_t count) {
    int32_t first = 0;
    while (first < count && m_storedCount < 2) {
        AddSample(data[first++]);
    }
    if (first >= count) {
        return;
    }
    // From here on every sample is stored, so the buffer itself is the newest sample history.
    const uint8_t* pending = data + first;
    const int32_t n = count - first;
    m_pPending = pending;
    m_pendingFirst = m_storedCount;
    const AtScopeEnd flush([this, n] { FlushPending(n); });
    int32_t j = 0;
    while (j < n) {
        const int32_t k = QuietRunEnd(pending, j, n);
        SkipQuietRun(pending, j, k);
        if (k == n) {
            break;
        }
        const int32_t s = pending[k];
        TrackStoredSample(s, IsClipped(s) ? m_newestValue : s);
        j = k + 1;
    }
}

// A quiet sample goes on in the current direction without touching the filter: it is not clipped,
// moves strictly onwards, and does not lie beyond the last extremum of the other kind (when the
// filter is allowed). Such a sample only advances the time, so a run of them is skipped at once.
int32_t CTapeDecoder::QuietRunEnd(const uint8_t* data, int32_t from, int32_t count) const {
    if (from >= count) {
        return count;
    }
    const bool allowed = FilterAllowed();
    // In the rising case: quiet when x > previous, x >= guard and x != 255. Falling is the same
    // on inverted values.
    const int32_t invert = m_rising ? 0 : 255;
    int32_t guard = 0;
    if (allowed) {
        guard = m_rising ? m_troughs.Newest().value : 255 - m_peaks.Newest().value;
    }
    if (guard > 255) {
        return from;
    }
    guard = std::max(guard, 0);
    const auto quiet = [&](int32_t s, int32_t previous) {
        const int32_t x = s ^ invert;
        return !IsClipped(s) && x > (previous ^ invert) && x >= guard;
    };
    int32_t j = from;
    if (j == 0) {
        if (!quiet(data[0], m_newestValue)) {
            return 0;
        }
        j = 1;
    }
#if defined(__SSE2__)
    const __m128i flip = _mm_set1_epi8(static_cast<char>(invert));
    const __m128i bias = _mm_set1_epi8(static_cast<char>(0x80));
    const __m128i floor = _mm_set1_epi8(static_cast<char>(guard));
    const __m128i top = _mm_set1_epi8(static_cast<char>(0xFF));
    for (; j + 16 <= count; j += 16) {
        const __m128i x =
            _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + j)), flip);
        const __m128i previous =
            _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + j - 1)), flip);
        const __m128i onwards =
            _mm_cmpgt_epi8(_mm_xor_si128(x, bias), _mm_xor_si128(previous, bias));
        const __m128i inside = _mm_cmpeq_epi8(_mm_max_epu8(x, floor), x);
        const __m128i clipped = _mm_cmpeq_epi8(x, top);
        const __m128i quietLanes = _mm_andnot_si128(clipped, _mm_and_si128(onwards, inside));
        const unsigned stops = ~static_cast<unsigned>(_mm_movemask_epi8(quietLanes)) & 0xFFFFu;
        if (stops != 0) {
            return j + __builtin_ctz(stops);
        }
    }
#endif
    for (; j < count; ++j) {
        if (!quiet(data[j], data[j - 1])) {
            return j;
        }
    }
    return count;
}

void CTapeDecoder::SkipQuietRun(const uint8_t* data, int32_t from, int32_t to) {
    if (to <= from) {
        return;
    }
    m_sampleTime += to - from;
    m_storedCount += to - from;
    m_newestValue = data[to - 1];
}

void CTapeDecoder::TrackStoredSample(int32_t s, int32_t v) {
    const TimedValue prev{m_sampleTime - 1, m_newestValue};
    m_newestValue = s;
    ++m_storedCount;
    if (m_storedCount >= 2) {
        if (m_rising) {
            FollowRise(v, prev, FilterAllowed());
        } else {
            FollowFall(v, prev, FilterAllowed());
        }
    }
    ++m_sampleTime;
}

bool CTapeDecoder::FilterAllowed() const {
    return !m_peaks.Empty() && !m_troughs.Empty() && m_rejectRun < kRejectRunLimit;
}

void CTapeDecoder::FollowRise(int32_t v, const TimedValue& prev, bool filterAllowed) {
    if (v > prev.value) {
        if (filterAllowed && v < m_troughs.Newest().value &&
            RejectExtremum(true, m_troughs.Newest(), m_peaks.Newest(), prev)) {
            ++m_rejectRun;
        }
        return;
    }
    // The rise has stopped: prev is a peak candidate.
    if (filterAllowed && m_peaks.Newest().value > prev.value &&
        RejectExtremum(true, m_troughs.Newest(), m_peaks.Newest(), prev)) {
        ++m_rejectRun;
        return;
    }
    AcceptPeak(prev);
}

void CTapeDecoder::FollowFall(int32_t v, const TimedValue& prev, bool filterAllowed) {
    if (v < prev.value) {
        if (filterAllowed && v > m_peaks.Newest().value &&
            RejectExtremum(false, m_troughs.Newest(), m_peaks.Newest(), prev)) {
            ++m_rejectRun;
        }
        return;
    }
    // The fall has stopped: prev is a trough candidate.
    if (filterAllowed && m_troughs.Newest().value < prev.value &&
        RejectExtremum(false, m_troughs.Newest(), m_peaks.Newest(), prev)) {
        ++m_rejectRun;
        return;
    }
    AcceptTrough(prev);
}

void CTapeDecoder::AcceptPeak(const TimedValue& peak) {
    m_peaks.Push(peak);
    m_rising = false;
    m_rejectRun = 0;
    if (m_peaks.Count() > 1) {
        // The stream to the recognizer starts with the second peak.
        m_streamStarted = true;
        m_recognizer.OnExtremum(peak.time);
    }
}

void CTapeDecoder::AcceptTrough(const TimedValue& trough) {
    m_troughs.Push(trough);
    m_rising = true;
    m_rejectRun = 0;
    if (m_streamStarted && m_troughs.Count() > 1) {
        m_recognizer.OnExtremum(trough.time);
    }
}

bool CTapeDecoder::RejectExtremum(bool rising, TimedValue& lastTrough, TimedValue& lastPeak,
                                  const TimedValue& candidate) {
    const int64_t swing = static_cast<int64_t>(lastPeak.value) - lastTrough.value;
    TimedValue& reference = rising ? lastTrough : lastPeak;
    const int64_t excursion = rising ? static_cast<int64_t>(candidate.value) - lastTrough.value
                                     : static_cast<int64_t>(lastPeak.value) - candidate.value;
    const bool rejected = excursion < FilterThreshold(candidate.time - reference.time, swing);
    if (rejected && excursion < 0) {
        // The wave still goes the wrong way: drag the last extremum along to the true turn.
        reference = candidate;
        m_recognizer.MoveLastExtremum(candidate.time);
    }
    return rejected;
}

// The share of the previous swing that a candidate must cover: whole for `delay` samples after
// the reference, then falling by `decayPercent` points per sample. Computed wide and clamped far
// beyond any excursion, so no setting can overflow it; an empty field acts as its default.
int64_t CTapeDecoder::FilterThreshold(int64_t elapsed, int64_t swing) const {
    const int64_t filter = OrDefault(settings.filterPercent, kDefaultFilterPercent);
    const int64_t delay = OrDefault(settings.delay, kDefaultDelay);
    const int64_t decayPercent = OrDefault(settings.decayPercent, kDefaultDecayPercent);
    int64_t decay = 0;
    if (elapsed > delay) {
        constexpr int64_t kLongest = int64_t{1} << 32;
        constexpr int64_t kLargest = int64_t{1} << 40;
        decay = std::clamp(std::min(elapsed - delay, kLongest) * decayPercent, -kLargest, kLargest);
    }
    return (100 - filter - decay) * swing / 100;
}

uint8_t CTapeDecoder::StoredSample(int64_t index) const {
    if (m_pPending != nullptr && index >= m_pendingFirst) {
        return m_pPending[index - m_pendingFirst];
    }
    return m_history[static_cast<size_t>(index) & (kHistorySlots - 1)];
}

void CTapeDecoder::FlushPending(int32_t count) {
    const int64_t taken = std::min<int64_t>(m_storedCount - m_pendingFirst, count);
    const int64_t kept = std::min<int64_t>(taken, kHistorySlots);
    for (int64_t i = taken - kept; i < taken; ++i) {
        m_history[static_cast<size_t>(m_pendingFirst + i) & (kHistorySlots - 1)] = m_pPending[i];
    }
    m_pPending = nullptr;
}

bool CTapeDecoder::IsReadingBlock() const {
    return m_recognizer.InData();
}

int CTapeDecoder::Calibrate() {
    return m_recognizer.Calibrate();
}

void CTapeDecoder::CaptureSnapshot(SignalSnapshot& snapshot) const {
    RingBuffer<TimedValue> samples(kSampleHistory);
    const int32_t kept = static_cast<int32_t>(std::min<int64_t>(m_storedCount, kSampleHistory));
    samples.SkipPushes(m_storedCount - kept);
    for (int64_t index = m_storedCount - kept; index < m_storedCount; ++index) {
        samples.Push(TimedValue{m_timeOrigin + index, StoredSample(index)});
    }
    snapshot.samples = std::move(samples);
    snapshot.peaks = CopyNewest(m_peaks, kExtremumHistory);
    snapshot.troughs = CopyNewest(m_troughs, kExtremumHistory);
    for (int32_t parity = 0; parity < 2; ++parity) {
        for (int32_t k = 0; k < CBlockRecognizer::kHistogramBins; ++k) {
            snapshot.periodHistogram[static_cast<size_t>(parity * CBlockRecognizer::kHistogramBins +
                                                         k)] =
                m_recognizer.HistogramCount(parity, k);
        }
    }
}

void CTapeDecoder::LogIntervals() const {
    const auto& times = m_recognizer.GetExtremumTimes();
    if (times.Count() <= 28) {
        return;
    }
    for (int32_t i = -26; i <= -2; i += 2) {
        const int64_t at = times.At(i);
        m_pOwner->DebugOutput(
            FormatText("interval at %" PRId64 " (%d) : %" PRId64 "\n", at, i, times.At(i + 2) - at)
                .c_str());
    }
}

std::string CTapeDecoder::NextFileName() {
    std::string name = FormatText("%s.%03d", settings.baseName.c_str(), settings.fileIndex);
    if (settings.fileIndex < std::numeric_limits<int32_t>::max()) {
        ++settings.fileIndex;
    }
    return name;
}

void CTapeDecoder::DumpBuffer(const uint8_t* samples, int32_t count) {
    const std::string name = NextFileName();
    std::FILE* file = std::fopen(name.c_str(), "wb");
    if (file == nullptr) {
        m_pOwner->DebugOutput(FormatText("Open for %s failed\n", name.c_str()).c_str());
        m_pOwner->AppendLog(FormatText("Could not dump to file %s", name.c_str()).c_str());
        return;
    }
    const size_t written =
        count > 0 ? std::fwrite(samples, 1, static_cast<size_t>(count), file) : 0;
    // A full disk may show only when the file is closed.
    const bool closed = std::fclose(file) == 0;
    if (written < static_cast<size_t>(count) || !closed) {
        m_pOwner->DebugOutput(FormatText("write failed for %s failed\n", name.c_str()).c_str());
        m_pOwner->AppendLog(FormatText("Could not dump to file %s", name.c_str()).c_str());
        return;
    }
    m_pOwner->AppendLog(FormatText("Dumped %d bytes in file %s", count, name.c_str()).c_str());
}

void CTapeDecoder::ReplayNextFile() {
    const std::string name = NextFileName();
    std::FILE* file = std::fopen(name.c_str(), "rb");
    if (file == nullptr) {
        m_pOwner->AppendLog(FormatText("No file %s found", name.c_str()).c_str());
        return;
    }
    m_replayBuffer.resize(kReplayChunk);
    int64_t total = 0;
    // A short last chunk is neither decoded nor counted.
    while (std::fread(m_replayBuffer.data(), 1, m_replayBuffer.size(), file) ==
           m_replayBuffer.size()) {
        FeedSamples(m_replayBuffer.data(), kReplayChunk);
        total += kReplayChunk;
    }
    m_pOwner->AppendLog(
        FormatText("Loaded %" PRId64 " bytes from file %s", total, name.c_str()).c_str());
    std::fclose(file);
}
