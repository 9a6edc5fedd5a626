#pragma once

#include <cstdint>
#include <deque>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "decoder/archive/StretchParser.h"
#include "decoder/core/DecoderRecord.h"
#include "model/TapeItem.h"

class CRecordSink;

// Puts archive mode's pieces of tape and the ROM-block decoders' loaded blocks in tape order and
// hands each to the owner once, as a record of a kept stretch: a TapeItem with its span in the
// input and its verdict. The ROM decoders' blocks come first: a piece of this mode's that lies
// within such a block's stretch (its leader read as a tone, its bits as pure data) gives way to it,
// and the block takes over the silence measured after that piece as its pause; only a turbo block
// or pure data of the same bytes, read at a loader's own timing or after a leader not of the ROM's
// length, stays in its place with that timing. Where this mode read whole data that the ROM
// decoders' block misread (their bytes are ours and a run of one value read on into what follows,
// or ours at a loader's own timing begin in the first half of theirs), ours stand and theirs is
// dropped. A piece therefore waits until the ROM decoders have reported everything up to its end,
// and every item while the silence after it is still being measured. Times are T-states since the
// start of the input.
class CArchiveQueue {
public:
    // sampleRate: of the input, for the spans of the items handed on.
    CArchiveQueue(CRecordSink* sink, int32_t sampleRate) : m_sink(sink), m_sampleRate(sampleRate) {}

    void AddPiece(ParsedPiece piece, double startT, double endT, bool lastOfStretch);
    // Silence after the latest piece: the pause of a data block still open for it, else a Pause.
    // The open pause is closed either way.
    void AddSilence(double tStates);
    // A block that the ROM decoders loaded, its sync at syncT, reported at endT. news: what
    // they said of it, handed on before the block where the block or its bytes are kept.
    void AddRomBlock(std::vector<uint8_t> bytes, double syncT, double endT,
                     std::optional<DecoderRecord> news = std::nullopt);
    // A read error of the ROM decoders, from its sync at syncT to endT: listed, after its news,
    // unless this mode kept data, pulses or a recording there, which tell more.
    void AddRomError(int32_t bytesRead, int32_t firstByte, double syncT, double endT,
                     std::optional<DecoderRecord> news = std::nullopt);
    // Hands on what is due when the ROM decoders have reported every block that began before
    // romSettledT, and this mode every piece before parsedT; with final, everything.
    void Pump(double romSettledT, bool final,
              double parsedT = std::numeric_limits<double>::infinity());
    // Something other than a Pause that may still grow is waiting.
    bool HasPending() const;

private:
    enum class Source : uint8_t { Archive, RomDecoders };
    struct Item {
        BlockBody block;
        // Read at about the ROM's timing: logged as a ROM-speed block, and kept as a RomBlock
        // where the ROM would replay it alike.
        bool romTimed = false;
        double startT = 0.0;
        double endT = 0.0;
        double syncT = 0.0;  // of a ROM decoders' block: where its data begins
        Source source = Source::Archive;
        // A piece of this mode's within a ROM decoders' block's stretch: not handed on unless
        // that block turns out a misreading of this mode's own data.
        bool shadowed = false;
        bool pauseOpen = false;  // the silence after it (of a Pause: it) may still grow
        bool errorOnly = false;  // no block: the ROM decoders' error entry
        int32_t bytesRead = 0;
        int32_t firstByte = -1;
        std::optional<DecoderRecord> news;  // of the ROM decoders, handed on before the item
        double Middle() const { return (startT + endT) / 2.0; }
    };

    void Insert(Item item);
    // True when the ROM decoders' block rom is a misreading of the data in piece.
    static bool MisreadBy(const Item& rom, const Item& piece);
    // Drops the ROM decoders' block at rom and brings back what it shadowed.
    void Unshadow(std::deque<Item>::iterator rom);
    // Drops the ROM decoders' error entries whose stretch overlaps this one.
    void DropErrorsWithin(double startT, double endT);
    double LeaderStart(double syncT, uint16_t pilots) const;
    void Emit(Item& item);
    TapeSpan SpanOf(const Item& item) const;

    CRecordSink* m_sink;
    int32_t m_sampleRate;
    double m_emittedEndT = 0.0;  // where the latest item handed on, and its pause, ended
    std::deque<Item> m_items;
    // Stretches of the ROM decoders' blocks handed on lately: a piece there came too late.
    std::deque<std::pair<double, double>> m_romSpans;
};
