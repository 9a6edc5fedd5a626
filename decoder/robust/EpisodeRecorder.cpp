#include "decoder/robust/EpisodeRecorder.h"

#include <algorithm>
#include <utility>

#include "decoder/core/TapeDecoder.h"
#include "decoder/robust/BlockRepair.h"

void CEpisodeRecorder::Report(const DecoderRecord& record) {
    if (m_watching) {
        // Something new began before the watch ended: judge by what has been seen.
        EndWatch(m_evidence.BitsWentOn(m_pDecoder->Recognizer(), m_pDecoder->SampleTime())
                     .value_or(false));
    }
    if (!m_open) {
        if (m_pDecoder != nullptr && m_pDecoder->IsReadingBlock()) {
            Open(DecodeEpisode::Kind::kData);
            m_evidence.TakeSync(m_pDecoder->Recognizer());
        } else if (std::holds_alternative<record::BadSync>(record)) {
            Open(DecodeEpisode::Kind::kBadSync);
        } else {
            Open(DecodeEpisode::Kind::kNote);
            m_open->start = Now();
            m_open->records.push_back(record);
            Close();
            return;
        }
    }
    m_open->records.push_back(record);
    if (std::holds_alternative<record::BlockLoaded>(record)) {
        OnBlock();
    } else if (std::holds_alternative<record::ReadError>(record)) {
        OnReadError();
    } else if (std::holds_alternative<record::BadSync>(record)) {
        Close();
    }
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

void CEpisodeRecorder::OnBlock() {
    const auto& loaded = std::get<record::BlockLoaded>(m_open->records.back());
    m_open->kind = DecodeEpisode::Kind::kLoaded;
    m_open->length = static_cast<int32_t>(std::get<RomBlock>(loaded.item.body).bytes.size());
    m_dropAtClose = IsMisreadRun();
    if (m_dropAtClose || m_pDecoder == nullptr) {
        Close();
        return;
    }
    m_evidence.TakeEnd(m_pDecoder->Recognizer());
    m_blockEnd = Now();
    m_watching = true;
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
        const auto& loaded = std::get<record::BlockLoaded>(m_open->records.back());
        m_pSequence->Remember(m_blockEnd, std::get<RomBlock>(loaded.item.body).bytes);
    }
    Close();
}

void CEpisodeRecorder::OnReadError() {
    const auto error = std::get<record::ReadError>(m_open->records.back());
    if (m_open->kind == DecodeEpisode::Kind::kData && Mend(error)) {
        Close();
        return;
    }
    m_open->kind = DecodeEpisode::Kind::kReadError;
    m_open->length = error.bytesRead;
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

// Turns the read error being recorded (the open episode's last record) into the block it frayed
// from, if it can be mended.
bool CEpisodeRecorder::Mend(const record::ReadError& error) {
    if (m_pDecoder == nullptr || m_pDecoder->Recognizer().Bytes().Size() == 0 || IsMisreadRun()) {
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
        m_open->kind = DecodeEpisode::Kind::kLoaded;
        m_open->length = static_cast<int32_t>(mended->bytes.size());
        m_open->mended = true;
        if (m_pSequence != nullptr) {
            m_pSequence->Remember(Now(), mended->bytes);
        }
        record::BlockLoaded loaded;
        loaded.item.body = RomBlock{std::move(mended->bytes)};
        loaded.item.span = error.span;
        loaded.item.verdict =
            BlockVerdict{BlockVerdict::Outcome::Mended, mended->restoredBits, mended->strayBits};
        m_open->records.back() = std::move(loaded);
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
    m_dropAtClose = false;
}

void CEpisodeRecorder::Close() {
    m_open->end = Now();
    if (!m_dropAtClose) {
        m_closed.push_back(std::move(*m_open));
    }
    m_open.reset();
    m_watching = false;
    m_dropAtClose = false;
}
