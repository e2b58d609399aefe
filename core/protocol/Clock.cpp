#include "core/protocol/Clock.h"

#include <chrono>
#include <thread>

#include "platform/SleepPrecision.h"

namespace o8r {

namespace {

// Below this a sleep costs more than it waits.
constexpr std::uint64_t kShortestSleepNs = 50'000;

}  // namespace

std::uint64_t RealClock::Now() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

void RealClock::SleepFor(std::uint64_t ns) {
    // The slack is the sleeping thread's own setting: set once per thread.
    thread_local const bool sharpened = (SharpenSleeps(), true);
    (void)sharpened;
    if (ns == 0)
        return;
    if (ns >= kShortestSleepNs) {
        std::this_thread::sleep_for(std::chrono::nanoseconds(ns));
        return;
    }
    // A sleep this short would overshoot by more than its own length (and by
    // a scheduling delay on a busy machine): it is waited out instead.
    const std::uint64_t until = Now() + ns;
    while (Now() < until) {
    }
}

}  // namespace o8r
