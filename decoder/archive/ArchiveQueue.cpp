#include "decoder/archive/ArchiveQueue.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "decoder/core/RecordSink.h"

namespace {
constexpr double kTStatesPerMs = 3500.0;
constexpr size_t kRecentSpans = 16;
constexpr double kRomPilotPulse = 2168.0;
constexpr double kRomZeroPulse = 855.0;
constexpr uint16_t kHeaderPilots = 8063;
constexpr uint16_t kDataPilots = 3223;

bool HasPause(BlockKind kind) {
    return kind == BlockKind::Standard || kind == BlockKind::Turbo || kind == BlockKind::PureData ||
           kind == BlockKind::DirectRecording;
}

bool HoldsData(const TimedBlock& block) {
    return !block.bytes.empty() &&
           (block.kind == BlockKind::Standard || block.kind == BlockKind::Turbo ||
            block.kind == BlockKind::PureData);
}

bool XorsToZero(const std::vector<uint8_t>& bytes) {
    uint8_t sum = 0;
    for (const uint8_t byte : bytes) {
        sum = static_cast<uint8_t>(sum ^ byte);
    }
    return sum == 0;
}

bool HasOwnTiming(const TimedBlock& block) {
    const BlockTiming& t = block.timing;
    if (block.kind == BlockKind::Turbo) {
        return !CStretchParser::IsRomTiming(t.pilotPulse, t.zeroPulse, t.onePulse);
    }
    if (block.kind == BlockKind::PureData) {
        return !CStretchParser::IsRomTiming(kRomPilotPulse * t.zeroPulse / kRomZeroPulse,
                                            t.zeroPulse, t.onePulse);
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
bool IsOwnData(const TimedBlock& block) {
    return HoldsData(block) && HasOwnTiming(block) && XorsToZero(block.bytes) &&
           !IsOneValueRun(block.bytes);
}

// Why data of this mode's own reading is no loaded block, if it is not: its checksum fails, or it
// is pure data at the ROM's timing (the ROM decoders could not load it, and where its bits begin
// is a guess without a sync) or of one byte value (a leader read as bits gives one).
record::StretchKept::Doubt DoubtOf(const TimedBlock& block) {
    if (!HoldsData(block)) {
        return record::StretchKept::Doubt::None;
    }
    if (!XorsToZero(block.bytes)) {
        return record::StretchKept::Doubt::BadChecksum;
    }
    if (block.kind == BlockKind::PureData && (!HasOwnTiming(block) || IsOneValueRun(block.bytes))) {
        return record::StretchKept::Doubt::NoLeader;
    }
    return record::StretchKept::Doubt::None;
}

}  // namespace

void CArchiveQueue::AddPiece(ParsedPiece piece, double startT, double endT, bool lastOfStretch) {
    Item item;
    item.block = std::move(piece.block);
    item.startT = startT;
    item.endT = endT;
    item.pauseOpen = lastOfStretch && HasPause(item.block.kind);
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
    if (item.block.kind != BlockKind::PureTone) {
        DropErrorsWithin(item.startT, item.endT);
    }
    const auto rom = std::find_if(m_items.begin(), m_items.end(), [&](const Item& other) {
        return other.source == Source::RomDecoders && !other.errorOnly &&
               within(other.startT, other.endT);
    });
    if (rom != m_items.end()) {
        if (!IsOwnData(item.block) || item.block.bytes != rom->block.bytes) {
            rom->pauseOpen = item.pauseOpen;
            return;
        }
        m_items.erase(rom);
    }
    Insert(std::move(item));
}

void CArchiveQueue::AddSilence(double tStates) {
    double ms = std::round(tStates / kTStatesPerMs);
    // A ROM decoders' block may have been put in after the piece whose pause this is.
    auto open = std::find_if(m_items.rbegin(), m_items.rend(), [](const Item& item) {
        return item.pauseOpen && item.block.kind != BlockKind::Pause;
    });
    if (open != m_items.rend()) {
        Item& last = *open;
        const double taken = std::min(ms, 65535.0);
        last.block.timing.pauseMs = static_cast<uint16_t>(taken);
        last.pauseOpen = false;
        ms -= taken;
    }
    // Silence after silence (hiss between them is silence too) grows the Pause still open.
    if (ms >= 1.0 && !m_items.empty() && m_items.back().block.kind == BlockKind::Pause &&
        m_items.back().pauseOpen) {
        BlockTiming& timing = m_items.back().block.timing;
        const double taken = std::min(ms, 65535.0 - timing.pauseMs);
        timing.pauseMs = static_cast<uint16_t>(timing.pauseMs + taken);
        ms -= taken;
    }
    // A Pause of 0 would stop an emulator's tape: under a millisecond is no pause.
    while (ms >= 1.0) {
        Item pause;
        pause.block.kind = BlockKind::Pause;
        pause.block.timing.pauseMs = static_cast<uint16_t>(std::min(ms, 65535.0));
        ms -= pause.block.timing.pauseMs;
        pause.startT = pause.endT = m_items.empty() ? 0.0 : m_items.back().endT;
        pause.pauseOpen = true;
        m_items.push_back(std::move(pause));
    }
}

void CArchiveQueue::AddRomBlock(std::vector<uint8_t> bytes, double syncT, double endT) {
    if (bytes.empty()) {
        return;
    }
    const uint16_t pilots = bytes[0] < 0x80 ? kHeaderPilots : kDataPilots;
    const double startT = LeaderStart(syncT, pilots);
    const auto inside = [&](const Item& item) {
        return item.source == Source::Archive && item.block.kind != BlockKind::Pause &&
               startT <= item.Middle() && item.Middle() <= endT;
    };
    // The same bytes read there at a loader's own timing: the same block, which keeps its timing.
    if (std::any_of(m_items.begin(), m_items.end(), [&](const Item& item) {
            return inside(item) && IsOwnData(item.block) && item.block.bytes == bytes;
        })) {
        return;
    }
    Item rom;
    rom.source = Source::RomDecoders;
    rom.block.kind = BlockKind::Standard;
    rom.block.timing.pilotCount = pilots;
    rom.block.timing.pauseMs = 0;
    rom.block.bytes = std::move(bytes);
    rom.startT = startT;
    rom.endT = endT;
    // The pieces this mode read there were this block, misread; the pause after the last of them
    // is the block's. When none has come yet, the silence still to come may be its pause.
    rom.pauseOpen = true;
    bool tookPause = false;
    for (const Item& item : m_items) {
        if (!inside(item)) {
            continue;
        }
        if (HasPause(item.block.kind)) {
            rom.block.timing.pauseMs = item.block.timing.pauseMs;
            rom.pauseOpen = item.pauseOpen;
            tookPause = true;
        } else if (!tookPause) {
            rom.pauseOpen = item.pauseOpen;
        }
    }
    std::erase_if(m_items, [&](const Item& item) {
        return inside(item) || (item.errorOnly && startT <= item.Middle() && item.Middle() <= endT);
    });
    Insert(std::move(rom));
}

// A ROM block's leader has `pilots` pulses before its sync, unless a silence or a block of tape
// ended later: what lies before that is another stretch of tape.
double CArchiveQueue::LeaderStart(double syncT, uint16_t pilots) const {
    double startT = syncT - pilots * kRomPilotPulse;
    for (const Item& item : m_items) {
        const bool silent = HasPause(item.block.kind) || item.block.kind == BlockKind::Pause;
        const double silenceEnd =
            item.endT + (silent ? item.block.timing.pauseMs * kTStatesPerMs : 0.0);
        const bool block = item.source == Source::RomDecoders || IsOwnData(item.block);
        if ((block || silenceEnd > item.endT) && silenceEnd < syncT) {
            startT = std::max(startT, silenceEnd);
        }
    }
    return startT;
}

void CArchiveQueue::AddRomError(int32_t bytesRead, int32_t firstByte, double syncT, double endT) {
    // Data, pulses or a recording of this mode's there tell more than the ROM decoders' failure.
    const bool keptThere = std::any_of(m_items.begin(), m_items.end(), [&](const Item& item) {
        return item.source == Source::Archive && item.block.kind != BlockKind::PureTone &&
               item.block.kind != BlockKind::Pause && item.startT <= endT && syncT <= item.endT;
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
    Insert(std::move(error));
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
    return !m_items.empty() &&
           !(m_items.size() == 1 && m_items.front().block.kind == BlockKind::Pause);
}

void CArchiveQueue::Pump(double romSettledT, bool final) {
    while (!m_items.empty()) {
        const Item& head = m_items.front();
        if (!final && head.pauseOpen) {
            return;
        }
        if (!final && head.source == Source::Archive && head.endT >= romSettledT) {
            return;
        }
        Emit(head);
        m_items.pop_front();
    }
}

void CArchiveQueue::Emit(const Item& item) {
    if (item.errorOnly) {
        m_sink->Report(record::ErrorRow{item.bytesRead, item.firstByte});
        return;
    }
    record::StretchKept kept{item.block, record::StretchKept::Doubt::None};
    if (item.source == Source::RomDecoders) {
        m_romSpans.emplace_back(item.startT, item.endT);
        if (m_romSpans.size() > kRecentSpans) {
            m_romSpans.pop_front();
        }
    } else {
        kept.doubt = DoubtOf(item.block);
    }
    m_sink->Report(kept);
}
