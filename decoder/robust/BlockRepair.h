#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "decoder/robust/BlockSequence.h"

class CBlockBuffer;
class CPulseEvidence;

// Mends a block that failed only at its edges, when its length and flag are known beforehand: a
// sync found late, on one of the block's first bits, leaves the block short by the bits read
// before it as pilot; trailing pulses read as bits leave a few stray bits after the last byte.
// The missing leading bits are the known flag's, and beyond it the periods that led up to the
// late sync; both may come together. A mend needs evidence beyond the XOR byte, which a garbled
// reading passes once in 256: the restored bits run up to the block's first 0-bit (where a late
// sync falls), the periods before that sync had their lengths, and a block guessed to be a header
// has a header's type. A block read whole that fails its checksum is never mended: which bit is
// wrong cannot be known.
class CBlockRepair {
public:
    // Most leading bits restored: the flag and two bits of the next byte.
    static constexpr int32_t kMostRestored = 10;
    // Most stray bits dropped after the last byte.
    static constexpr int32_t kMostStray = 7;

    struct Mended {
        std::vector<uint8_t> bytes;
        int32_t restoredBits = 0;
        int32_t strayBits = 0;
    };

    // The block that `read` was, if it was the `expected` block with its edges frayed.
    static std::optional<Mended> Mend(const CBlockBuffer& read,
                                      const CBlockSequence::Expectation& expected,
                                      const CPulseEvidence& evidence);

private:
    static std::optional<Mended> DropStrayBits(const CBlockBuffer& read,
                                               const CBlockSequence::Expectation& expected);
    // `missing` leading bits restored and the last `stray` bits read dropped.
    static std::optional<Mended> RestoreLeadingBits(const CBlockBuffer& read,
                                                    const CBlockSequence::Expectation& expected,
                                                    int32_t missing, int32_t stray,
                                                    const CPulseEvidence& evidence);
    static bool PeriodsMatchFlag(const CBlockSequence::Expectation& expected, int32_t restored,
                                 const CPulseEvidence& evidence);
    static std::optional<Mended> RestoreAndDrop(const CBlockBuffer& read,
                                                const CBlockSequence::Expectation& expected,
                                                int32_t missing, const CPulseEvidence& evidence);
};
