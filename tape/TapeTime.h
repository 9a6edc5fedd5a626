#pragma once

#include <cstdint>
#include <string>

#include "model/BlockBody.h"

// How long a block plays when an emulator replays the image: its pulses at the Spectrum's
// 3.5 MHz clock and the silence after it, in seconds. A block kept as read from a TZX whose
// signal is not decoded here (a CSW recording, generalised data) counts as no time.
double BlockSeconds(const BlockBody& block);

class CBlockListModel;

// The playing time of the list's first `end` rows (error rows take none): where row `end` starts.
double TapeSeconds(const CBlockListModel& rows, int32_t end);

// A tape position or length as minutes, seconds and tenths: "0:05.2", "12:40.0".
std::string TapeClock(double seconds);
