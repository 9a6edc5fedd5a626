#pragma once

// What the calibration step reads from the period histogram after each buffer; the status bar's
// signal indicator shows it.
enum class SignalReading {
    Nothing,    // no cluster of periods, or noise
    Leader,     // a leader tone
    Data,       // data bits
    Unchanged,  // an adjustment was due but not allowed now: the indicator keeps its colours
};
