#include "decoder/archive/ArchiveQueue.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "decoder/core/RecordSink.h"
#include "model/BlockFacts.h"
#include "model/PulseRenderer.h"

namespace {
constexpr double kTStatesPerMs = spectrum::kClockHz / 1000.0;
constexpr size_t kRecentSpans = 16;
constexpr double kRomPilotPulse = spectrum::kPilotPulse;
constexpr double kRomZeroPulse = spectrum::kZeroPulse;

bool HasPause(const BlockBody& block) {
    return TrailingPause(block) != nullptr;
}

bool IsPause(const BlockBody& block) {
    return std::holds_alternative<Pause>(block);
}

bool IsTone(const BlockBody& block) {
    return std::holds_alternative<PureTone>(block);
}

// The bytes of a data block that has some; nullptr else.
const std::vector<uint8_t>* NonEmptyData(const BlockBody& block) {
    const std::vector<uint8_t>* bytes = DataBytes(block);
    return bytes != nullptr && !bytes->empty() ? bytes : nullptr;
}

bool XorsToZero(const std::vector<uint8_t>& bytes) {
    uint8_t sum = 0;
    for (const uint8_t byte : bytes) {
        sum = static_cast<uint8_t>(sum ^ byte);
    }
    return sum == 0;
}

// Only turbo blocks and pure data read at timing that is not the ROM's have a loader's own.
bool HasOwnTiming(const BlockBody& block, bool romTimed) {
    if (const auto* turbo = std::get_if<TurboBlock>(&block); turbo != nullptr && !romTimed) {
        return !CStretchParser::IsRomTiming(turbo->pilotPulse, turbo->zeroPulse, turbo->onePulse);
    }
    if (const auto* data = std::get_if<PureData>(&block)) {
        return !CStretchParser::IsRomTiming(kRomPilotPulse * data->zeroPulse / kRomZeroPulse,
                                            data->zeroPulse, data->onePulse);
    }
    return false;
}

// A run of one byte value between flag and checksum passes the checksum whatever its origin
// (a pilot read as data gives one): it tells nothing.
bool IsOneValueRun(const std::vector<uint8_t>& bytes) {
    return bytes.size() < 3 || std::all_of(bytes.begin() + 1, bytes.end() - 1,
                                           [&](uint8_t b) { return b == bytes[1]; });
}

// Data at a loader's own timing, read whole: a ROM decoders' block read there is a misreading of
// it.
bool IsOwnData(const BlockBody& block, bool romTimed) {
    const std::vector<uint8_t>* bytes = NonEmptyData(block);
    return bytes != nullptr && HasOwnTiming(block, romTimed) && XorsToZero(*bytes) &&
           !IsOneValueRun(*bytes);
}

// Data whose measured timing tells more than the ROM decoders' block of the same bytes: data at
// a loader's own timing, or a ROM-timed block whose leader is not the ROM's length (a TZX
// standard block would imply the ROM's pilot count). The ROM decoders' reading of the same bytes
// confirms them, a fill of one value too: only the leader is in question.
bool KeepsMeasuredTiming(const BlockBody& block, bool romTimed) {
    if (IsOwnData(block, romTimed)) {
        return true;
    }
    const auto* turbo = std::get_if<TurboBlock>(&block);
    if (turbo == nullptr || !romTimed || turbo->bytes.empty() || !XorsToZero(turbo->bytes)) {
        return false;
    }
    // Only the count tells: a block read short of its last bit is no better than theirs.
    TurboBlock withRomLeader = *turbo;
    withRomLeader.pilotCount = spectrum::RomPilotCount(turbo->bytes[0]);
    return std::holds_alternative<RomBlock>(RomIfReplaysAlike(std::move(withRomLeader))) &&
           std::holds_alternative<TurboBlock>(RomIfReplaysAlike(*turbo));
}

// Why data of this mode's own reading is no loaded block, if it is not: its checksum fails, or it
// is pure data at the ROM's timing (the ROM decoders could not load it, and where its bits begin
// is a guess without a sync) or of one byte value (a leader read as bits gives one).
BlockVerdict::Outcome OutcomeOf(const BlockBody& block, bool romTimed) {
    const std::vector<uint8_t>* bytes = NonEmptyData(block);
    if (bytes == nullptr) {
        return BlockVerdict::Outcome::Loaded;
    }
    if (!XorsToZero(*bytes)) {
        return BlockVerdict::Outcome::ChecksumFailed;
    }
    if (std::holds_alternative<PureData>(block) &&
        (!HasOwnTiming(block, romTimed) || IsOneValueRun(*bytes))) {
        return BlockVerdict::Outcome::Unconfirmed;
    }
    return BlockVerdict::Outcome::Loaded;
}

}  // namespace

