#include "decoder/robust/BlockRepair.h"

#include <algorithm>

#include "decoder/core/BlockBuffer.h"
#include "decoder/robust/PulseEvidence.h"

namespace {

bool XorsToZero(const std::vector<uint8_t>& bytes) {
    uint8_t sum = 0;
    for (const uint8_t byte : bytes) {
        sum = static_cast<uint8_t>(sum ^ byte);
    }
    return sum == 0;
}

// Collects bits, most significant first, into bytes.
class CBitPacker {
public:
    void Add(int32_t bit) {
        m_current = static_cast<uint8_t>((m_current << 1) | bit);
        if (++m_bits == 8) {
            m_bytes.push_back(m_current);
            m_bits = 0;
            m_current = 0;
        }
    }
    std::vector<uint8_t>& Bytes() { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
    int32_t m_bits = 0;
    uint8_t m_current = 0;
};

// A sync missed or stretched into the pilot's length leaves the leader running on through the
// block's 1-bits, whose periods are of pilot length to the recognizer; its first 0-bit is then
// taken for the sync. So the bits restored are 1-bits up to one 0-bit, and no other split fits.
bool EndsAtFirstZero(const std::vector<uint8_t>& bytes, int32_t restored) {
    for (int32_t i = 0; i < restored; ++i) {
        const int32_t bit = (bytes[static_cast<size_t>(i / 8)] >> (7 - i % 8)) & 1;
        if (bit != (i + 1 < restored ? 1 : 0)) {
            return false;
        }
    }
    return true;
}

// The checksum holds, and a block mended as a header (its length and flag not announced by a
// block before it) is one: its type is one of the four. The XOR byte alone passes one garbled
// reading in 256.
bool IsWhatWasExpected(const std::vector<uint8_t>& bytes,
                       const CBlockSequence::Expectation& expected) {
    if (!XorsToZero(bytes)) {
        return false;
    }
    return !expected.header || (bytes.size() > 1 && bytes[1] <= CBlockSequence::kLastHeaderType);
}

}  // namespace

std::optional<CBlockRepair::Mended> CBlockRepair::Mend(const CBlockBuffer& read,
                                                       const CBlockSequence::Expectation& expected,
                                                       const CPulseEvidence& evidence) {
    const int64_t missing =
        8 * static_cast<int64_t>(expected.length) - (8 * int64_t{read.Size()} + read.BitCount());
    std::optional<Mended> mended;
    if (missing < 0) {
        mended = DropStrayBits(read, expected);
    } else if (missing > 0 && missing <= kMostRestored) {
        mended = RestoreLeadingBits(read, expected, static_cast<int32_t>(missing), 0, evidence);
    }
    if (mended || missing > kMostRestored || missing < -kMostStray) {
        return mended;
    }
    return RestoreAndDrop(read, expected, static_cast<int32_t>(missing), evidence);
}

// A late sync and stray bits together: the block is short by `missing` bits net. Every split
// into restored and dropped bits is tried; the restored bits must end at the block's first 0-bit,
// so at most one split fits, and only a single one that holds is taken.
std::optional<CBlockRepair::Mended> CBlockRepair::RestoreAndDrop(
    const CBlockBuffer& read, const CBlockSequence::Expectation& expected, int32_t missing,
    const CPulseEvidence& evidence) {
    std::optional<Mended> found;
    for (int32_t restored = std::max(1, missing + 1); restored <= kMostRestored; ++restored) {
        const int32_t stray = restored - missing;
        if (stray > kMostStray) {
            break;
        }
        auto mended = RestoreLeadingBits(read, expected, restored, stray, evidence);
        if (!mended) {
            continue;
        }
        if (found) {
            return std::nullopt;
        }
        found = std::move(mended);
    }
    return found;
}

std::optional<CBlockRepair::Mended> CBlockRepair::DropStrayBits(
    const CBlockBuffer& read, const CBlockSequence::Expectation& expected) {
    if (read.Size() != expected.length || read.BitCount() > kMostStray ||
        read.Data()[0] != expected.flag) {
        return std::nullopt;
    }
    Mended mended{{read.Data(), read.Data() + read.Size()}, 0, read.BitCount()};
    if (!IsWhatWasExpected(mended.bytes, expected)) {
        return std::nullopt;
    }
    return mended;
}

// The XOR check alone lets too much through: the periods seen before the late sync must also
// have been the restored bits of the flag.
bool CBlockRepair::PeriodsMatchFlag(const CBlockSequence::Expectation& expected, int32_t restored,
                                    const CPulseEvidence& evidence) {
    for (int32_t back = 0; back < std::min(restored, 8); ++back) {
        const int32_t index = restored - 1 - back;
        if (index >= 8) {
            continue;
        }
        const auto bit = evidence.BitBeforeData(back);
        if (!evidence.PeriodBeforeData(back)) {
            break;
        }
        if (!bit || *bit != ((expected.flag >> (7 - index)) & 1)) {
            return false;
        }
    }
    return true;
}

std::optional<CBlockRepair::Mended> CBlockRepair::RestoreLeadingBits(
    const CBlockBuffer& read, const CBlockSequence::Expectation& expected, int32_t missing,
    int32_t stray, const CPulseEvidence& evidence) {
    if (!evidence.SyncCameLate() || !PeriodsMatchFlag(expected, missing, evidence)) {
        return std::nullopt;
    }
    CBitPacker packer;
    for (int32_t i = 0; i < missing; ++i) {
        if (i < 8) {
            packer.Add((expected.flag >> (7 - i)) & 1);
            continue;
        }
        // Bit `missing - 1` is the period taken for the sync, the ones before it lie further back.
        const auto bit = evidence.BitBeforeData(missing - 1 - i);
        if (!bit) {
            return std::nullopt;
        }
        packer.Add(*bit);
    }
    // The bits read, less the stray ones at the end.
    const int32_t kept = 8 * read.Size() + read.BitCount() - stray;
    for (int32_t i = 0; i < kept; ++i) {
        if (i < 8 * read.Size()) {
            packer.Add((read.Data()[i / 8] >> (7 - i % 8)) & 1);
        } else {
            packer.Add((read.CurrentByte() >> (read.BitCount() - 1 - (i - 8 * read.Size()))) & 1);
        }
    }
    Mended mended{std::move(packer.Bytes()), missing, stray};
    // The bits read must go on with the flag where the restored ones leave off.
    if (static_cast<int32_t>(mended.bytes.size()) != expected.length ||
        mended.bytes[0] != expected.flag || !EndsAtFirstZero(mended.bytes, missing) ||
        !IsWhatWasExpected(mended.bytes, expected)) {
        return std::nullopt;
    }
    return mended;
}
