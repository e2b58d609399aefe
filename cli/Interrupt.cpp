#include "cli/Interrupt.h"

#include <atomic>

#if defined(_WIN32)
#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <thread>
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

// A box's o8rprog under gang: the gang's Ctrl-C comes as an event whose
// handle the gang left in O8R_CANCEL_EVENT (the box has a console process
// group of its own, which a typed Ctrl-C does not reach).
HANDLE g_stop = nullptr;
std::thread g_watcher;

HANDLE GangCancelEvent() {
    const char* text = std::getenv("O8R_CANCEL_EVENT");
    if (text == nullptr || *text == '\0')
        return nullptr;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    if (*end != '\0' || value == 0)
        return nullptr;
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(value));
}

void WatchGangCancel(HANDLE cancel) {
    g_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (g_stop == nullptr)
        return;
    g_watcher = std::thread([cancel, stop = g_stop] {
        const HANDLE both[2] = {cancel, stop};
        if (WaitForMultipleObjects(2, both, FALSE, INFINITE) == WAIT_OBJECT_0)
            OnConsoleControl(CTRL_C_EVENT);
    });
}

void StopWatchingGangCancel() {
    if (g_stop == nullptr)
        return;
    SetEvent(g_stop);
    if (g_watcher.joinable())
        g_watcher.join();
    CloseHandle(g_stop);
    g_stop = nullptr;
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
    if (HANDLE cancel = GangCancelEvent(); cancel != nullptr)
        WatchGangCancel(cancel);
#else
    std::signal(SIGINT, OnInterrupt);
#endif
}

void RemoveInterruptHandler() {
#if defined(_WIN32)
    StopWatchingGangCancel();
    SetConsoleCtrlHandler(OnConsoleControl, FALSE);
#else
    std::signal(SIGINT, SIG_DFL);
#endif
    g_token = nullptr;
}

}  // namespace o8r::cli
