#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "capture/WaveHeader.h"

// The operations through which the capture drives a sound input: the default input, recording
// unsigned 8-bit mono samples at 22000 samples per second into queued buffers. Every operation
// returns 0 or an error code whose text ErrorText gives.
//
// Queued buffers are filled in queue order, each to its own bufferLength, and every filled buffer
// is handed back exactly once, in queue order, to the thread that owns the capture (how it gets
// there is the implementation's business: see CSoundInput). Reset hands back every queued buffer
// at once, filled or not.
// A capture source the user can pick: its name for the sound server, and its description.
struct SoundSource {
    std::string name;
    std::string description;
};

class CSoundLayer {
public:
    virtual ~CSoundLayer() = default;

    // The machine's capture sources, the system's default first; none when the layer cannot tell.
    virtual std::vector<SoundSource> InputSources() { return {}; }
    // The source that the next Open records from; empty for the system's default.
    virtual void ChooseSource(const std::string& name) { (void)name; }

    // Number of usable input devices; 0 when there is none.
    virtual int32_t CountInputDevices() = 0;
    // Opens the chosen input (or the default) for the recording format.
    virtual int Open() = 0;
    // Makes a header usable: sets the prepared flag.
    virtual int PrepareHeader(WaveHeader& header) = 0;
    // Queues a prepared header behind the ones already queued.
    virtual int AddBuffer(WaveHeader& header) = 0;
    // Begins recording into the queued buffers.
    virtual int Start() = 0;
    // Stops recording and hands back every queued buffer as done.
    virtual int Reset() = 0;
    // Stops recording; queued buffers stay queued.
    virtual int Stop() = 0;
    // Closes the input. Buffers not yet handed back are dropped.
    virtual int Close() = 0;
    // The text for an error code of this layer.
    virtual std::string ErrorText(int code) = 0;
};
