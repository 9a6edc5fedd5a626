#include "decoder/BlockRepair.h"

#include "decoder/BlockBuffer.h"
#include "decoder/DecoderSettings.h"
#include "decoder/PulseEvidence.h"

namespace {

bool XorsToZero(const std::vector<uint8_t>& bytes) {
    uint8_t sum = 0;
    for (const uint8_t byte : bytes) {
        sum = static_cast<uint8_t>(sum ^ byte);
    }
    return sum == 0;
}

// A period before the data as a bit: the sync range lies below the 1 range, so a period taken
// for a sync was a 0-bit.
std::optional<int32_t> BitOfPeriod(int64_t period, const DecoderSettings& s) {
    if (period <= s.data0Max && period >= s.syncMin) {
        return 0;
    }
    if (period >= s.data1Min && period <= s.data1Max) {
        return 1;
    }
    return std::nullopt;
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

}  // namespace

std::optional<CBlockRepair::Mended> CBlockRepair::Mend(const CBlockBuffer& read,
                                                       const CBlockSequence::Expectation& expected,
                                                       const CPulseEvidence& evidence,
                                                       const DecoderSettings& settings) {
    const int64_t missing =
        8 * static_cast<int64_t>(expected.length) - (8 * int64_t{read.Size()} + read.BitCount());
    if (missing < 0) {
        return DropStrayBits(read, expected);
    }
    if (missing > 0 && missing <= kMostRestored) {
        return RestoreLeadingBits(read, expected, static_cast<int32_t>(missing), evidence,
                                  settings);
    }
    return std::nullopt;
}

std::optional<CBlockRepair::Mended> CBlockRepair::DropStrayBits(
    const CBlockBuffer& read, const CBlockSequence::Expectation& expected) {
    if (read.Size() != expected.length || read.BitCount() > kMostStray ||
        read.Data()[0] != expected.flag) {
        return std::nullopt;
    }
    Mended mended{{read.Data(), read.Data() + read.Size()}, 0, read.BitCount()};
    if (!XorsToZero(mended.bytes)) {
        return std::nullopt;
    }
    return mended;
}

std::optional<CBlockRepair::Mended> CBlockRepair::RestoreLeadingBits(
    const CBlockBuffer& read, const CBlockSequence::Expectation& expected, int32_t missing,
    const CPulseEvidence& evidence, const DecoderSettings& settings) {
    if (!evidence.SyncCameLate()) {
        return std::nullopt;
    }
    CBitPacker packer;
    for (int32_t i = 0; i < missing; ++i) {
        if (i < 8) {
            packer.Add((expected.flag >> (7 - i)) & 1);
            continue;
        }
        // Bit `missing - 1` is the period taken for the sync, the ones before it lie further back.
        const auto period = evidence.PeriodBeforeData(missing - 1 - i);
        const auto bit = period ? BitOfPeriod(*period, settings) : std::nullopt;
        if (!bit) {
            return std::nullopt;
        }
        packer.Add(*bit);
    }
    for (int32_t i = 0; i < read.Size(); ++i) {
        for (int32_t bit = 7; bit >= 0; --bit) {
            packer.Add((read.Data()[i] >> bit) & 1);
        }
    }
    for (int32_t bit = read.BitCount() - 1; bit >= 0; --bit) {
        packer.Add((read.CurrentByte() >> bit) & 1);
    }
    Mended mended{std::move(packer.Bytes()), missing, 0};
    // The bits read must go on with the flag where the restored ones leave off.
    if (mended.bytes.empty() || mended.bytes[0] != expected.flag || !XorsToZero(mended.bytes)) {
        return std::nullopt;
    }
    return mended;
}
