#include "tape/TapeBlock.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int32_t kHeaderLength = 19;
constexpr int32_t kScreenLength = 6914;
constexpr uint8_t kHeaderFlag = 0x00;
constexpr uint8_t kDataFlag = 0xFF;
constexpr uint8_t kFirstDataFlag = 0x80;
constexpr uint32_t kHeaderPilotCount = 8063;
constexpr uint32_t kDataPilotCount = 3223;
// A measured leader may miss a few pulses at its start; a loader's own count differs by far more.
constexpr uint32_t kPilotCountSlackPercent = 1;
// A tape played off speed still replays as ROM timing when every pulse is off alike.
constexpr double kRomPulseSpread = 0.10;

std::unique_ptr<uint8_t[]> CopyBytes(int32_t length, const uint8_t* source) {
    if (length <= 0 || source == nullptr) {
        return nullptr;
    }
    auto copy = std::make_unique<uint8_t[]>(static_cast<size_t>(length));
    std::copy_n(source, length, copy.get());
    return copy;
}

// The fields a kind replays with; every other field takes its default.
BlockTiming TimingUsedBy(BlockKind kind, const BlockTiming& t) {
    BlockTiming kept;
    switch (kind) {
        case BlockKind::Standard:
        case BlockKind::Pause:
            kept.pauseMs = t.pauseMs;
            break;
        case BlockKind::Turbo:
            kept = t;
            kept.tStatesPerSample = BlockTiming{}.tStatesPerSample;
            break;
        case BlockKind::PureTone:
            kept.pilotPulse = t.pilotPulse;
            kept.pilotCount = t.pilotCount;
            break;
        case BlockKind::PulseSequence:
        case BlockKind::RawTzx:
            break;
        case BlockKind::PureData:
            kept.zeroPulse = t.zeroPulse;
            kept.onePulse = t.onePulse;
            kept.usedBitsInLastByte = t.usedBitsInLastByte;
            kept.pauseMs = t.pauseMs;
            break;
        case BlockKind::DirectRecording:
            kept.tStatesPerSample = t.tStatesPerSample;
            kept.usedBitsInLastByte = t.usedBitsInLastByte;
            kept.pauseMs = t.pauseMs;
            break;
    }
    return kept;
}

bool CarriesBytes(BlockKind kind) {
    return kind == BlockKind::Standard || kind == BlockKind::Turbo || kind == BlockKind::PureData ||
           kind == BlockKind::DirectRecording || kind == BlockKind::RawTzx;
}

bool NearRom(uint16_t pulse, double romPulse) {
    return std::fabs(pulse - romPulse) <= kRomPulseSpread * romPulse;
}

// Whether a block said to be at ROM timing replays as a standard block would: the ROM's pulses,
// the leader the ROM writes before its flag, and whole bytes. Else its timing is its own.
bool ReplaysAsStandard(const TimedBlock& timed) {
    const BlockTiming defaults;
    const BlockTiming& t = timed.timing;
    const uint32_t romCount = timed.bytes.empty() ? kDataPilotCount : RomPilotCount(timed.bytes[0]);
    const uint32_t slack = romCount * kPilotCountSlackPercent / 100;
    const uint32_t countOff =
        t.pilotCount > romCount ? t.pilotCount - romCount : romCount - t.pilotCount;
    return countOff <= slack && t.usedBitsInLastByte == 8 &&
           NearRom(t.pilotPulse, defaults.pilotPulse) && NearRom(t.zeroPulse, defaults.zeroPulse) &&
           NearRom(t.onePulse, defaults.onePulse);
}

BlockKind KindKept(const TimedBlock& timed) {
    if (timed.kind == BlockKind::Standard && !ReplaysAsStandard(timed)) {
        return BlockKind::Turbo;
    }
    return timed.kind;
}

std::unique_ptr<uint8_t[]> PackPulses(const std::vector<uint16_t>& pulses) {
    if (pulses.empty()) {
        return nullptr;
    }
    auto packed = std::make_unique<uint8_t[]>(pulses.size() * 2);
    for (size_t i = 0; i < pulses.size(); ++i) {
        packed[2 * i] = static_cast<uint8_t>(pulses[i] & 0xFF);
        packed[2 * i + 1] = static_cast<uint8_t>(pulses[i] >> 8);
    }
    return packed;
}
}  // namespace

