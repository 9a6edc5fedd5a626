#pragma once

#include "model/BlockBody.h"
#include "model/BlockVerdict.h"
#include "model/TapeSpan.h"

// One row of a tape: what the stretch is, where it lay in the recording and how it was read.
// The decoders report these, the list holds them, the tape images store their bodies.
struct TapeItem {
    BlockBody body;
    TapeSpan span;
    BlockVerdict verdict;

    friend bool operator==(const TapeItem&, const TapeItem&) = default;
};
