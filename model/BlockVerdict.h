#pragma once

#include <cstdint>

// How a block came out of the decoder. Only a Loaded or Mended block is what a loader would have
// read; a ChecksumFailed or Unconfirmed block is kept (archive mode) so that nothing read is
// lost, after the read failure that reports it.
struct BlockVerdict {
    enum class Outcome : uint8_t {
        Loaded,          // read whole; its bytes XOR to zero
        Mended,          // read with frayed edges and mended (see the counts below)
        ChecksumFailed,  // read, but its bytes do not XOR to zero
        Unconfirmed,     // data read without the leader and sync that tell where its bits begin
    };

    Outcome outcome = Outcome::Loaded;
    // Of a Mended block: leading bits restored (a late sync) and stray trailing bits dropped.
    int32_t restoredBits = 0;
    int32_t strayBits = 0;

    bool Trusted() const { return outcome == Outcome::Loaded || outcome == Outcome::Mended; }

    friend bool operator==(const BlockVerdict&, const BlockVerdict&) = default;
};
