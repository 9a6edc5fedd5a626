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
