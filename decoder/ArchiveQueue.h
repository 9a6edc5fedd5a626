#pragma once

#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include "decoder/StretchParser.h"

class CDecoderOwner;

// Puts archive mode's pieces of tape and the ROM-block decoders' loaded blocks in tape order and
// hands each to the owner once: a ROM-timed block as the ROM decoders loaded it (AddBlock, as in
// robust mode), everything else as a timed block. A piece waits while the silence after it is
// still being measured, and a ROM-timed one also until the ROM decoders, which report later,
// have had their say. Times are T-states since the start of the input.
class CArchiveQueue {
public:
    // How long after a block's end the ROM decoders may still report it: they decode whole
    // buffers of a second and report at the end of the next one.
    static constexpr double kRomReportTStates = 3.0 * 3500000.0;

    explicit CArchiveQueue(CDecoderOwner* owner) : m_owner(owner) {}

    void AddPiece(ParsedPiece piece, double startT, double endT, bool lastOfStretch);
    // Silence after the latest piece: the pause of a data block still open for it, else a Pause.
    // The open pause is closed either way.
    void AddSilence(double tStates);
    // A block that the ROM decoders loaded, reported at arrivalT.
    void AddRomBlock(std::vector<uint8_t> bytes, double arrivalT);
    // Hands on what is due at nowT; with final, everything.
    void Pump(double nowT, bool final);
    // Something other than a Pause that may still grow is waiting.
    bool HasPending() const;

private:
    enum class Source : uint8_t { Archive, RomDecoders };
    struct Item {
        TimedBlock block;
        double startT = 0.0;
        double endT = 0.0;
        Source source = Source::Archive;
        bool awaitsRom = false;  // ROM-timed: the ROM decoders' bytes are wanted for it
        bool pauseOpen = false;  // the silence after it (of a Pause: it) may still grow
    };

    bool TakeAsKnown(const std::vector<uint8_t>& bytes);
    // A turbo block, pure data or a tone of this mode's, queued or handed on, ended at sinceT or
    // later.
    bool TurboEndedSince(double sinceT) const;
    void Emit(Item& item);
    void Remember(const std::vector<uint8_t>& bytes);

    CDecoderOwner* m_owner;
    std::deque<Item> m_items;
    std::deque<std::vector<uint8_t>> m_recent;              // data of the latest blocks handed on
    std::deque<std::pair<BlockKind, double>> m_recentEnds;  // kind and end of the latest pieces
};
