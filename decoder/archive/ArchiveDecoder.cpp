#include "decoder/archive/ArchiveDecoder.h"

#include <algorithm>
#include <limits>

namespace {
constexpr double kRobustTStatesPerSample =
    static_cast<double>(spectrum::kClockHz) / CRateDecimator::kOutputRate;
}  // namespace

CArchiveDecoder::CArchiveDecoder(CRecordSink* owner, int32_t sampleRate,
                                 const DecoderSettings& settings)
    : m_owner(owner),
      m_settings(InMode(settings, DecoderMode::Archive)),
      m_decimator(sampleRate),
      m_tracker(sampleRate),
      m_queue(owner, sampleRate) {
    m_inbox.Follow(&m_robust);
    m_robustBuffer.reserve(CRateDecimator::kOutputRate * 2);
}

void CArchiveDecoder::Reconfigure(const DecoderSettings& settings) {
    m_settings = InMode(settings, DecoderMode::Archive);
    m_robust.Reconfigure(m_settings);
}

void CArchiveDecoder::ProcessBuffer(const uint8_t* samples, int32_t count) {
    if (samples == nullptr || count <= 0) {
        return;
    }
    m_tracker.Feed(samples, count, m_events);
    TakeEvents();
    if (m_tracker.InSilence() && m_settledT == 0.0) {
        const double silence =
            m_silenceCarry + m_tracker.SamplesSinceEdge() * m_tracker.TStatesPerSample();
        if (silence >= kSettleTStates) {
            m_queue.AddSilence(silence);
            m_settledT = silence;
            m_silenceCarry = 0.0;
        }
    }
    FeedRobust(samples, count);
    // Pieces come when the stretch they lie in ends.
    m_queue.Pump(RomSettledT(), false,
                 m_stretch.empty() ? std::numeric_limits<double>::infinity() : m_stretchStartT);
}

bool CArchiveDecoder::IsReadingBlock() const {
    if (m_ended) {
        return false;
    }
    return m_queue.HasPending() || !m_stretch.empty() || m_robust.IsReadingBlock();
}

void CArchiveDecoder::EndSignal() {
    if (m_ended) {
        return;
    }
    if (!m_robustBuffer.empty()) {
        RunRobustBuffer(static_cast<int32_t>(m_robustBuffer.size()));
    }
    PlayClosingWave();
    m_tracker.Finish(m_events);
    TakeEvents();
    CloseStretch(true, m_tracker.Look());
    m_queue.AddSilence(
        m_silenceCarry +
        (m_tracker.InSilence()
             ? m_tracker.SamplesSinceEdge() * m_tracker.TStatesPerSample() - m_settledT
             : 0.0));
    m_queue.Pump(RomSettledT(), true);
    m_ended = true;
}

void CArchiveDecoder::CaptureSnapshot(SignalSnapshot& snapshot) const {
    m_robust.CaptureSnapshot(snapshot);
}

void CArchiveDecoder::TakeEvents() {
    for (const PulseEvent& event : m_events) {
        switch (event.kind) {
            case PulseEvent::Kind::Pulse:
                m_stretch.push_back(event.tStates);
                m_edgeT += event.tStates;
                if (m_stretch.size() >= kMaxStretchPulses) {
                    CloseStretch(false);
                    m_stretchStartT = m_edgeT;
                }
                break;
            case PulseEvent::Kind::SilenceBegins:
                CloseStretch(true, event.look);
                break;
            case PulseEvent::Kind::SilenceEnds:
                m_queue.AddSilence(m_silenceCarry + event.tStates - m_settledT);
                m_silenceCarry = 0.0;
                m_settledT = 0.0;
                m_edgeT += event.tStates;
                m_stretchStartT = m_edgeT;
                break;
        }
    }
    m_events.clear();
}

void CArchiveDecoder::CloseStretch(bool endsInSilence, StretchLook look) {
    if (m_stretch.empty()) {
        return;
    }
    std::vector<ParsedPiece> pieces =
        CStretchParser::Parse(m_stretch, m_tracker.TStatesPerSample(), endsInSilence, look);
    if (pieces.empty()) {
        // No tape in it: it counts as silence.
        m_silenceCarry += m_edgeT - m_stretchStartT;
    }
    double at = m_stretchStartT;
    int32_t pulse = 0;
    for (size_t i = 0; i < pieces.size(); ++i) {
        for (; pulse < pieces[i].firstPulse; ++pulse) {
            at += m_stretch[static_cast<size_t>(pulse)];
        }
        const double start = at;
        for (; pulse < pieces[i].firstPulse + pieces[i].pulseCount &&
               pulse < static_cast<int32_t>(m_stretch.size());
             ++pulse) {
            at += m_stretch[static_cast<size_t>(pulse)];
        }
        m_queue.AddPiece(std::move(pieces[i]), start, at, endsInSilence && i + 1 == pieces.size());
    }
    m_stretch.clear();
}

void CArchiveDecoder::FeedRobust(const uint8_t* samples, int32_t count) {
    m_decimator.Feed(samples, count, m_robustBuffer);
    while (m_robustBuffer.size() >= static_cast<size_t>(CRateDecimator::kOutputRate)) {
        RunRobustBuffer(CRateDecimator::kOutputRate);
    }
}

// One buffer to the robust decoder, as the desktop program hands it one, with the indicator's
// calibration step after it.
void CArchiveDecoder::RunRobustBuffer(int32_t count) {
    m_robust.ProcessBuffer(m_robustBuffer.data(), count);
    m_reading = m_robust.Calibrate();
    m_robustBuffer.erase(m_robustBuffer.begin(), m_robustBuffer.begin() + count);
    for (CRomBlockInbox::HeldBlock& block : m_inbox.Take()) {
        const double syncT = static_cast<double>(block.start + CEpisodeRecorder::kSyncLead) *
                             kRobustTStatesPerSample;
        const double endT = static_cast<double>(block.end) * kRobustTStatesPerSample;
        if (block.failed) {
            m_queue.AddRomError(block.bytesRead, block.firstByte, syncT, endT,
                                std::move(block.news));
        } else {
            m_queue.AddRomBlock(std::move(block.bytes), syncT, endT, std::move(block.news));
        }
    }
}

// The closing wave of the command line's feeder, for the inner robust decoder only: a slow,
// quiet triangle that ends a block cut off right after its last bit.
void CArchiveDecoder::PlayClosingWave() {
    constexpr int32_t kLow = 112;
    constexpr int32_t kHigh = 144;
    int32_t level = 128;
    int32_t step = 1;
    for (int32_t played = 0; played < CRateDecimator::kOutputRate && m_robust.IsReadingBlock();
         played += 64) {
        for (int32_t i = 0; i < 64; ++i) {
            m_robustBuffer.push_back(static_cast<uint8_t>(level));
            if (level + step > kHigh || level + step < kLow) {
                step = -step;
            }
            level += step;
        }
        RunRobustBuffer(64);
    }
}

double CArchiveDecoder::RomSettledT() const {
    return static_cast<double>(m_robust.SettledBefore()) * kRobustTStatesPerSample;
}
