#include "cli/Interrupt.h"

#include <csignal>

namespace o8r::cli {

namespace {

// A lock-free atomic: safe to set from the handler.
CancelToken* g_token = nullptr;

extern "C" void OnInterrupt(int) {
    if (g_token != nullptr)
        g_token->Request();
    // A second Ctrl-C is not caught.
    std::signal(SIGINT, SIG_DFL);
}

}  // namespace

void InstallInterruptHandler(CancelToken& token) {
    g_token = &token;
    std::signal(SIGINT, OnInterrupt);
}

void RemoveInterruptHandler() {
    std::signal(SIGINT, SIG_DFL);
    g_token = nullptr;
}

}  // namespace o8r::cli
