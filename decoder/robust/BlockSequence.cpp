#include "decoder/robust/BlockSequence.h"

namespace {

// A standard header: flag 0, a type from 0 to 3, ten name bytes, then the data length.
std::optional<CBlockSequence::Expectation> Announced(const std::vector<uint8_t>& bytes) {
    if (bytes.size() != CBlockSequence::kHeaderLength || bytes[0] != spectrum::kHeaderFlag ||
        bytes[spectrum::kHeaderTypeOffset] > CBlockSequence::kLastHeaderType) {
        return std::nullopt;
    }
    const int32_t dataLength = bytes[spectrum::kHeaderDataLengthOffset] |
                               (bytes[spectrum::kHeaderDataLengthOffset + 1] << 8);
    return CBlockSequence::Expectation{dataLength + 2, spectrum::kDataFlag, false};
}

}  // namespace

void CBlockSequence::Remember(int64_t end, const std::vector<uint8_t>& bytes) {
    m_entries[m_count % kEntries] = Entry{end, Announced(bytes)};
    ++m_count;
}

std::optional<CBlockSequence::Expectation> CBlockSequence::AnnouncedAt(int64_t start) const {
    const Entry* latest = nullptr;
    const size_t kept = m_count < kEntries ? m_count : kEntries;
    for (size_t i = 0; i < kept; ++i) {
        const Entry& entry = m_entries[i];
        if (entry.end < start && (latest == nullptr || entry.end > latest->end)) {
            latest = &entry;
        }
    }
    if (latest == nullptr || start - latest->end > kHeaderReach) {
        return std::nullopt;
    }
    return latest->announces;
}