TapeBlock::TapeBlock(int32_t blockLength, const uint8_t* blockBytes)
    : m_payload(CopyBytes(blockLength, blockBytes)),
      m_size(m_payload != nullptr ? blockLength : 0) {}

uint32_t RomPilotCount(uint8_t flag) {
    return flag < kFirstDataFlag ? kHeaderPilotCount : kDataPilotCount;
}

TapeBlock::TapeBlock(const TimedBlock& timed)
    : m_kind(KindKept(timed)), m_timing(TimingUsedBy(m_kind, timed.timing)) {
    if (timed.kind == BlockKind::PulseSequence) {
        m_payload = PackPulses(timed.pulses);
        m_size = m_payload != nullptr ? static_cast<int32_t>(timed.pulses.size() * 2) : 0;
    } else if (CarriesBytes(m_kind)) {
        const auto length = static_cast<int32_t>(timed.bytes.size());
        m_payload = CopyBytes(length, timed.bytes.data());
        m_size = m_payload != nullptr ? length : 0;
    }
}

TapeBlock::TapeBlock(const TapeBlock& other)
    : m_payload(CopyBytes(other.m_size, other.m_payload.get())),
      m_size(other.m_size),
      m_kind(other.m_kind),
      m_timing(other.m_timing) {}

TapeBlock::TapeBlock(TapeBlock&& other) noexcept
    : m_payload(std::move(other.m_payload)),
      m_size(other.m_size),
      m_kind(other.m_kind),
      m_timing(other.m_timing) {
    other.m_size = 0;
}

TapeBlock& TapeBlock::operator=(const TapeBlock& other) {
    if (this != &other) {
        m_payload = CopyBytes(other.m_size, other.m_payload.get());
        m_size = other.m_size;
        m_kind = other.m_kind;
        m_timing = other.m_timing;
    }
    return *this;
}

TapeBlock& TapeBlock::operator=(TapeBlock&& other) noexcept {
    if (this != &other) {
        m_payload = std::move(other.m_payload);
        m_size = other.m_size;
        m_kind = other.m_kind;
        m_timing = other.m_timing;
        other.m_size = 0;
    }
    return *this;
}

BlockTiming TapeBlock::Timing() const {
    BlockTiming timing = m_timing;
    if (m_kind == BlockKind::Standard && m_size > 0) {
        timing.pilotCount = RomPilotCount(m_payload[0]);
    }
    return timing;
}

std::vector<uint16_t> TapeBlock::Pulses() const {
    std::vector<uint16_t> pulses(static_cast<size_t>(PulseCount()));
    for (size_t i = 0; i < pulses.size(); ++i) {
        pulses[i] = static_cast<uint16_t>(m_payload[2 * i] | (m_payload[2 * i + 1] << 8));
    }
    return pulses;
}

TimedBlock TapeBlock::ToTimedBlock() const {
    TimedBlock timed{m_kind, Timing(), {}, Pulses()};
    const std::span<const uint8_t> data = Data();
    timed.bytes.assign(data.begin(), data.end());
    return timed;
}

bool TapeBlock::HoldsData() const {
    return m_kind == BlockKind::Standard || m_kind == BlockKind::Turbo ||
           m_kind == BlockKind::PureData;
}

bool TapeBlock::IsHeader() const {
    return m_kind == BlockKind::Standard && m_size == kHeaderLength && m_payload[0] == kHeaderFlag;
}

bool TapeBlock::IsScreen() const {
    return m_kind == BlockKind::Standard && m_size == kScreenLength && m_payload[0] == kDataFlag;
}

bool operator==(const TapeBlock& a, const TapeBlock& b) {
    return a.m_kind == b.m_kind && a.m_timing == b.m_timing && a.m_size == b.m_size &&
           std::equal(a.m_payload.get(), a.m_payload.get() + a.m_size, b.m_payload.get());
}
