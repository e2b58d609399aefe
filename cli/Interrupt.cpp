#include "cli/Interrupt.h"

#include <atomic>

#if defined(_WIN32)
#include <windows.h>
#else
#include <csignal>
#endif

namespace o8r::cli {

namespace {

// The token's request is a lock-free atomic: safe to set from the signal
// handler (Linux) and from the console's handler thread (Windows).
std::atomic<CancelToken*> g_token{nullptr};

#if defined(_WIN32)
std::atomic<bool> g_caught{false};

BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    // A second Ctrl-C is not caught: the system ends the program.
    if (g_caught.exchange(true))
        return FALSE;
    if (CancelToken* token = g_token.load())
        token->Request();
    return TRUE;
}
#else
extern "C" void OnInterrupt(int) {
    if (CancelToken* token = g_token.load())
        token->Request();
    // A second Ctrl-C is not caught.
    std::signal(SIGINT, SIG_DFL);
}
#endif

}  // namespace

void InstallInterruptHandler(CancelToken& token) {
    g_token = &token;
#if defined(_WIN32)
    g_caught = false;
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#else
    std::signal(SIGINT, OnInterrupt);
#endif
}

void RemoveInterruptHandler() {
#if defined(_WIN32)
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
#else
    std::signal(SIGINT, SIG_DFL);
#endif
    g_token = nullptr;
}

}  // namespace o8r::cli
