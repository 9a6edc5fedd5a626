#include "decoder/robust/RobustDecoder.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// The user's pulse limits and calibration switches with the robust mode's wave processing.
DecoderSettings Tuned(const DecoderSettings& user, bool maxFirst) {
    DecoderSettings tuned = user;
    tuned.mode = DecoderMode::Plain;
    tuned.maxFirst = maxFirst;
    tuned.filterPercent = CRobustDecoder::kFilterPercent;
    tuned.delay = CRobustDecoder::kDelay;
    tuned.decayPercent = CRobustDecoder::kDecayPercent;
    return tuned;
}

// Exactly what the plain mode would run; dumping and replaying are done outside.
DecoderSettings TunedPlain(const DecoderSettings& user) {
    DecoderSettings tuned = user;
    tuned.mode = DecoderMode::Plain;
    return tuned;
}

void Retune(CTapeDecoder& decoder, const DecoderSettings& tuned) {
    if (!(decoder.Settings() == tuned)) {
        decoder.Reconfigure(tuned);
    }
}

}  // namespace

CRobustDecoder::CRobustDecoder(CRecordSink* sink, const DecoderSettings& settings)
    : m_pOwner(sink), m_settings(InMode(settings, DecoderMode::Robust)) {
    m_troughRecorder.Attach(&m_troughDecoder);
    m_peakRecorder.Attach(&m_peakDecoder);
    m_plainRecorder.Attach(&m_plainDecoder);
    m_troughDecoder.Reconfigure(Tuned(m_settings, false));
    m_peakDecoder.Reconfigure(Tuned(m_settings, true));
    m_plainDecoder.Reconfigure(TunedPlain(m_settings));
}

void CRobustDecoder::Reconfigure(const DecoderSettings& settings) {
    m_settings = InMode(settings, DecoderMode::Robust);
    Retune(m_troughDecoder, Tuned(m_settings, false));
    Retune(m_peakDecoder, Tuned(m_settings, true));
    Retune(m_plainDecoder, TunedPlain(m_settings));
}

void CRobustDecoder::ProcessBuffer(const uint8_t* samples, int32_t count) {
    if (samples == nullptr || count < 0) {
        count = 0;
    }
    m_bufferStart = m_fed;
    if (m_bufferDump.Dumping()) {
        m_bufferDump.Dump(samples, count);
    }
    if (m_bufferDump.Replaying()) {
        m_bufferDump.Replay([this](const uint8_t* chunk, int32_t size) { Decode(chunk, size); });
    } else {
        Decode(samples, count);
    }
    Settle(m_bufferStart);
}

SignalReading CRobustDecoder::Calibrate() {
    const SignalReading troughReading = m_troughDecoder.Calibrate();
    const SignalReading peakReading = m_peakDecoder.Calibrate();
    m_plainDecoder.Calibrate();
    Settle(m_bufferStart);
    return m_peakDecoder.IsReadingBlock() && !m_troughDecoder.IsReadingBlock() ? peakReading
                                                                               : troughReading;
}

bool CRobustDecoder::IsReadingBlock() const {
    return m_troughDecoder.IsReadingBlock() || m_peakDecoder.IsReadingBlock() ||
           m_plainDecoder.IsReadingBlock() || m_troughRecorder.Watching() ||
           m_peakRecorder.Watching() || m_plainRecorder.Watching() || m_merger.HasPending();
}

void CRobustDecoder::CaptureSnapshot(SignalSnapshot& snapshot) const {
    m_troughDecoder.CaptureSnapshot(snapshot);
}

const CTapeDecoder& CRobustDecoder::Inner(int32_t index) const {
    switch (index) {
        case 0:
            return m_troughDecoder;
        case 1:
            return m_peakDecoder;
        default:
            return m_plainDecoder;
    }
}

void CRobustDecoder::Decode(const uint8_t* samples, int32_t count) {
    if (count <= 0) {
        return;
    }
    m_conditioned.resize(std::max(m_conditioned.size(), static_cast<size_t>(count)));
    m_conditioner.Process(samples, count, m_conditioned.data());
    Feed(m_troughDecoder, m_troughRecorder, m_conditioned.data(), count);
    Feed(m_peakDecoder, m_peakRecorder, m_conditioned.data(), count);
    Feed(m_plainDecoder, m_plainRecorder, samples, count);
    m_fed += count;
}

// Until a decoder has taken a sample that differs from its first one its clock stands still, by
// as many samples as the signal repeats its first value; that run is fed one sample at a time so
// that the recorder learns the offset before any report.
void CRobustDecoder::Feed(CTapeDecoder& decoder, CEpisodeRecorder& recorder, const uint8_t* samples,
                          int32_t count) const {
    int32_t at = 0;
    while (at < count && decoder.SampleTime() < 2) {
        decoder.ProcessBuffer(samples + at, 1);
        ++at;
        recorder.SetClockOffset(m_fed + at - decoder.SampleTime());
    }
    // In chunks, so that a loaded block is judged while what followed it is still in the
    // decoder's history.
    while (at < count) {
        const int32_t chunk = std::min(kWatchChunk, count - at);
        decoder.ProcessBuffer(samples + at, chunk);
        at += chunk;
        recorder.Watch();
    }
}

void CRobustDecoder::Settle(int64_t deadline) {
    m_merger.Add(m_troughRecorder.TakeClosed());
    m_merger.Add(m_peakRecorder.TakeClosed());
    // Of the plain decoder only the loaded blocks: on the raw samples it stumbles over hiss that
    // the conditioned pair reads through, and its read errors and bad syncs would add error rows
    // that the mode had not shown before. Its blocks still join their groups, so that a failure
    // of the other two on the same stretch is dropped; its notes are the pair's again.
    std::vector<DecodeEpisode> plain = m_plainRecorder.TakeClosed();
    std::erase_if(plain,
                  [](const DecodeEpisode& e) { return e.kind != DecodeEpisode::Kind::kLoaded; });
    m_merger.Add(std::move(plain));
    const int64_t frontier = std::min(
        {m_troughRecorder.Frontier(), m_peakRecorder.Frontier(), m_plainRecorder.Frontier()});
    const int32_t openBytes = std::max(
        {m_troughRecorder.OpenBytes(), m_peakRecorder.OpenBytes(), m_plainRecorder.OpenBytes()});
    m_merger.Settle(frontier, deadline, openBytes);
}

int64_t CRobustDecoder::SettledBefore() const {
    return std::min({m_troughRecorder.Frontier(), m_peakRecorder.Frontier(),
                     m_plainRecorder.Frontier(), m_merger.EarliestPending()});
}

std::optional<std::pair<int64_t, int64_t>> CRobustDecoder::ReportedSpan() const {
    const DecodeEpisode* episode = m_merger.Replaying();
    if (episode == nullptr) {
        return std::nullopt;
    }
    return std::make_pair(episode->start, episode->end);
}
