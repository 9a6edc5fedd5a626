#include "cli/StopSignals.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {
volatile std::sig_atomic_t g_stopSignal = 0;

void NoteStopSignal(int signal) {
    g_stopSignal = signal;
}
}  // namespace

void CatchStopSignals() {
    struct sigaction action {};
    action.sa_handler = NoteStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

int StopSignal() {
    return g_stopSignal;
}

void EndByStopSignal(int signal) {
    std::fflush(nullptr);
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    std::_Exit(128 + signal);
}
