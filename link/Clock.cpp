#include "link/Clock.h"

#include <chrono>
#include <thread>

#include "link/SleepPrecision.h"

namespace o8r {

std::uint64_t RealClock::Now() {
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

void RealClock::SleepFor(std::uint64_t ns) {
    // The slack is the sleeping thread's own setting: set once per thread.
    thread_local const bool sharpened = (SharpenSleeps(), true);
    (void)sharpened;
    if (ns > 0)
        std::this_thread::sleep_for(std::chrono::nanoseconds(ns));
}

}  // namespace o8r
