#pragma once

#include <string>

// printf-style formatting into a string of any length; the decoder's messages are built with it.
std::string FormatText(const char* format, ...) __attribute__((format(printf, 1, 2)));
