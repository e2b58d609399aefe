#pragma once

// A simulated box on a virtual clock with one open handle, driven byte by
// byte the way the box's own tests need it (no controller in between).

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/protocol/Clock.h"
#include "core/window/SharedState.h"
#include "sim/SimulatedBox.h"

namespace o8r::test {

using Bytes = std::vector<std::uint8_t>;

// Fails the running test for every protocol violation the box recorded: a
// test that provokes one on purpose checks it and clears the box's list.
void ExpectNoViolations(const SimulatedBox& box);

class SimRig {
  public:
    explicit SimRig(SimOptions options = SimOptions{});
    ~SimRig() { ExpectNoViolations(box); }
    SimRig(const SimRig&) = delete;
    SimRig& operator=(const SimRig&) = delete;

    VirtualClock clock;
    SimulatedBox box;
    DeviceHandle handle = 0;

    // Opens device 0, pulses reset, sets the line (8N1 at `baud`) and lets
    // the box boot.
    void Attach(std::uint32_t baud = SimulatedBox::kNormalBaud);
    void AssertReset();
    void ReleaseReset();

    // Bytes written as one write; returns the bytes-written count.
    std::uint32_t Send(const Bytes& bytes);
    bool CtsHigh();
    std::uint32_t Queued();
    // One read of `wanted` bytes; what came back.
    Bytes Read(std::uint32_t wanted);
    // Polls CTS every 100 us of virtual time until it drops (at most 10 s).
    void WaitReady();
    // Waits for CTS low, then reads.
    Bytes Answer(std::uint32_t wanted) {
        WaitReady();
        return Read(wanted);
    }
    // The violations the box recorded so far, taken out of its list.
    std::vector<std::string> TakeViolations();
    // 'C' and 'U' with the code; true when both were answered 'O'.
    bool Unlock(const std::array<std::uint8_t, 7>& code = kErasedCode);

    static constexpr std::array<std::uint8_t, 7> kErasedCode = {0xFF, 0xFF, 0xFF, 0xFF,
                                                                0xFF, 0xFF, 0xFF};
};

// A page record for `page` holding `data` (256 bytes), with its checksum.
PageRecord MakeRecord(std::uint16_t page, const Bytes& data);
// A page of one repeated byte.
PageRecord FilledRecord(std::uint16_t page, std::uint8_t value);
Bytes RecordBytes(const PageRecord& record);
Bytes Le16Bytes(std::uint16_t value);

}  // namespace o8r::test
