#include "cli/Interrupt.h"

#include <csignal>

namespace o8r::cli {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int) {
    g_interrupted = 1;
    // A second Ctrl-C is not caught.
    std::signal(SIGINT, SIG_DFL);
}

}  // namespace

void InstallInterruptHandler() {
    std::signal(SIGINT, OnInterrupt);
}

bool Interrupted() {
    return g_interrupted != 0;
}

void AcknowledgeInterrupt() {
    g_interrupted = 0;
}

}  // namespace o8r::cli
