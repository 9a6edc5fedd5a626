#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "model/MachineConstants.h"

// The blocks that the robust mode's decoders loaded lately, by the sample time at which each
// ended, shared by all of them: a block one decoder fails on may follow a header that another
// one loaded, and that header tells the failed block's length and flag.
class CBlockSequence {
public:
    // A header announces its data block this long before the data block's sync, at most.
    static constexpr int64_t kHeaderReach = 15 * 22000;
    static constexpr int32_t kHeaderLength = spectrum::kHeaderLength;
    static constexpr uint8_t kLastHeaderType = spectrum::kLastHeaderType;

    // What a block is known to be before it is read.
    struct Expectation {
        int32_t length = 0;
        uint8_t flag = 0;
        bool header = false;  // a standard header, guessed for want of an announcement
    };

    // A loaded block (flag first, checksum last) that ended at sample time `end`.
    void Remember(int64_t end, const std::vector<uint8_t>& bytes);
    // The data block that the latest block ending before `start` announces, when that block is
    // a header that ended no more than kHeaderReach before.
    std::optional<Expectation> AnnouncedAt(int64_t start) const;

private:
    struct Entry {
        int64_t end = 0;
        std::optional<Expectation> announces;
    };
    static constexpr size_t kEntries = 16;

    std::array<Entry, kEntries> m_entries{};
    size_t m_count = 0;  // entries ever remembered; the newest is at (m_count - 1) % kEntries
};
