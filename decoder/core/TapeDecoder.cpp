#include "decoder/core/TapeDecoder.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "decoder/core/SignalSnapshot.h"

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

CTapeDecoder::CTapeDecoder(CRecordSink* sink, const DecoderSettings& settings)
    : m_pSink(sink), m_settings(settings) {}

CTapeDecoder::CTapeDecoder(CRecordSink* sink, int64_t firstSampleTime,
                           const DecoderSettings& settings)
    : m_pSink(sink),
      m_settings(settings),
      m_sampleTime(firstSampleTime),
      m_timeOrigin(firstSampleTime) {}

CTapeDecoder::~CTapeDecoder() = default;

void CTapeDecoder::Reconfigure(const DecoderSettings& settings) {
    m_settings = settings;
    m_recognizer.SetLimits(settings);
}

void CTapeDecoder::ProcessBuffer(const uint8_t* samples, int32_t count) {
    if (samples == nullptr || count < 0) {
        count = 0;
    }
    if (m_bufferDump.Dumping()) {
        m_bufferDump.Dump(samples, count);
    }
    if (m_bufferDump.Replaying()) {
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
            ++m_uncountedSamples;
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
    const int32_t before = m_newestValue;
    for (int32_t chunk = 0; chunk < n; chunk += kChunk) {
        const int32_t end = std::min(n, chunk + kChunk);
        MarkOnwardSamples(pending, chunk, end, before);
        int32_t j = chunk;
        while (j < end) {
            j = m_rising ? FollowRuns<true>(pending, j, chunk, end)
                         : FollowRuns<false>(pending, j, chunk, end);
        }
    }
}

// Follows the wave from `from` while it keeps the direction kRising (or to `end`); returns the
// next sample to look at. Each step skips a run of quiet samples and takes the sample that ends
// it through every step of the tracker. A quiet sample goes on
// in the current direction without touching the filter: it moves onwards (see
// MarkOnwardSamples) and, when the filter is allowed, does not lie beyond the last extremum of
// the other kind. It only advances the time. Within a run the samples move strictly onwards, so
// only the first can lie beyond that extremum.
template <bool kRising>
int32_t CTapeDecoder::FollowRuns(const uint8_t* pending, int32_t from, int32_t chunk, int32_t end) {
    const ChunkBits& onward = kRising ? m_riseBits : m_fallBits;
    const int64_t firstTime = m_timeOrigin + m_pendingFirst;
    // The owner is called only when an extremum is accepted, which ends this call.
    const WaveSettings wave = EffectiveWave();
    int32_t j = from;
    do {
        const bool allowed = FilterAllowed();
        int32_t k = j;
        const int32_t first = pending[j];
        if (!allowed ||
            (kRising ? first >= m_troughs.Newest().value : first <= m_peaks.Newest().value)) {
            k = NextStop(onward, j - chunk) + chunk;
            if (k >= end) {
                TakeQuietSamples(pending, end);
                return end;
            }
        }
        const int32_t s = pending[k];
        const int32_t previous = k == 0 ? m_newestValue : pending[k - 1];
        const int64_t time = firstTime + k;
        m_newestValue = s;
        m_storedCount = m_pendingFirst + k + 1;
        m_sampleTime = time;
        Follow<kRising>(IsClipped(s) ? previous : s, TimedValue{time - 1, previous}, allowed, wave);
        m_sampleTime = time + 1;
        j = k + 1;
    } while (j < end && m_rising == kRising);
    return j;
}

// The position of the first sample at or after `offset` (within the chunk) whose mark is clear,
// or the chunk size when there is none.
int32_t CTapeDecoder::NextStop(const ChunkBits& onward, int32_t offset) {
    auto word = static_cast<size_t>(offset >> 6);
    uint64_t stops = ~onward[word] >> (offset & 63);
    if (stops != 0) {
        return offset + __builtin_ctzll(stops);
    }
    for (++word; word < onward.size(); ++word) {
        stops = ~onward[word];
        if (stops != 0) {
            return static_cast<int32_t>(word * 64) + __builtin_ctzll(stops);
        }
    }
    return kChunk;
}

// Every sample of the pending buffer before `to` has been taken.
void CTapeDecoder::TakeQuietSamples(const uint8_t* pending, int32_t to) {
    m_newestValue = pending[to - 1];
    m_storedCount = m_pendingFirst + to;
    m_sampleTime = m_timeOrigin + m_storedCount;
}

// Marks, for the samples from `from` to `to` (at most one chunk), which ones move onwards from
// their predecessor (`before` for the very first): up and not clipped, or down and not clipped.
// These marks do not depend on the tracker's state, so one pass serves the whole chunk.
void CTapeDecoder::MarkOnwardSamples(const uint8_t* data, int32_t from, int32_t to,
                                     int32_t before) {
    m_riseBits.fill(0);
    m_fallBits.fill(0);
    int32_t i = from;
#if defined(__SSE2__)
    const __m128i bias = _mm_set1_epi8(static_cast<char>(0x80));
    const __m128i top = _mm_set1_epi8(static_cast<char>(0xFF));
    const __m128i bottom = _mm_setzero_si128();
    for (; i + 16 <= to; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        // The first sample's predecessor lies outside the buffer: its marks are set below.
        const __m128i previous =
            i == 0 ? _mm_slli_si128(x, 1)
                   : _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i - 1));
        const __m128i xs = _mm_xor_si128(x, bias);
        const __m128i ps = _mm_xor_si128(previous, bias);
        const __m128i up = _mm_andnot_si128(_mm_cmpeq_epi8(x, top), _mm_cmpgt_epi8(xs, ps));
        const __m128i down = _mm_andnot_si128(_mm_cmpeq_epi8(x, bottom), _mm_cmpgt_epi8(ps, xs));
        const int32_t offset = i - from;
        const auto word = static_cast<size_t>(offset >> 6);
        const int shift = offset & 63;
        m_riseBits[word] |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(up)))
                            << shift;
        m_fallBits[word] |= static_cast<uint64_t>(static_cast<uint32_t>(_mm_movemask_epi8(down)))
                            << shift;
    }
