#pragma once

#include "decoder/core/DecoderSettings.h"

// Gives a decoder its settings with a change made by `change`, as a user applying the Options
// dialog between buffers does.
template <typename Decoder, typename Change>
void Retune(Decoder& decoder, Change change) {
    DecoderSettings settings = decoder.Settings();
    change(settings);
    decoder.Reconfigure(settings);
}