void CArchiveQueue::AddPiece(ParsedPiece piece, double startT, double endT, bool lastOfStretch) {
    Item item;
    item.block = std::move(piece.block);
    item.romTimed = piece.romTimed;
    item.startT = startT;
    item.endT = endT;
    item.pauseOpen = lastOfStretch && HasPause(item.block);
    const double middle = item.Middle();
    const auto within = [middle](double from, double to) { return from <= middle && middle <= to; };
    for (const auto& [from, to] : m_romSpans) {
        if (within(from, to)) {
            return;
        }
    }
    // Whatever lies before this piece has no more silence to come.
    for (Item& other : m_items) {
        if (other.pauseOpen && other.startT < startT && !within(other.startT, other.endT)) {
            other.pauseOpen = false;
        }
    }
    if (!IsTone(item.block)) {
        DropErrorsWithin(item.startT, item.endT);
    }
    for (auto misread = m_items.begin(); misread != m_items.end();) {
        if (MisreadBy(*misread, item)) {
            Unshadow(misread);
            misread = m_items.begin();
        } else {
            ++misread;
        }
    }
    const auto rom = std::find_if(m_items.begin(), m_items.end(), [&](const Item& other) {
        return other.source == Source::RomDecoders && !other.errorOnly &&
               within(other.startT, other.endT);
    });
    if (rom != m_items.end()) {
        if (!KeepsMeasuredTiming(item.block, item.romTimed) ||
            *DataBytes(item.block) != *DataBytes(rom->block)) {
            rom->pauseOpen = item.pauseOpen;
            item.pauseOpen = false;
            item.shadowed = true;
        } else {
            // The ROM decoders loaded these bytes: their news stands, for this reading of them.
            item.news = std::move(rom->news);
            m_items.erase(rom);
        }
    }
    Insert(std::move(item));
}

void CArchiveQueue::AddSilence(double tStates) {
    double ms = std::round(tStates / kTStatesPerMs);
    // A ROM decoders' block may have been put in after the piece whose pause this is.
    auto open = std::find_if(m_items.rbegin(), m_items.rend(), [](const Item& item) {
        return item.pauseOpen && !IsPause(item.block);
    });
    if (open != m_items.rend()) {
        Item& last = *open;
        const double taken = std::min(ms, 65535.0);
        if (uint16_t* pause = TrailingPause(last.block)) {
            *pause = static_cast<uint16_t>(taken);
        }
        last.pauseOpen = false;
        ms -= taken;
    }
    // Silence after silence (hiss between them is silence too) grows the Pause still open.
    if (ms >= 1.0 && !m_items.empty() && IsPause(m_items.back().block) &&
        m_items.back().pauseOpen) {
        Pause& growing = std::get<Pause>(m_items.back().block);
        const double taken = std::min(ms, 65535.0 - growing.ms);
        growing.ms = static_cast<uint16_t>(growing.ms + taken);
        ms -= taken;
    }
    // A Pause of 0 would stop an emulator's tape: under a millisecond is no pause.
    while (ms >= 1.0) {
        Item pause;
        const auto length = static_cast<uint16_t>(std::min(ms, 65535.0));
        pause.block = Pause{length};
        ms -= length;
        pause.startT = pause.endT = m_items.empty() ? 0.0 : m_items.back().endT;
        pause.pauseOpen = true;
        m_items.push_back(std::move(pause));
    }
}