#endif
    for (; i < to; ++i) {
        const int32_t s = data[i];
        const int32_t previous = i == 0 ? before : data[i - 1];
        const int32_t offset = i - from;
        const uint64_t bit = uint64_t{1} << (offset & 63);
        if (s > previous && !IsClipped(s)) {
            m_riseBits[static_cast<size_t>(offset >> 6)] |= bit;
        }
        if (s < previous && !IsClipped(s)) {
            m_fallBits[static_cast<size_t>(offset >> 6)] |= bit;
        }
    }
    if (from == 0 && to > 0) {
        const int32_t s = data[0];
        m_riseBits[0] = (m_riseBits[0] & ~uint64_t{1}) | (s > before && !IsClipped(s) ? 1u : 0u);
        m_fallBits[0] = (m_fallBits[0] & ~uint64_t{1}) | (s < before && !IsClipped(s) ? 1u : 0u);
    }
}

void CTapeDecoder::TrackStoredSample(int32_t s, int32_t v) {
    const TimedValue prev{m_sampleTime - 1, m_newestValue};
    m_newestValue = s;
    ++m_storedCount;
    if (m_storedCount >= 2) {
        if (m_rising) {
            Follow<true>(v, prev, FilterAllowed(), EffectiveWave());
        } else {
            Follow<false>(v, prev, FilterAllowed(), EffectiveWave());
        }
    }
    ++m_sampleTime;
}

bool CTapeDecoder::FilterAllowed() const {
    return !m_peaks.Empty() && !m_troughs.Empty() && m_rejectRun < kRejectRunLimit;
}

template <bool kRising>
inline __attribute__((always_inline)) void CTapeDecoder::Follow(int32_t v, const TimedValue& prev,
                                                                bool allowed,
                                                                const WaveSettings& wave) {
    // Before the first peak and trough these read unused slots; `allowed` is false then.
    TimedValue& lastTrough = m_troughs.Newest();
    TimedValue& lastPeak = m_peaks.Newest();
    if (kRising ? v > prev.value : v < prev.value) {
        // Still going, but from beyond the last extremum of the other kind.
        if (allowed && (kRising ? v < lastTrough.value : v > lastPeak.value) &&
            RejectExtremum(kRising, lastTrough, lastPeak, prev)) {
            ++m_rejectRun;
        }
        return;
    }
    // The wave has turned: prev is a candidate. A candidate at least as far out as the last
    // extremum of its kind passes unfiltered. The verdict is computed either way, so that only
    // its outcome is a branch: noise makes both questions a coin toss.
    const bool filtered =
        allowed & (kRising ? lastPeak.value > prev.value : lastTrough.value < prev.value);
    const Verdict verdict = Judge(kRising, lastTrough, lastPeak, prev, wave);
    if (filtered & verdict.rejected) {
        if (verdict.beyond) {
            DragReference(kRising ? lastTrough : lastPeak, prev);
        }
        ++m_rejectRun;
        return;
    }
    if (kRising) {
        AcceptPeak(prev);
    } else {
        AcceptTrough(prev);
    }
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
    const Verdict verdict = Judge(rising, lastTrough, lastPeak, candidate, EffectiveWave());
    if (verdict.rejected && verdict.beyond) {
        DragReference(rising ? lastTrough : lastPeak, candidate);
    }
    return verdict.rejected;
}

