#pragma once

// Window timers for hosts without an event loop (benchmarks and the window
// tests). It keeps the running timers and their next due times on a Clock;
// RunUntil lets time pass to the next due timer and delivers it, as a
// platform's timer messages would, until the caller's condition holds. On a
// VirtualClock the waits cost nothing.

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "core/model/Ids.h"
#include "core/protocol/Clock.h"

namespace o8r {

class TimerSchedule {
  public:
    // Without a clock the schedule takes the one handed to the first RunUntil;
    // timers started before then count their first period from that moment.
    TimerSchedule() = default;
    explicit TimerSchedule(Clock& clock) : m_clock(&clock) {}

    // Starts a timer, or restarts it: its first tick falls one period from now.
    void Start(TimerId id, int periodMs);
    void Stop(TimerId id);
    bool IsRunning(TimerId id) const;
    // Period of a running timer in milliseconds, 0 when it is not running.
    int PeriodMs(TimerId id) const;
    bool AnyRunning() const { return !m_timers.empty(); }

    enum class RunEnd { Done, NoTimer, LimitReached };

    // Lets time pass on `clock` to the next due timer and delivers it through
    // `dispatch`, until `done()` holds (checked before every delivery), no
    // timer runs any more, or `limitNs` of clock time has passed. A timer whose
    // handler ran longer than its period fires once more at once and then keeps
    // its period; missed ticks are not delivered in a burst, as with the timer
    // messages of a window system. The clock becomes the schedule's clock.
    RunEnd RunUntil(Clock& clock, const std::function<bool()>& done,
                    const std::function<void(TimerId)>& dispatch,
                    std::optional<std::uint64_t> limitNs = std::nullopt);
    // The same on the schedule's own clock (NoTimer when it has none yet).
    RunEnd RunUntil(const std::function<bool()>& done, const std::function<void(TimerId)>& dispatch,
                    std::optional<std::uint64_t> limitNs = std::nullopt);

    // Number of timer deliveries so far.
    std::uint64_t Deliveries() const { return m_deliveries; }

  private:
    struct Timer {
        TimerId id;
        std::uint64_t periodNs;
        std::uint64_t due;  // meaningless until the schedule has a clock
        bool dueKnown;
        std::uint64_t generation;
    };
    Timer* Find(TimerId id);
    const Timer* Find(TimerId id) const;

    void Bind(Clock& clock);

    Clock* m_clock = nullptr;
    std::vector<Timer> m_timers;  // in order of starting: equal due times go in that order
    std::uint64_t m_nextGeneration = 1;
    std::uint64_t m_deliveries = 0;
};

}  // namespace o8r
