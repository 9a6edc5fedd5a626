#include "decoder/ArchiveQueue.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "decoder/DecoderOwner.h"

namespace {
constexpr double kTStatesPerMs = 3500.0;
constexpr size_t kRecentBlocks = 16;
// A ROM-timed block of n bytes lasts about this long: leader, then bits of 2565 T-states on
// average.
constexpr double kRomLeaderTStates = 3223.0 * 2168.0;
constexpr double kRomByteTStates = 8.0 * 2565.0;

bool HasPause(BlockKind kind) {
    return kind == BlockKind::Standard || kind == BlockKind::Turbo || kind == BlockKind::PureData ||
           kind == BlockKind::DirectRecording;
}

void LogTimedBlock(CDecoderOwner* owner, const TimedBlock& block) {
    char line[160];
    const BlockTiming& t = block.timing;
    switch (block.kind) {
        case BlockKind::Standard:
            std::snprintf(line, sizeof line, "Archive: ROM-speed block, %zu bytes, pause %u ms",
                          block.bytes.size(), t.pauseMs);
            break;
        case BlockKind::Turbo:
            std::snprintf(line, sizeof line,
                          "Archive: turbo block, %zu bytes, pilot %u x %u, sync %u/%u, bits %u/%u, "
                          "pause %u ms",
                          block.bytes.size(), t.pilotPulse, t.pilotCount, t.sync1, t.sync2,
                          t.zeroPulse, t.onePulse, t.pauseMs);
            break;
        case BlockKind::PureData:
            std::snprintf(line, sizeof line,
                          "Archive: pure data, %zu bytes, bits %u/%u, pause %u ms",
                          block.bytes.size(), t.zeroPulse, t.onePulse, t.pauseMs);
            break;
        case BlockKind::PureTone:
            std::snprintf(line, sizeof line, "Archive: tone, %u pulses of %u", t.pilotCount,
                          t.pilotPulse);
            break;
        case BlockKind::PulseSequence:
            std::snprintf(line, sizeof line, "Archive: pulses, %zu", block.pulses.size());
            break;
        case BlockKind::DirectRecording:
            std::snprintf(line, sizeof line,
                          "Archive: recording, %zu bytes at %u T-states a sample",
                          block.bytes.size(), t.tStatesPerSample);
            break;
        case BlockKind::Pause:
            std::snprintf(line, sizeof line, "Archive: pause, %u ms", t.pauseMs);
            break;
        case BlockKind::RawTzx:
            std::snprintf(line, sizeof line, "Archive: TZX block, %zu bytes", block.bytes.size());
            break;
    }
    owner->AppendLog(line);
}
}  // namespace

void CArchiveQueue::AddPiece(ParsedPiece piece, double startT, double endT, bool lastOfStretch) {
    if (!m_items.empty() && m_items.back().block.kind == BlockKind::Pause) {
        m_items.back().pauseOpen = false;
    }
    Item item;
    item.awaitsRom = piece.romTimed;
    item.block = std::move(piece.block);
    item.startT = startT;
    item.endT = endT;
    item.pauseOpen = lastOfStretch && HasPause(item.block.kind);
    m_items.push_back(std::move(item));
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

void CArchiveQueue::AddRomBlock(std::vector<uint8_t> bytes, double arrivalT) {
    if (TakeAsKnown(bytes)) {
        return;
    }
    // A ROM-timed block that this mode read otherwise: the ROM decoders' reading wins.
    for (Item& item : m_items) {
        if (item.awaitsRom && item.source == Source::Archive && item.endT <= arrivalT) {
            item.block.bytes = std::move(bytes);
            item.source = Source::RomDecoders;
            return;
        }
    }
    // Data at a timing of its own that the ROM decoders read at theirs is no block of the tape.
    if (TurboEndedSince(arrivalT - kRomReportTStates)) {
        return;
    }
    Item item;
    item.source = Source::RomDecoders;
    item.block.bytes = std::move(bytes);
    item.endT = arrivalT;
    item.startT = arrivalT - kRomLeaderTStates -
                  kRomByteTStates * static_cast<double>(item.block.bytes.size());
    auto at = std::find_if(m_items.begin(), m_items.end(),
                           [&](const Item& other) { return other.startT > item.startT; });
    m_items.insert(at, std::move(item));
}

// The block is one this mode has read or handed on already: a ROM-timed one of ours takes the
// ROM decoders' word for it, a turbo one stays as it is.
bool CArchiveQueue::TakeAsKnown(const std::vector<uint8_t>& bytes) {
    for (Item& item : m_items) {
        if (item.block.bytes == bytes && item.source == Source::Archive &&
            item.block.kind != BlockKind::DirectRecording) {
            if (item.awaitsRom) {
                item.source = Source::RomDecoders;
            }
            return true;
        }
    }
    return std::find(m_recent.begin(), m_recent.end(), bytes) != m_recent.end();
}

bool CArchiveQueue::HasPending() const {
    return !m_items.empty() &&
           !(m_items.size() == 1 && m_items.front().block.kind == BlockKind::Pause);
}

bool CArchiveQueue::TurboEndedSince(double sinceT) const {
    const auto ownTiming = [sinceT](BlockKind kind, double endT) {
        return endT >= sinceT && (kind == BlockKind::Turbo || kind == BlockKind::PureData ||
                                  kind == BlockKind::PureTone);
    };
    return std::any_of(m_items.begin(), m_items.end(),
                       [&](const Item& item) { return ownTiming(item.block.kind, item.endT); }) ||
           std::any_of(m_recentEnds.begin(), m_recentEnds.end(),
                       [&](const auto& end) { return ownTiming(end.first, end.second); });
}

void CArchiveQueue::Pump(double nowT, bool final) {
    while (!m_items.empty()) {
        Item& head = m_items.front();
        if (!final && head.pauseOpen) {
            return;
        }
        if (!final && head.awaitsRom && head.source == Source::Archive &&
            nowT < head.endT + kRomReportTStates) {
            return;
        }
        Emit(head);
        m_items.pop_front();
    }
}

void CArchiveQueue::Emit(Item& item) {
    if (item.source == Source::RomDecoders) {
        Remember(item.block.bytes);
        m_owner->AddBlock(static_cast<int32_t>(item.block.bytes.size()), item.block.bytes.data());
        return;
    }
    if (item.block.kind == BlockKind::Standard || item.block.kind == BlockKind::Turbo ||
        item.block.kind == BlockKind::PureData) {
        Remember(item.block.bytes);
    }
    m_recentEnds.emplace_back(item.block.kind, item.endT);
    if (m_recentEnds.size() > kRecentBlocks) {
        m_recentEnds.pop_front();
    }
    LogTimedBlock(m_owner, item.block);
    m_owner->AddTimedBlock(item.block);
}

void CArchiveQueue::Remember(const std::vector<uint8_t>& bytes) {
    m_recent.push_back(bytes);
    if (m_recent.size() > kRecentBlocks) {
        m_recent.pop_front();
    }
}
