#pragma once

// Detail lines for whoever debugs the program: written to standard error, and only when the
// environment variable TAPEWISE_DEBUG is set, so a normal run stays quiet. Lines carry their own
// newline.
void DebugOutput(const char* text);
