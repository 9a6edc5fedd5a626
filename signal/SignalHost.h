#pragma once

#include <cstdint>

#include "decoder/core/DecoderSettings.h"
#include "model/TapeItem.h"

// What the Signal window needs of the main window that owns it: the decoder's settings for
// the drawings and the screen queries of the block list. The main window implements it; tests and
// the demo program implement it with their own list.
class CSignalHost {
public:
    virtual ~CSignalHost() = default;

    // The settings that the decoder runs with now, read at every drawing.
    virtual const DecoderSettings& DecoderSettingsNow() const = 0;
    // Number of list entries holding a screen block.
    virtual int32_t CountScreens() const = 0;
    // List position of screen n (0-based, in list order), or -1.
    virtual int32_t FindScreenItem(int32_t screenNumber) const = 0;
    // The item value of the entry at a list position: a store index, or -1 for an error entry.
    virtual int32_t GetItemData(int32_t position) const = 0;
    // An independent copy of the block at a store index.
    virtual TapeItem GetBlockCopy(int32_t storeIndex) const = 0;
};
