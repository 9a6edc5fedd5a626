#include "decoder/robust/EpisodeRecorder.h"

#include <algorithm>
#include <utility>

#include "decoder/core/TapeDecoder.h"
#include "decoder/core/TextFormat.h"
#include "decoder/robust/BlockRepair.h"

namespace {

OwnerCall Call(OwnerCall::Kind kind) {
    OwnerCall call;
    call.kind = kind;
    return call;
}

OwnerCall TextCall(OwnerCall::Kind kind, const std::string& text) {
    OwnerCall call = Call(kind);
    call.text = text;
    return call;
}

// The words of a block that was mended, for the console log.
std::string MendedText(const CBlockRepair::Mended& mended, int32_t length) {
    if (mended.restoredBits > 0 && mended.strayBits > 0) {
        return FormatText(
            "Recovered %d leading bit(s) and dropped %d stray bit(s) of a %d bytes "
            "block",
            mended.restoredBits, mended.strayBits, length);
    }
    if (mended.restoredBits > 0) {
        return FormatText("Recovered %d leading bit(s) of a %d bytes block", mended.restoredBits,
                          length);
    }
    return FormatText("Dropped %d stray bit(s) after a %d bytes block", mended.strayBits, length);
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
    if (m_watching && !m_closeAtDebugLine) {
        // Something new began before the watch ended: judge by what has been seen.
        EndWatch(m_evidence.BitsWentOn(m_pDecoder->Recognizer(), m_pDecoder->SampleTime())
                     .value_or(false));
    }
    if (!m_open) {
        if (m_pDecoder != nullptr && m_pDecoder->IsReadingBlock()) {
            Open(DecodeEpisode::Kind::kData);
            m_evidence.TakeSync(m_pDecoder->Recognizer());
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
            OnBlock();
            break;
        case OwnerCall::Kind::kErrorSnapshot:
            if (m_open->kind == DecodeEpisode::Kind::kData && !m_errorCallsFrom) {
                m_errorCallsFrom = m_open->calls.size() - 1;
            }
            break;
        case OwnerCall::Kind::kErrorEntry:
            OnErrorEntry();
            break;
        case OwnerCall::Kind::kDebug:
            if (m_closeAtDebugLine && m_watching) {
                m_closeAtDebugLine = false;
            } else if (m_closeAtDebugLine) {
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

void CEpisodeRecorder::OnBlock() {
    const std::vector<uint8_t>& bytes = m_open->calls.back().bytes;
    m_open->kind = DecodeEpisode::Kind::kLoaded;
    m_open->length = static_cast<int32_t>(bytes.size());
    m_blockCall = m_open->calls.size() - 1;
    m_closeAtDebugLine = true;
    m_dropAtClose = IsMisreadRun();
    if (!m_dropAtClose && m_pDecoder != nullptr) {
        m_evidence.TakeEnd(m_pDecoder->Recognizer());
        m_blockEnd = Now();
        m_watching = true;
    }
}

void CEpisodeRecorder::Watch() {
    if (!m_watching) {
        return;
    }
    const auto wentOn = m_evidence.BitsWentOn(m_pDecoder->Recognizer(), m_pDecoder->SampleTime());
    if (wentOn) {
        EndWatch(*wentOn);
    }
}

// Closes the loaded block being watched: dropped when its bits went on, else it joins the
// sequence of blocks.
void CEpisodeRecorder::EndWatch(bool brokenOff) {
    m_watching = false;
    m_dropAtClose = brokenOff;
    if (!brokenOff && m_pSequence != nullptr) {
        m_pSequence->Remember(m_blockEnd, m_open->calls[m_blockCall].bytes);
    }
    Close();
}

void CEpisodeRecorder::OnErrorEntry() {
    if (m_open->kind == DecodeEpisode::Kind::kData && Mend()) {
        Close();
        return;
    }
    m_open->kind = DecodeEpisode::Kind::kReadError;
    m_open->length = m_open->calls.back().bytesRead;
    Close();
}

// A block whose bits are too long for the pilot before it was read from inside another block,
// from a sync found in its data. A run of one byte value passes the checksum whatever its origin
// (an even count of equal bytes XORs to zero), so its bits must also be of one length each:
// where it came from decides, not its bytes.
bool CEpisodeRecorder::IsMisreadRun() const {
    if (m_pDecoder == nullptr) {
        return false;
    }
    const CBlockBuffer& read = m_pDecoder->Recognizer().Bytes();
    const uint8_t* first = read.Data();
    const bool oneValue =
        std::all_of(first, first + read.Size(), [first](uint8_t byte) { return byte == first[0]; });
    return oneValue ? !m_evidence.BitsHaveRomTiming(m_pDecoder->Recognizer(), read)
                    : !m_evidence.LedByPilot(m_pDecoder->Recognizer(), read);
}

// Turns the read error being recorded into the block it frayed from, if it can be mended.
bool CEpisodeRecorder::Mend() {
    if (m_pDecoder == nullptr || !m_errorCallsFrom ||
        m_pDecoder->Recognizer().Bytes().Size() == 0 || IsMisreadRun()) {
        return false;
    }
    const CBlockBuffer& read = m_pDecoder->Recognizer().Bytes();
    std::vector<CBlockSequence::Expectation> candidates;
    if (m_pSequence != nullptr) {
        if (const auto announced = m_pSequence->AnnouncedAt(m_open->start)) {
            candidates.push_back(*announced);
        }
    }
    candidates.push_back({CBlockSequence::kHeaderLength, 0x00, true});
    for (const CBlockSequence::Expectation& expected : candidates) {
        auto mended = CBlockRepair::Mend(read, expected, m_evidence);
        if (!mended) {
            continue;
        }
        const auto length = static_cast<int32_t>(mended->bytes.size());
        m_open->calls.resize(*m_errorCallsFrom);
        m_open->kind = DecodeEpisode::Kind::kLoaded;
        m_open->length = length;
        m_open->mended = true;
        if (m_pSequence != nullptr) {
            m_pSequence->Remember(Now(), mended->bytes);
        }
        OwnerCall block = Call(OwnerCall::Kind::kBlock);
        block.bytes = std::move(mended->bytes);
        m_open->calls.push_back(std::move(block));
        m_open->calls.push_back(TextCall(OwnerCall::Kind::kLog, MendedText(*mended, length)));
        m_open->calls.push_back(TextCall(OwnerCall::Kind::kStatus,
                                         FormatText("Load sucessful for %d bytes block", length)));
        m_open->calls.push_back(
            TextCall(OwnerCall::Kind::kDebug, FormatText("file complete, %d bytes\n", length)));
        return true;
    }
    return false;
}

void CEpisodeRecorder::Open(DecodeEpisode::Kind kind) {
    m_open.emplace();
    m_open->kind = kind;
    m_open->source = m_source;
    m_open->start = Now() - kSyncLead;
    m_watching = false;
    m_closeAtDebugLine = false;
    m_dropAtClose = false;
    m_errorCallsFrom.reset();
}

void CEpisodeRecorder::Close() {
    m_open->end = Now();
    if (!m_dropAtClose) {
        m_closed.push_back(std::move(*m_open));
    }
    m_open.reset();
    m_watching = false;
    m_closeAtDebugLine = false;
    m_dropAtClose = false;
    m_errorCallsFrom.reset();
}
