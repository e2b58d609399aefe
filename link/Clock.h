#pragma once

// Time seen by the link routines, the operation engine and the simulated box.
// The loop counts of the box protocol get real lengths here: a pause of N
// iterations lasts N nanoseconds, a readiness poll at least 1 ms, and an
// operation-timer tick allowance of N ticks N x 15.625 ms of elapsed time.

#include <cstdint>

namespace o8r {

constexpr std::uint64_t kNsPerMs = 1'000'000;
constexpr std::uint64_t kPollFloorNs = kNsPerMs;
constexpr std::uint64_t kTickAllowanceNs = 15'625'000;

class Clock {
  public:
    virtual ~Clock() = default;

    // Monotonic time in nanoseconds.
    virtual std::uint64_t Now() = 0;
    // Lets `ns` nanoseconds pass (a real sleep, or an advance of virtual time).
    virtual void SleepFor(std::uint64_t ns) = 0;

    // A pause of the given number of loop iterations.
    void Pause(std::uint64_t iterations) { SleepFor(iterations); }
    // One poll of a readiness loop: the pause, but never shorter than 1 ms.
    void PollPause(std::uint64_t iterations) {
        SleepFor(iterations < kPollFloorNs ? kPollFloorNs : iterations);
    }
};

// Sleeps for real; no busy-wait.
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
