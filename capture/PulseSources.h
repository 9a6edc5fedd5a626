#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Number of sources of the PulseAudio server that are not monitors of a sink (a monitor would
// record the machine's own output). 0 when no server answers within `timeout`; a server is never
// spawned for the question.
int32_t CountPulseInputSources(std::chrono::milliseconds timeout = std::chrono::seconds(3));

// A source of the server that is not a monitor.
struct PulseSource {
    std::string name;
    std::string description;
};

// The sources that are not monitors, the server's default source first, the others in the
// server's order. Empty when no server answers within `timeout`.
std::vector<PulseSource> ListPulseInputSources(
    std::chrono::milliseconds timeout = std::chrono::seconds(3));

// Why no PulseAudio server answers within `timeout` (the client library's reason, such as
// "Connection refused"), or nothing when one does: tells an unreachable server from a server
// without input sources.
std::optional<std::string> FindPulseServerProblem(
    std::chrono::milliseconds timeout = std::chrono::seconds(3));
