#include "recording/RecordingDecode.h"

#include "decoder/SampleDecoder.h"
#include "decoder/dump/CaptureRate.h"

CRecordingDecode::CRecordingDecode(CDecoderOwner* owner, const DecoderSettings& settings)
    : m_pOwner(owner), m_settings(settings) {}

CRecordingDecode::~CRecordingDecode() = default;

std::optional<std::string> CRecordingDecode::Open(const std::string& path) {
    if (m_settings.mode == DecoderMode::Archive) {
        m_source.KeepOwnRate();
    }
    if (auto failure = m_source.Open(path)) {
        return failure;
    }
    const int32_t rate =
        m_settings.mode == DecoderMode::Archive ? m_source.SampleRate() : kCaptureRate;
    m_pDecoder = CSampleDecoder::Create(m_pOwner, m_settings, rate);
    m_pFeeder = std::make_unique<CBufferFeeder>(*m_pDecoder);
    m_pFeeder->SetBufferHook(m_bufferHook);
    return std::nullopt;
}

void CRecordingDecode::SetBufferHook(BufferHook hook) {
    m_bufferHook = std::move(hook);
    if (m_pFeeder) {
        m_pFeeder->SetBufferHook(m_bufferHook);
    }
}

bool CRecordingDecode::DecodeOneBuffer() {
    while (!m_ended && m_pFeeder) {
        const int64_t before = m_pFeeder->SamplesDecoded();
        const int32_t got = m_source.Read(m_pFeeder->Space(), m_pFeeder->SpaceCount());
        if (got < 0) {
            m_readError = m_source.ErrorText();
        }
        if (got <= 0) {
            m_pFeeder->Finish();
            m_ended = true;
            return false;
        }
        m_pFeeder->Commit(got);
        if (m_pFeeder->SamplesDecoded() != before) {
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
