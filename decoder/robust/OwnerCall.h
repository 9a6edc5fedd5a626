#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "decoder/core/SignalSnapshot.h"

// One call that a decoder made on its owner, kept so that it can be passed on later, unchanged.
struct OwnerCall {
    enum class Kind { kStatus, kLog, kBlock, kErrorEntry, kErrorSnapshot, kRefresh, kDebug };

    Kind kind = Kind::kStatus;
    std::string text;            // status, log and debug lines
    std::vector<uint8_t> bytes;  // a loaded block
    int32_t bytesRead = 0;       // an error entry
    int32_t firstByte = -1;
    std::shared_ptr<const SignalSnapshot> snapshot;  // an error snapshot
};
