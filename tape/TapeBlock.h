#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "decoder/core/TimedBlock.h"

// The pulses of the leader the ROM writes before a block with this flag byte.
uint32_t RomPilotCount(uint8_t flag);

// One stretch of tape as the list and the tape images keep it: its kind, its timing and its
// payload. Of a data block (Standard, Turbo, PureData) the payload is its bytes, the flag byte at
// index 0 and the checksum byte as read at the end; of a DirectRecording its samples; of a RawTzx
// the whole TZX block; a PureTone and a Pause have none; a PulseSequence keeps its pulses apart
// from the bytes. Owned and deep-copied; nothing checks the checksum. Only the timing fields that
// the kind uses are kept, so two blocks that replay alike compare equal. A block handed over as
// Standard whose timing a standard block would not replay (another leader length, a last byte
// of fewer bits, pulses far from the ROM's) is kept as Turbo.
class TapeBlock {
public:
    TapeBlock() = default;
    // A ROM-timed block of `blockLength` bytes with the usual second of silence after it.
    TapeBlock(int32_t blockLength, const uint8_t* blockBytes);
    explicit TapeBlock(const TimedBlock& timed);
    TapeBlock(const TapeBlock& other);
    TapeBlock(TapeBlock&& other) noexcept;
    TapeBlock& operator=(const TapeBlock& other);
    TapeBlock& operator=(TapeBlock&& other) noexcept;
    ~TapeBlock() = default;

    BlockKind Kind() const { return m_kind; }
    // The kind's timing. Of a Standard block the ROM's pulses, with the leader of a header
    // (flag below 0x80) or of a data block, and its own pause.
    BlockTiming Timing() const;
    // The bytes of a data block, the samples of a DirectRecording or the whole block of a RawTzx;
    // empty for the other kinds.
    int32_t Length() const { return m_kind == BlockKind::PulseSequence ? 0 : m_size; }
    const uint8_t* Bytes() const { return Length() > 0 ? m_payload.get() : nullptr; }
    std::span<const uint8_t> Data() const {
        return {m_payload.get(), static_cast<size_t>(Length())};
    }
    // The pulses of a PulseSequence in T-states; empty for the other kinds.
    std::vector<uint16_t> Pulses() const;
    int32_t PulseCount() const { return m_kind == BlockKind::PulseSequence ? m_size / 2 : 0; }
    TimedBlock ToTimedBlock() const;

    // Standard, Turbo or PureData: bytes that a loader reads.
    bool HoldsData() const;
    // A standard header: a Standard block of exactly 19 bytes with flag 0x00.
    bool IsHeader() const;
    // A SCREEN$ block: a Standard block of exactly 6914 bytes with flag 0xFF.
    bool IsScreen() const;

    friend bool operator==(const TapeBlock& a, const TapeBlock& b);

private:
    // A list may hold a million tiny blocks: one allocation each, sizes and timing packed.
    std::unique_ptr<uint8_t[]> m_payload;
    int32_t m_size = 0;  // payload bytes; two per pulse of a PulseSequence
    BlockKind m_kind = BlockKind::Standard;
    BlockTiming m_timing;
};
