#include "decoder/RobustDecoder.h"

#include <algorithm>

namespace {

bool SameTuning(const DecoderSettings& a, const DecoderSettings& b) {
    return a.leaderCount == b.leaderCount && a.data0Min == b.data0Min && a.data0Max == b.data0Max &&
           a.data1Min == b.data1Min && a.data1Max == b.data1Max && a.leaderMin == b.leaderMin &&
           a.leaderMax == b.leaderMax && a.syncMin == b.syncMin && a.syncMax == b.syncMax &&
           a.middleVals == b.middleVals && a.externVals == b.externVals;
}

// The user's pulse limits and calibration switches with the robust mode's wave processing.
void Tune(DecoderSettings& inner, const DecoderSettings& user, bool maxFirst) {
    DecoderSettings tuned = user;
    tuned.maxFirst = maxFirst;
    tuned.filterPercent = CRobustDecoder::kFilterPercent;
    tuned.delay = CRobustDecoder::kDelay;
    tuned.decayPercent = CRobustDecoder::kDecayPercent;
    tuned.dump = false;
    tuned.fromFile = false;
    inner = tuned;
}

}  // namespace

CRobustDecoder::CRobustDecoder(CDecoderOwner* owner) : m_pOwner(owner) {
    m_settings.robust = true;
    m_troughRecorder.Attach(&m_troughDecoder);
    m_peakRecorder.Attach(&m_peakDecoder);
    Tune(m_troughDecoder.settings, m_settings, false);
    Tune(m_peakDecoder.settings, m_settings, true);
    m_applied = m_settings;
}

void CRobustDecoder::ProcessBuffer(const uint8_t* samples, int32_t count) {
    if (samples == nullptr || count < 0) {
        count = 0;
    }
    ApplySettings();
    m_bufferStart = m_troughDecoder.SampleTime();
    if (m_settings.dump && !m_settings.fromFile) {
        m_bufferDump.Dump(m_settings, samples, count);
    }
    if (m_settings.fromFile) {
        m_bufferDump.Replay(m_settings,
                            [this](const uint8_t* chunk, int32_t size) { Decode(chunk, size); });
    } else {
        Decode(samples, count);
    }
    Settle(m_bufferStart);
}

int CRobustDecoder::Calibrate() {
    ApplySettings();
    const int troughReading = m_troughDecoder.Calibrate();
    const int peakReading = m_peakDecoder.Calibrate();
    Settle(m_bufferStart);
    return m_peakDecoder.IsReadingBlock() && !m_troughDecoder.IsReadingBlock() ? peakReading
                                                                               : troughReading;
}

bool CRobustDecoder::IsReadingBlock() const {
    return m_troughDecoder.IsReadingBlock() || m_peakDecoder.IsReadingBlock() ||
           m_merger.HasPending();
}

void CRobustDecoder::CaptureSnapshot(SignalSnapshot& snapshot) const {
    m_troughDecoder.CaptureSnapshot(snapshot);
}

const CTapeDecoder& CRobustDecoder::Inner(int32_t index) const {
    return index == 0 ? m_troughDecoder : m_peakDecoder;
}

void CRobustDecoder::Decode(const uint8_t* samples, int32_t count) {
    if (count <= 0) {
        return;
    }
    m_conditioned.resize(std::max(m_conditioned.size(), static_cast<size_t>(count)));
    m_conditioner.Process(samples, count, m_conditioned.data());
    m_troughDecoder.ProcessBuffer(m_conditioned.data(), count);
    m_peakDecoder.ProcessBuffer(m_conditioned.data(), count);
}

// Only a change made by the user is handed on: the decoders move their own limits while a block
// loads (calibration) and must not have them put back between buffers.
void CRobustDecoder::ApplySettings() {
    if (SameTuning(m_settings, m_applied)) {
        return;
    }
    Tune(m_troughDecoder.settings, m_settings, false);
    Tune(m_peakDecoder.settings, m_settings, true);
    m_applied = m_settings;
}

void CRobustDecoder::Settle(int64_t deadline) {
    m_merger.Add(m_troughRecorder.TakeClosed());
    m_merger.Add(m_peakRecorder.TakeClosed());
    const int64_t frontier = std::min(m_troughRecorder.Frontier(), m_peakRecorder.Frontier());
    const int32_t openBytes = std::max(m_troughRecorder.OpenBytes(), m_peakRecorder.OpenBytes());
    m_merger.Settle(frontier, deadline, openBytes);
}