void CArchiveQueue::AddRomBlock(std::vector<uint8_t> bytes, double syncT, double endT,
                                std::optional<DecoderRecord> news) {
    if (bytes.empty()) {
        return;
    }
    const auto pilots = static_cast<uint16_t>(spectrum::RomPilotCount(bytes[0]));
    const double startT = LeaderStart(syncT, pilots);
    const auto inside = [&](const Item& item) {
        return item.source == Source::Archive && !IsPause(item.block) && startT <= item.Middle() &&
               item.Middle() <= endT;
    };
    // The same bytes read there at a loader's own timing: the same block, which keeps its timing
    // (and takes the news that they loaded, unless it was handed on already).
    if (const auto same = std::find_if(m_items.begin(), m_items.end(),
                                       [&](const Item& item) {
                                           return inside(item) &&
                                                  KeepsMeasuredTiming(item.block, item.romTimed) &&
                                                  *DataBytes(item.block) == bytes;
                                       });
        same != m_items.end()) {
        if (!same->news) {
            same->news = std::move(news);
        }
        return;
    }
    Item rom;
    rom.source = Source::RomDecoders;
    RomBlock& block = rom.block.emplace<RomBlock>(RomBlock{std::move(bytes), 0});
    rom.startT = startT;
    rom.endT = endT;
    rom.syncT = syncT;
    rom.news = std::move(news);
    if (std::any_of(m_items.begin(), m_items.end(),
                    [&](const Item& item) { return MisreadBy(rom, item); })) {
        return;
    }
    // The pieces this mode read there were this block, misread; the pause after the last of them
    // is the block's. When none has come yet, the silence still to come may be its pause.
    rom.pauseOpen = true;
    bool tookPause = false;
    for (const Item& item : m_items) {
        if (!inside(item)) {
            continue;
        }
        if (const uint16_t* pause = TrailingPause(item.block)) {
            block.pauseMs = *pause;
            rom.pauseOpen = item.pauseOpen;
            tookPause = true;
        } else if (!tookPause) {
            rom.pauseOpen = item.pauseOpen;
        }
    }
    std::erase_if(m_items, [&](const Item& item) {
        return item.errorOnly && startT <= item.Middle() && item.Middle() <= endT;
    });
    for (Item& item : m_items) {
        if (inside(item)) {
            item.shadowed = true;
            item.pauseOpen = false;
        }
    }
    Insert(std::move(rom));
}

// A ROM block's leader has `pilots` pulses before its sync, unless a silence or a block of tape
// ended later: what lies before that is another stretch of tape.
double CArchiveQueue::LeaderStart(double syncT, uint16_t pilots) const {
    double startT = syncT - pilots * kRomPilotPulse;
    for (const Item& item : m_items) {
        const double silenceEnd = item.endT + PauseAfter(item.block) * kTStatesPerMs;
        const bool block =
            item.source == Source::RomDecoders || IsOwnData(item.block, item.romTimed);
        if ((block || silenceEnd > item.endT) && silenceEnd < syncT) {
            startT = std::max(startT, silenceEnd);
        }
    }
    return startT;
}

void CArchiveQueue::AddRomError(int32_t bytesRead, int32_t firstByte, double syncT, double endT,
                                std::optional<DecoderRecord> news) {
    // Data, pulses or a recording of this mode's there tell more than the ROM decoders' failure.
    const bool keptThere = std::any_of(m_items.begin(), m_items.end(), [&](const Item& item) {
        return item.source == Source::Archive && !IsTone(item.block) && !IsPause(item.block) &&
               item.startT <= endT && syncT <= item.endT;
    });
    if (keptThere) {
        return;
    }
    Item error;
    error.source = Source::RomDecoders;
    error.errorOnly = true;
    error.bytesRead = bytesRead;
    error.firstByte = firstByte;
    error.startT = syncT;
    error.endT = endT;
    error.news = std::move(news);
    Insert(std::move(error));
}

