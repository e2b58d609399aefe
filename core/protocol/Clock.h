#pragma once

// Time seen by the link routines, the operation engine and the simulated box.
// The loop counts of the box protocol get real lengths: a pause of N
// iterations lasts N nanoseconds, a readiness poll at least 1 ms.

#include <chrono>
#include <cstdint>

namespace o8r {

constexpr std::uint64_t kNsPerMs = 1'000'000;
constexpr std::chrono::nanoseconds kPollFloor{kNsPerMs};

class Clock {
  public:
    virtual ~Clock() = default;

    // Monotonic time in nanoseconds.
    virtual std::uint64_t Now() = 0;
    // Lets `ns` nanoseconds pass (a real sleep, or an advance of virtual time).
    virtual void SleepFor(std::uint64_t ns) = 0;

    void Pause(std::chrono::nanoseconds length) { SleepFor(Count(length)); }
    // One poll of a readiness loop: the pause, but never shorter than 1 ms.
    void PollPause(std::chrono::nanoseconds length) {
        Pause(length < kPollFloor ? kPollFloor : length);
    }
    // A deadline `allowance` from now, on the Now() scale.
    std::uint64_t DeadlineAfter(std::chrono::nanoseconds allowance) {
        return Now() + Count(allowance);
    }

  private:
    static std::uint64_t Count(std::chrono::nanoseconds length) {
        return length.count() < 0 ? 0 : static_cast<std::uint64_t>(length.count());
    }
};

// Sleeps for real; only a pause shorter than 50 us, which a sleep would
// overshoot many times over, is waited out on the clock.
class RealClock final : public Clock {
  public:
    std::uint64_t Now() override;
    void SleepFor(std::uint64_t ns) override;
};

// Only advances a counter; the simulated box reads the same counter, so long
// waits pass instantly and deterministically.
class VirtualClock final : public Clock {
  public:
    std::uint64_t Now() override { return m_now; }
    void SleepFor(std::uint64_t ns) override { m_now += ns; }
    void Advance(std::uint64_t ns) { m_now += ns; }

  private:
    std::uint64_t m_now = 0;
};

}  // namespace o8r
