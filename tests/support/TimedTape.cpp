#include "tests/support/TimedTape.h"

#include <utility>

#include "model/PulseRenderer.h"

BlockBody CTimedTape::Rom(const CTestTape::Block& bytes) {
    return RomBlock{bytes};
}

TurboBlock CTimedTape::Turbo(uint8_t flag, int32_t length, uint32_t seed, uint16_t pilot,
                             uint16_t zero) {
    CTestTape tape;
    tape.AddBlock(flag, CTestTape::RandomBytes(length, seed));
    TurboBlock block;
    block.pilotPulse = pilot;
    block.pilotCount = 1600;
    block.sync1 = static_cast<uint16_t>(zero - 30);
    block.sync2 = zero;
    block.zeroPulse = zero;
    block.onePulse = static_cast<uint16_t>(2 * zero);
    block.bytes = tape.Blocks().back();
    return block;
}

PureData CTimedTape::Data(uint8_t flag, int32_t length, uint32_t seed, uint16_t zero) {
    TurboBlock turbo = Turbo(flag, length, seed, 0, zero);
    PureData data;
    data.zeroPulse = turbo.zeroPulse;
    data.onePulse = turbo.onePulse;
    data.bytes = std::move(turbo.bytes);
    return data;
}

BlockBody CTimedTape::Tone(uint16_t pulse, uint32_t count) {
    return PureTone{pulse, count};
}

BlockBody CTimedTape::Pulses(std::vector<uint16_t> pulses) {
    return PulseRun{std::move(pulses)};
}

BlockBody CTimedTape::Pause(uint16_t ms) {
    return ::Pause{ms};
}

BlockBody CTimedTape::BackToBack(const std::vector<BlockBody>& blocks) {
    PulseRun run;
    for (const BlockBody& block : blocks) {
        for (const uint32_t pulse : RenderPulses(block).pulses) {
            run.pulses.push_back(static_cast<uint16_t>(pulse));
        }
    }
    return run;
}
