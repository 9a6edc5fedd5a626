#include "decoder/EpisodeRecorder.h"

#include <utility>

#include "decoder/TapeDecoder.h"

namespace {

OwnerCall Call(OwnerCall::Kind kind) {
    OwnerCall call;
    call.kind = kind;
    return call;
}

OwnerCall TextCall(OwnerCall::Kind kind, const char* text) {
    OwnerCall call = Call(kind);
    call.text = text;
    return call;
}

}  // namespace

void CEpisodeRecorder::SetStatusText(const char* text) {
    Record(TextCall(OwnerCall::Kind::kStatus, text));
}

void CEpisodeRecorder::AppendLog(const char* text) {
    Record(TextCall(OwnerCall::Kind::kLog, text));
}

void CEpisodeRecorder::AddBlock(int32_t length, const uint8_t* bytes) {
    OwnerCall call = Call(OwnerCall::Kind::kBlock);
    call.bytes.assign(bytes, bytes + length);
    Record(std::move(call));
}

void CEpisodeRecorder::AddErrorEntry(int32_t bytesRead, int32_t firstByte) {
    OwnerCall call = Call(OwnerCall::Kind::kErrorEntry);
    call.bytesRead = bytesRead;
    call.firstByte = firstByte;
    Record(std::move(call));
}

void CEpisodeRecorder::AddErrorSnapshot(const SignalSnapshot& snapshot) {
    OwnerCall call = Call(OwnerCall::Kind::kErrorSnapshot);
    call.snapshot = std::make_shared<const SignalSnapshot>(snapshot);
    Record(std::move(call));
}

void CEpisodeRecorder::RefreshSignal() {
    Record(Call(OwnerCall::Kind::kRefresh));
}

void CEpisodeRecorder::DebugOutput(const char* text) {
    Record(TextCall(OwnerCall::Kind::kDebug, text));
}

std::vector<DecodeEpisode> CEpisodeRecorder::TakeClosed() {
    return std::exchange(m_closed, {});
}

int64_t CEpisodeRecorder::Frontier() const {
    return m_open ? m_open->start : Now() - kSyncLead;
}

int32_t CEpisodeRecorder::OpenBytes() const {
    return m_pDecoder != nullptr && m_pDecoder->IsReadingBlock()
               ? m_pDecoder->Recognizer().Bytes().Size()
               : 0;
}

int64_t CEpisodeRecorder::Now() const {
    return (m_pDecoder != nullptr ? m_pDecoder->SampleTime() : 0) + m_clockOffset;
}

void CEpisodeRecorder::Record(OwnerCall call) {
    const OwnerCall::Kind kind = call.kind;
    if (!m_open) {
        if (m_pDecoder != nullptr && m_pDecoder->IsReadingBlock()) {
            Open(DecodeEpisode::Kind::kData);
        } else if (kind == OwnerCall::Kind::kErrorSnapshot) {
            Open(DecodeEpisode::Kind::kBadSync);
        } else {
            Open(DecodeEpisode::Kind::kNote);
            m_open->start = Now();
            m_open->calls.push_back(std::move(call));
            Close();
            return;
        }
    }
    m_open->calls.push_back(std::move(call));
    switch (kind) {
        case OwnerCall::Kind::kBlock:
            m_open->kind = DecodeEpisode::Kind::kLoaded;
            m_open->length = static_cast<int32_t>(m_open->calls.back().bytes.size());
            m_closeAtDebugLine = true;
            break;
        case OwnerCall::Kind::kErrorEntry:
            m_open->kind = DecodeEpisode::Kind::kReadError;
            m_open->length = m_open->calls.back().bytesRead;
            Close();
            break;
        case OwnerCall::Kind::kDebug:
            if (m_closeAtDebugLine) {
                Close();
            }
            break;
        case OwnerCall::Kind::kStatus:
            if (m_open->kind == DecodeEpisode::Kind::kBadSync) {
                Close();
            }
            break;
        default:
            break;
    }
}

void CEpisodeRecorder::Open(DecodeEpisode::Kind kind) {
    m_open.emplace();
    m_open->kind = kind;
    m_open->source = m_source;
    m_open->start = Now() - kSyncLead;
    m_closeAtDebugLine = false;
}

void CEpisodeRecorder::Close() {
    m_open->end = Now();
    m_closed.push_back(std::move(*m_open));
    m_open.reset();
    m_closeAtDebugLine = false;
}
