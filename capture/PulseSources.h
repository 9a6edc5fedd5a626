#pragma once

#include <chrono>
#include <cstdint>

// Number of sources of the PulseAudio server that are not monitors of a sink (a monitor would
// record the machine's own output). 0 when no server answers within `timeout`; a server is never
// spawned for the question.
int32_t CountPulseInputSources(std::chrono::milliseconds timeout = std::chrono::seconds(3));
