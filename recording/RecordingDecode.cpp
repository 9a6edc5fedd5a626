#include "recording/RecordingDecode.h"

#include <algorithm>

#include "decoder/SampleDecoder.h"
#include "decoder/dump/CaptureRate.h"
#include "recording/AudioFileTypes.h"
#include "recording/RawFileSource.h"

namespace {
// Inputs held open from the start to their turn; regular files beyond these are opened again.
constexpr size_t kMaxHeldInputs = 256;

// The rate at which an opened input delivers its samples.
int32_t RateOf(const CSampleSource& source) {
    const auto* audio = dynamic_cast<const CAudioFileSource*>(&source);
    return audio != nullptr ? audio->OutputRate() : kCaptureRate;
}
}  // namespace

bool CRecordingDecode::DecodesAtOwnRate(const DecoderSettings& settings) {
    return settings.mode == DecoderMode::Archive;
}

CRecordingDecode::CRecordingDecode(CDecoderOwner* owner, const DecoderSettings& settings,
                                   ChannelChoice channel)
    : m_pOwner(owner), m_settings(settings), m_channel(channel) {}

CRecordingDecode::~CRecordingDecode() = default;

std::optional<std::string> CRecordingDecode::Open(const std::string& path) {
    const std::vector<InputFailure> failures = OpenAll({RecordingInput{path, false}});
    if (!failures.empty()) {
        return failures.front().reason;
    }
    return std::nullopt;
}

std::unique_ptr<CSampleSource> CRecordingDecode::OpenSource(const RecordingInput& input,
                                                            std::string& reason) const {
    if (input.raw) {
        auto source = std::make_unique<CRawFileSource>();
        if (auto failure = source->Open(input.path)) {
            reason = *failure;
            return nullptr;
        }
        return source;
    }
    auto source = std::make_unique<CAudioFileSource>(m_channel);
    if (DecodesAtOwnRate(m_settings)) {
        source->KeepOwnRate();
    }
    if (auto failure = source->Open(input.path)) {
        reason = *failure;
        return nullptr;
    }
    return source;
}

std::vector<InputFailure> CRecordingDecode::OpenAll(const std::vector<RecordingInput>& inputs) {
    std::vector<InputFailure> failures;
    std::optional<int32_t> rate;
    for (const RecordingInput& input : inputs) {
        std::string reason;
        auto source = OpenSource(input, reason);
        if (source == nullptr) {
            failures.push_back({input.path, reason});
            continue;
        }
        const int32_t own = RateOf(*source);
        if (DecodesAtOwnRate(m_settings) && rate && *rate != own) {
            failures.push_back(
                {input.path, "archive mode decodes inputs of one sample rate; this one has " +
                                 std::to_string(own) + "/s, the first " + std::to_string(*rate) +
                                 "/s"});
        }
        rate = rate.value_or(own);
        if (m_inputs.size() >= kMaxHeldInputs && input.path != "-" && IsRegularFile(input.path)) {
            source.reset();
        }
        m_inputs.push_back({input, std::move(source)});
    }
    if (!failures.empty()) {
        m_inputs.clear();
        return failures;
    }
    m_decoderRate = rate.value_or(kCaptureRate);
    m_pDecoder = CSampleDecoder::Create(m_pOwner, m_settings, m_decoderRate);
    m_pFeeder = std::make_unique<CBufferFeeder>(*m_pDecoder);
    m_pFeeder->SetBufferHook(m_bufferHook);
    return failures;
}

void CRecordingDecode::SetBufferHook(BufferHook hook) {
    m_bufferHook = std::move(hook);
    if (m_pFeeder) {
        m_pFeeder->SetBufferHook(m_bufferHook);
    }
}

bool CRecordingDecode::ReadCurrent() {
    if (m_stopRequest && m_stopRequest()) {
        Stop();
        return false;
    }
    Input& input = m_inputs[m_current];
    if (input.source == nullptr) {
        std::string reason;
        input.source = OpenSource(input.recording, reason);
        if (input.source == nullptr) {
            EndCurrent(reason, std::nullopt);
            return false;
        }
    }
    const int32_t got = input.source->Read(m_pFeeder->Space(), m_pFeeder->SpaceCount());
    if (got <= 0) {
        EndCurrent(std::nullopt,
                   got < 0 ? std::optional<std::string>(input.source->ErrorText()) : std::nullopt);
        return false;
    }
    m_currentSamples += got;
    m_pFeeder->Commit(got);
    return true;
}

void CRecordingDecode::EndCurrent(std::optional<std::string> openFailure,
                                  std::optional<std::string> readFailure) {
    Input& input = m_inputs[m_current];
    InputEnd end;
    end.index = m_current;
    end.path = input.recording.path;
    end.samples = m_currentSamples;
    if (input.source != nullptr) {
        end.notes = input.source->Notes();
        end.truncated = input.source->Truncated();
        end.damaged = input.source->Damaged();
    }
    end.openFailure = std::move(openFailure);
    end.readFailure = std::move(readFailure);
    if (!m_readError) {
        m_readError = end.readFailure ? end.readFailure : end.openFailure;
    }
    m_truncated = m_truncated || end.truncated;
    input.source.reset();
    ++m_current;
    m_currentSamples = 0;
    if (m_inputEndHook) {
        m_inputEndHook(end);
    }
}

void CRecordingDecode::EndSignal() {
    if (!m_ended && m_pFeeder) {
        m_pFeeder->Finish();
    }
    m_ended = true;
}

bool CRecordingDecode::DecodeOneBuffer() {
    while (!m_ended && m_pFeeder) {
        if (m_current >= m_inputs.size()) {
            EndSignal();
            return false;
        }
        const int64_t before = m_pFeeder->SamplesDecoded();
        if (ReadCurrent() && m_pFeeder->SamplesDecoded() != before) {
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

void CRecordingDecode::Stop() {
    if (m_ended) {
        return;
    }
    if (m_current < m_inputs.size()) {
        EndCurrent(std::nullopt, std::nullopt);
    }
    m_current = m_inputs.size();
    EndSignal();
}

double CRecordingDecode::Progress() const {
    if (m_ended) {
        return 1.0;
    }
    if (m_inputs.empty() || m_current >= m_inputs.size()) {
        return 0.0;
    }
    double within = 0.0;
    if (const CSampleSource* source = m_inputs[m_current].source.get()) {
        const int64_t total = source->Total();
        within = total > 0 ? static_cast<double>(std::min(source->Done(), total)) /
                                 static_cast<double>(total)
                           : 0.0;
    }
    return (static_cast<double>(m_current) + within) / static_cast<double>(m_inputs.size());
}

int32_t CRecordingDecode::Permille() const {
    return static_cast<int32_t>(Progress() * 1000.0);
}

bool CRecordingDecode::Truncated() const {
    const bool current = m_current < m_inputs.size() && m_inputs[m_current].source != nullptr &&
                         m_inputs[m_current].source->Truncated();
    return m_truncated || current;
}
