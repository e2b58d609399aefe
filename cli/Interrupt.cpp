#include "cli/Interrupt.h"

#include <atomic>

#if defined(_WIN32)
#include <windows.h>
#else
#include <csignal>
#endif

namespace o8r::cli {

namespace {

// 0 none yet, 1 pending, 2 acted upon. Set from the signal handler (Linux)
// or from the console's handler thread (Windows).
constexpr int kPending = 1;
constexpr int kActedUpon = 2;
std::atomic<int> g_interrupted{0};
static_assert(std::atomic<int>::is_always_lock_free);

#if defined(_WIN32)
BOOL WINAPI OnConsoleControl(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT)
        return FALSE;
    // Any later Ctrl-C ends the program, as the system would.
    int none = 0;
    return g_interrupted.compare_exchange_strong(none, kPending) ? TRUE : FALSE;
}
#else
extern "C" void OnInterrupt(int) {
    g_interrupted = kPending;
    // A second Ctrl-C is not caught.
    std::signal(SIGINT, SIG_DFL);
}
#endif

}  // namespace

void InstallInterruptHandler() {
#if defined(_WIN32)
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#else
    std::signal(SIGINT, OnInterrupt);
#endif
}

bool Interrupted() {
    return g_interrupted == kPending;
}

void AcknowledgeInterrupt() {
    g_interrupted = kActedUpon;
}

}  // namespace o8r::cli
