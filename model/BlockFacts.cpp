#include "model/BlockFacts.h"

#include <cmath>
#include <utility>

namespace {
// A measured leader may miss a few pulses at its start; a loader's own count differs by far more.
constexpr uint32_t kPilotCountSlackPercent = 1;
// A tape played off speed still replays as ROM timing when every pulse is off alike.
constexpr double kRomPulseSpread = 0.10;

bool NearRom(uint16_t pulse, double romPulse) {
    return std::fabs(pulse - romPulse) <= kRomPulseSpread * romPulse;
}

bool ReplaysAsRom(const TurboBlock& t) {
    const uint32_t romCount =
        t.bytes.empty() ? spectrum::kDataPilotCount : spectrum::RomPilotCount(t.bytes[0]);
    const uint32_t slack = romCount * kPilotCountSlackPercent / 100;
    const uint32_t countOff =
        t.pilotCount > romCount ? t.pilotCount - romCount : romCount - t.pilotCount;
    return countOff <= slack && t.usedBitsInLastByte == 8 &&
           NearRom(t.pilotPulse, spectrum::kPilotPulse) &&
           NearRom(t.zeroPulse, spectrum::kZeroPulse) && NearRom(t.onePulse, spectrum::kOnePulse);
}
}  // namespace

const std::vector<uint8_t>* DataBytes(const BlockBody& body) {
    return std::visit(
        Overloaded{
            [](const RomBlock& b) -> const std::vector<uint8_t>* { return &b.bytes; },
            [](const TurboBlock& b) -> const std::vector<uint8_t>* { return &b.bytes; },
            [](const PureData& b) -> const std::vector<uint8_t>* { return &b.bytes; },
            [](const PureTone&) -> const std::vector<uint8_t>* { return nullptr; },
            [](const PulseRun&) -> const std::vector<uint8_t>* { return nullptr; },
            [](const DirectRecording&) -> const std::vector<uint8_t>* { return nullptr; },
            [](const Pause&) -> const std::vector<uint8_t>* { return nullptr; },
            [](const ReadFailure&) -> const std::vector<uint8_t>* { return nullptr; },
            [](const KeptTzxBlock&) -> const std::vector<uint8_t>* { return nullptr; },
        },
        body);
}

const std::vector<uint8_t>* PayloadBytes(const BlockBody& body) {
    if (const auto* recording = std::get_if<DirectRecording>(&body)) {
        return &recording->samples;
    }
    if (const auto* kept = std::get_if<KeptTzxBlock>(&body)) {
        return &kept->bytes;
    }
    return DataBytes(body);
}

int32_t PayloadLength(const BlockBody& body) {
    const std::vector<uint8_t>* payload = PayloadBytes(body);
    return payload != nullptr ? static_cast<int32_t>(payload->size()) : 0;
}

bool IsHeader(const BlockBody& body) {
    const auto* rom = std::get_if<RomBlock>(&body);
    return rom != nullptr && rom->bytes.size() == spectrum::kHeaderLength &&
           rom->bytes[0] == spectrum::kHeaderFlag;
}

bool IsScreen(const BlockBody& body) {
    const auto* rom = std::get_if<RomBlock>(&body);
    return rom != nullptr && rom->bytes.size() == spectrum::kScreenBlockLength &&
           rom->bytes[0] == spectrum::kDataFlag;
}

TurboBlock WithRomTiming(const RomBlock& block) {
    TurboBlock turbo;
    turbo.pilotCount =
        block.bytes.empty() ? spectrum::kDataPilotCount : spectrum::RomPilotCount(block.bytes[0]);
    turbo.pauseMs = block.pauseMs;
    turbo.bytes = block.bytes;
    return turbo;
}

BlockBody RomIfReplaysAlike(TurboBlock measured) {
    if (ReplaysAsRom(measured)) {
        return RomBlock{std::move(measured.bytes), measured.pauseMs};
    }
    return measured;
}

const uint16_t* TrailingPause(const BlockBody& body) {
    using Field = const uint16_t*;
    return std::visit(Overloaded{
                          [](const RomBlock& b) -> Field { return &b.pauseMs; },
                          [](const TurboBlock& b) -> Field { return &b.pauseMs; },
                          [](const PureData& b) -> Field { return &b.pauseMs; },
                          [](const DirectRecording& b) -> Field { return &b.pauseMs; },
                          [](const PureTone&) -> Field { return nullptr; },
                          [](const PulseRun&) -> Field { return nullptr; },
                          [](const Pause&) -> Field { return nullptr; },
                          [](const ReadFailure&) -> Field { return nullptr; },
                          [](const KeptTzxBlock&) -> Field { return nullptr; },
                      },
                      body);
}

uint16_t* TrailingPause(BlockBody& body) {
    return const_cast<uint16_t*>(TrailingPause(std::as_const(body)));
}
