#include "core/window/TimerSchedule.h"

#include <algorithm>

namespace o8r {

TimerSchedule::Timer* TimerSchedule::Find(TimerId id) {
    auto it =
        std::find_if(m_timers.begin(), m_timers.end(), [id](const Timer& t) { return t.id == id; });
    return it == m_timers.end() ? nullptr : &*it;
}

const TimerSchedule::Timer* TimerSchedule::Find(TimerId id) const {
    auto it =
        std::find_if(m_timers.begin(), m_timers.end(), [id](const Timer& t) { return t.id == id; });
    return it == m_timers.end() ? nullptr : &*it;
}

void TimerSchedule::Start(TimerId id, int periodMs) {
    // A period of 0 would deliver forever without time passing; window systems
    // raise it to their minimum, and so do we.
    const std::uint64_t period = static_cast<std::uint64_t>(std::max(periodMs, 1)) * kNsPerMs;
    Stop(id);
    Timer timer{id, period, 0, false, m_nextGeneration++};
    if (m_clock) {
        timer.due = m_clock->Now() + period;
        timer.dueKnown = true;
    }
    m_timers.push_back(timer);
}

void TimerSchedule::Stop(TimerId id) {
    m_timers.erase(std::remove_if(m_timers.begin(), m_timers.end(),
                                  [id](const Timer& t) { return t.id == id; }),
                   m_timers.end());
}

bool TimerSchedule::IsRunning(TimerId id) const {
    return Find(id) != nullptr;
}

int TimerSchedule::PeriodMs(TimerId id) const {
    const Timer* t = Find(id);
    return t ? static_cast<int>(t->periodNs / kNsPerMs) : 0;
}

void TimerSchedule::Bind(Clock& clock) {
    m_clock = &clock;
    for (Timer& t : m_timers) {
        if (!t.dueKnown) {
            t.due = clock.Now() + t.periodNs;
            t.dueKnown = true;
        }
    }
}

TimerSchedule::RunEnd TimerSchedule::RunUntil(Clock& clock, const std::function<bool()>& done,
                                              const std::function<void(TimerId)>& dispatch,
                                              std::optional<std::uint64_t> limitNs) {
    Bind(clock);
    return RunUntil(done, dispatch, limitNs);
}

TimerSchedule::RunEnd TimerSchedule::RunUntil(const std::function<bool()>& done,
                                              const std::function<void(TimerId)>& dispatch,
                                              std::optional<std::uint64_t> limitNs) {
    if (!m_clock)
        return done() ? RunEnd::Done : RunEnd::NoTimer;
    Bind(*m_clock);
    Clock& clock = *m_clock;
    const std::uint64_t start = clock.Now();
    for (;;) {
        if (done())
            return RunEnd::Done;
        if (m_timers.empty())
            return RunEnd::NoTimer;

        auto next = std::min_element(m_timers.begin(), m_timers.end(),
                                     [](const Timer& a, const Timer& b) { return a.due < b.due; });
        const TimerId id = next->id;
        const std::uint64_t due = next->due;
        const std::uint64_t generation = next->generation;

        if (limitNs && due > start + *limitNs)
            return RunEnd::LimitReached;
        const std::uint64_t now = clock.Now();
        if (due > now)
            clock.SleepFor(due - now);

        ++m_deliveries;
        dispatch(id);

        // The handler may have stopped or restarted this timer; then its own
        // schedule stands. Timers started inside the handler get their due
        // time from the clock at once.
        Bind(clock);
        Timer* t = Find(id);
        if (t && t->generation == generation) {
            t->due = std::max(due + t->periodNs, clock.Now());
        }
    }
}

}  // namespace o8r
