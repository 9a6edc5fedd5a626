#pragma once

#include <cstdint>

// Samples per second of the sound input and of every raw or dumped buffer: the decoder's time
// base in plain and robust mode, and one second is one capture buffer.
inline constexpr int32_t kCaptureRate = 22000;