// The wave-processing settings as the filter uses them: an empty field acts as its default.
CTapeDecoder::WaveSettings CTapeDecoder::EffectiveWave() const {
    return WaveSettings{OrDefault(m_settings.filterPercent, kDefaultFilterPercent),
                        OrDefault(m_settings.delay, kDefaultDelay),
                        OrDefault(m_settings.decayPercent, kDefaultDecayPercent)};
}

inline __attribute__((always_inline)) CTapeDecoder::Verdict CTapeDecoder::Judge(
    bool rising, const TimedValue& lastTrough, const TimedValue& lastPeak,
    const TimedValue& candidate, const WaveSettings& wave) {
    const int64_t swing = static_cast<int64_t>(lastPeak.value) - lastTrough.value;
    const TimedValue& reference = rising ? lastTrough : lastPeak;
    const int64_t excursion = rising ? static_cast<int64_t>(candidate.value) - lastTrough.value
                                     : static_cast<int64_t>(lastPeak.value) - candidate.value;
    return Verdict{BelowThreshold(excursion, candidate.time - reference.time, swing, wave),
                   excursion < 0};
}

void CTapeDecoder::DragReference(TimedValue& reference, const TimedValue& candidate) {
    // The wave still goes the wrong way: drag the last extremum along to the true turn.
    reference = candidate;
    m_recognizer.MoveLastExtremum(candidate.time);
}

// excursion < threshold, where threshold is the share of the previous swing that a candidate
// must cover: (100 - filterPercent - decay) % of it, truncated toward zero, with decay growing
// by decayPercent points per sample beyond `delay` after the reference. Computed wide and
// clamped far beyond any excursion, so no setting can overflow it. The truncated division is
// folded into the comparison.
inline __attribute__((always_inline)) bool CTapeDecoder::BelowThreshold(int64_t excursion,
                                                                        int64_t elapsed,
                                                                        int64_t swing,
                                                                        const WaveSettings& wave) {
    constexpr int64_t kLongest = int64_t{1} << 32;
    constexpr int64_t kLargest = int64_t{1} << 40;
    const int64_t over = std::clamp<int64_t>(elapsed - wave.delay, 0, kLongest);
    const int64_t decay = std::clamp<int64_t>(over * wave.decayPercent, -kLargest, kLargest);
    const int64_t scaled = (100 - wave.filter - decay) * swing;  // 100 x the threshold
    // For integers: e < trunc(n / 100) is 100 (e + 1) <= n when n >= 0, and 100 e < n otherwise.
    return scaled >= 0 ? 100 * excursion + 100 <= scaled : 100 * excursion < scaled;
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
    StoreHistory(m_pPending + (taken - kept), m_pendingFirst + taken - kept,
                 static_cast<int32_t>(kept));
    m_pPending = nullptr;
}

// Stores `count` samples (at most the history's size), the first of them sample number `first`,
// in the history ring: one copy up to the ring's end, one from its start.
void CTapeDecoder::StoreHistory(const uint8_t* samples, int64_t first, int32_t count) {
    const auto slot = static_cast<size_t>(first) & (kHistorySlots - 1);
    const size_t head =
        std::min(static_cast<size_t>(count), static_cast<size_t>(kHistorySlots) - slot);
    std::memcpy(m_history.data() + slot, samples, head);
    std::memcpy(m_history.data(), samples + head, static_cast<size_t>(count) - head);
}

bool CTapeDecoder::IsReadingBlock() const {
    return m_recognizer.InData();
}

SignalReading CTapeDecoder::Calibrate() {
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

record::ErrorScene CTapeDecoder::CaptureErrorScene() const {
    record::ErrorScene scene;
    auto snapshot = std::make_shared<SignalSnapshot>();
    CaptureSnapshot(*snapshot);
    scene.snapshot = std::move(snapshot);
    scene.extremumTimes = LastPeriodEnds();
    return scene;
}

void CTapeDecoder::LogIntervals() const {
    std::vector<int64_t> times = LastPeriodEnds();
    if (!times.empty()) {
        Report(record::IntervalLog{std::move(times)});
    }
}

std::vector<int64_t> CTapeDecoder::LastPeriodEnds() const {
    std::vector<int64_t> ends;
    const auto& times = m_recognizer.GetExtremumTimes();
    if (times.Count() > 28) {
        for (int32_t i = -26; i <= 0; i += 2) {
            ends.push_back(times.At(i));
        }
    }
    return ends;
}

void CTapeDecoder::ReplayNextFile() {
    m_bufferDump.Replay(
        [this](const uint8_t* samples, int32_t count) { FeedSamples(samples, count); });
}
