#pragma once

#include <cstdint>

// The header of one capture buffer, shared by the capture logic and the sound layer. The capture
// owns the header and its data block; the sound layer fills the data while the header is queued
// and sets bytesRecorded and the done flag when it hands the header back.
struct WaveHeader {
    uint8_t* data = nullptr;     // data block, owned by the capture while the input is open
    uint32_t bufferLength = 0;   // bytes the sound layer may fill
    uint32_t bytesRecorded = 0;  // bytes the sound layer filled
    uintptr_t user = 0;          // the buffer number
    uint32_t flags = 0;          // kWaveHeader* bits
};

inline constexpr uint32_t kWaveHeaderDone = 0x01;      // filled and handed back
inline constexpr uint32_t kWaveHeaderPrepared = 0x02;  // usable by the sound layer
inline constexpr uint32_t kWaveHeaderInQueue = 0x10;   // queued at the sound layer
