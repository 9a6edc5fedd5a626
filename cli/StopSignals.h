#pragma once

// SIGINT, SIGTERM and SIGHUP asking a long command (decode, live) to stop: the command stops
// reading, keeps and saves what has loaded, and then ends.

// Installs handlers that only note the signal. A read waiting on a pipe returns early (the
// handlers do not restart it), so that the command sees the request at once.
void CatchStopSignals();

// The signal that asked to stop, or 0.
int StopSignal();

// Ends the program as the signal ends it by default, so that a shell sees the usual status
// (128 + the signal's number). Standard output and error are flushed first.
[[noreturn]] void EndByStopSignal(int signal);
