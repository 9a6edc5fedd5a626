#include "recording/RecordingDecode.h"

#include "decoder/SampleDecoder.h"

namespace {
DecoderSettings ForRecording(DecoderSettings settings) {
    settings.dump = false;
    settings.fromFile = false;
    return settings;
}
}  // namespace

CRecordingDecode::CRecordingDecode(CDecoderOwner* owner, const DecoderSettings& settings)
    : m_pDecoder(CSampleDecoder::Create(owner, ForRecording(settings))), m_feeder(*m_pDecoder) {}

CRecordingDecode::~CRecordingDecode() = default;

std::optional<std::string> CRecordingDecode::Open(const std::string& path) {
    return m_source.Open(path);
}

void CRecordingDecode::SetBufferHook(BufferHook hook) {
    m_feeder.SetBufferHook(std::move(hook));
}

bool CRecordingDecode::DecodeOneBuffer() {
    while (!m_ended) {
        const int64_t before = m_feeder.SamplesDecoded();
        const int32_t got = m_source.Read(m_feeder.Space(), m_feeder.SpaceCount());
        if (got < 0) {
            m_readError = m_source.ErrorText();
        }
        if (got <= 0) {
            m_feeder.Finish();
            m_ended = true;
            return false;
        }
        m_feeder.Commit(got);
        if (m_feeder.SamplesDecoded() != before) {
            return true;
        }
    }
    return false;
}

bool CRecordingDecode::DecodeFor(std::chrono::steady_clock::duration budget) {
    const auto until = std::chrono::steady_clock::now() + budget;
    while (DecodeOneBuffer() && std::chrono::steady_clock::now() < until) {
    }
    return !m_ended;
}

void CRecordingDecode::DecodeToEnd() {
    while (DecodeOneBuffer()) {
    }
}

int32_t CRecordingDecode::Permille() const {
    if (m_ended) {
        return 1000;
    }
    const int64_t total = m_source.Total();
    if (total <= 0) {
        return 0;
    }
    return static_cast<int32_t>(std::min<int64_t>(m_source.Done(), total) * 1000 / total);
}