bool CArchiveQueue::MisreadBy(const Item& rom, const Item& piece) {
    const std::vector<uint8_t>* ours = NonEmptyData(piece.block);
    const std::vector<uint8_t>* theirs = DataBytes(rom.block);
    if (rom.source != Source::RomDecoders || rom.errorOnly || piece.source != Source::Archive ||
        ours == nullptr || theirs == nullptr || !XorsToZero(*ours) || IsOneValueRun(*ours) ||
        *ours == *theirs || piece.endT < rom.syncT || piece.startT > rom.endT) {
        return false;
    }
    // Ours, and a run of one value after them: theirs read on into a tone or the next leader,
    // whose pulses are near their 1-bit (an even count of 0xFF passes the checksum).
    if (theirs->size() > ours->size() && std::equal(ours->begin(), ours->end(), theirs->begin())) {
        const uint8_t tail = (*theirs)[ours->size()];
        return std::all_of(theirs->begin() + static_cast<std::ptrdiff_t>(ours->size()),
                           theirs->end(), [tail](uint8_t byte) { return byte == tail; });
    }
    // Data at a loader's own timing from the start of theirs: a few bytes of it read at the ROM's.
    return IsOwnData(piece.block, piece.romTimed) && piece.startT < (rom.syncT + rom.endT) / 2.0;
}

void CArchiveQueue::Unshadow(std::deque<Item>::iterator rom) {
    const double from = rom->startT;
    const double to = rom->endT;
    const bool pauseOpen = rom->pauseOpen;
    m_items.erase(rom);
    Item* last = nullptr;
    for (Item& item : m_items) {
        if (item.shadowed && from <= item.Middle() && item.Middle() <= to) {
            item.shadowed = false;
            last = &item;
        }
    }
    // The silence still to come after the block is that of the last piece it shadowed.
    if (pauseOpen && last != nullptr) {
        last->pauseOpen = HasPause(last->block);
    }
}

void CArchiveQueue::DropErrorsWithin(double startT, double endT) {
    std::erase_if(m_items, [&](const Item& item) {
        return item.errorOnly && item.startT <= endT && startT <= item.endT;
    });
}

void CArchiveQueue::Insert(Item item) {
    auto at = std::find_if(m_items.rbegin(), m_items.rend(),
                           [&](const Item& other) { return other.startT <= item.startT; });
    m_items.insert(at.base(), std::move(item));
}

bool CArchiveQueue::HasPending() const {
    return !m_items.empty() && !(m_items.size() == 1 && IsPause(m_items.front().block));
}

void CArchiveQueue::Pump(double romSettledT, bool final, double parsedT) {
    while (!m_items.empty()) {
        Item& head = m_items.front();
        if (!final && head.pauseOpen) {
            return;
        }
        if (!final && head.source == Source::Archive && head.endT >= romSettledT) {
            return;
        }
        // A read error within a stretch still being gathered: this mode may keep data there.
        if (!final && head.errorOnly && head.endT >= parsedT) {
            return;
        }
        if (!head.shadowed) {
            Emit(head);
        }
        m_items.pop_front();
    }
}

TapeSpan CArchiveQueue::SpanOf(const Item& item) const {
    const double tPerSample = spectrum::kClockHz / static_cast<double>(m_sampleRate);
    double startT = item.startT;
    double lengthT = item.endT - item.startT;
    if (const auto* pause = std::get_if<Pause>(&item.block)) {
        // A silence begins where the block before it and its own pause ended.
        startT = std::max(startT, m_emittedEndT);
        lengthT = pause->ms * kTStatesPerMs;
    }
    return {std::llround(startT / tPerSample), std::llround(std::max(lengthT, 0.0) / tPerSample),
            m_sampleRate};
}

void CArchiveQueue::Emit(Item& item) {
    if (item.news) {
        m_sink->Report(*item.news);
    }
    if (item.errorOnly) {
        m_sink->Report(record::ErrorRow{item.bytesRead, item.firstByte});
        return;
    }
    BlockVerdict verdict;
    if (item.source == Source::RomDecoders) {
        m_romSpans.emplace_back(item.startT, item.endT);
        if (m_romSpans.size() > kRecentSpans) {
            m_romSpans.pop_front();
        }
    } else {
        verdict.outcome = OutcomeOf(item.block, item.romTimed);
    }
    const TapeSpan span = SpanOf(item);
    m_emittedEndT = std::max(m_emittedEndT, item.endT + PauseAfter(item.block) * kTStatesPerMs);
    const bool romTimed = item.romTimed;
    if (auto* measured = std::get_if<TurboBlock>(&item.block); measured != nullptr && romTimed) {
        item.block = RomIfReplaysAlike(std::move(*measured));
    }
    m_sink->Report(record::StretchKept{TapeItem{std::move(item.block), span, verdict}, romTimed});
}
