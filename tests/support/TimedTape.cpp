#include "tests/support/TimedTape.h"

#include <utility>

TimedBlock CTimedTape::Rom(const CTestTape::Block& bytes) {
    TimedBlock block;
    block.bytes = bytes;
    block.timing.pilotCount = bytes[0] < 0x80 ? 8063 : 3223;
    return block;
}

TimedBlock CTimedTape::Turbo(uint8_t flag, int32_t length, uint32_t seed, uint16_t pilot,
                             uint16_t zero) {
    CTestTape tape;
    tape.AddBlock(flag, CTestTape::RandomBytes(length, seed));
    TimedBlock block;
    block.kind = BlockKind::Turbo;
    block.bytes = tape.Blocks().back();
    block.timing = {pilot, 1600, static_cast<uint16_t>(zero - 30),
                    zero,  zero, static_cast<uint16_t>(2 * zero)};
    return block;
}

TimedBlock CTimedTape::PureData(uint8_t flag, int32_t length, uint32_t seed, uint16_t zero) {
    TimedBlock block = Turbo(flag, length, seed, 0, zero);
    block.kind = BlockKind::PureData;
    return block;
}

TimedBlock CTimedTape::Tone(uint16_t pulse, uint16_t count) {
    TimedBlock block;
    block.kind = BlockKind::PureTone;
    block.timing.pilotPulse = pulse;
    block.timing.pilotCount = count;
    return block;
}

TimedBlock CTimedTape::Pulses(std::vector<uint16_t> pulses) {
    TimedBlock block;
    block.kind = BlockKind::PulseSequence;
    block.pulses = std::move(pulses);
    return block;
}

TimedBlock CTimedTape::Pause(uint16_t ms) {
    TimedBlock block;
    block.kind = BlockKind::Pause;
    block.timing.pauseMs = ms;
    return block;
}

TimedBlock CTimedTape::BackToBack(const std::vector<TimedBlock>& blocks) {
    std::vector<uint16_t> pulses;
    for (const TimedBlock& block : blocks) {
        const BlockTiming& t = block.timing;
        const bool leader = block.kind == BlockKind::Standard || block.kind == BlockKind::Turbo;
        if (leader || block.kind == BlockKind::PureTone) {
            pulses.insert(pulses.end(), t.pilotCount, t.pilotPulse);
        }
        if (leader) {
            pulses.insert(pulses.end(), {t.sync1, t.sync2});
        }
        for (size_t i = 0; i < block.bytes.size() && block.kind != BlockKind::PureTone; ++i) {
            const int last = i + 1 == block.bytes.size() ? 8 - t.usedBitsInLastByte : 0;
            for (int bit = 7; bit >= last; --bit) {
                pulses.insert(pulses.end(), 2,
                              (block.bytes[i] >> bit) & 1 ? t.onePulse : t.zeroPulse);
            }
        }
        pulses.insert(pulses.end(), block.pulses.begin(), block.pulses.end());
    }
    return Pulses(std::move(pulses));
}
