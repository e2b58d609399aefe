#pragma once

// Wraps any Bridge and writes one line per call, so that every byte exchanged
// with the box can be seen. The lines, one per operation:
//
//   count -> 1                  devices found
//   open 0 -> 0                 device index -> handle number
//   close -> 0                  handle number
//   write 2 4500 -> 2           bytes asked, the bytes (upper-case hex), bytes written
//   read 256 -> FFFF...         bytes wanted -> the bytes received ("read 1 ->" when none)
//   flush 1 1                   transmit, receive
//   timeouts 1000 1000          read ms, write ms
//   queue -> 3                  bytes queued
//   baud 500000
//   line 0800                   line-control word, four hex digits
//   flow 0 1 0 0 0 0            CTS RTS DTR DSR DCD Xon/Xoff masks
//   modem -> 10                 modem status, two hex digits
//
// A wait for the box's answer (WaitForAnswer) is handed on without a line of
// its own: the modem or queue query that follows it shows what it found.
// A call that fails (non-zero status) gets " !<status in decimal>" at the end.
// When the inner bridge judges the traffic (a ViolationSource, such as the
// simulated box), each rule the call broke follows on a line of its own:
//
//   ! violation: byte 56 starts a command while the box is busy (CTS high)
// Handles appear as numbers in the order the handles were first handed out
// (0 for the first), so traces do not depend on the values a bridge picks; a
// handle never handed out appears as "?".

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "core/protocol/Bridge.h"

namespace o8r {

class TracingBridge final : public Bridge {
  public:
    TracingBridge(Bridge& inner, std::ostream& out);
    // Takes the inner bridge over.
    TracingBridge(std::unique_ptr<Bridge> inner, std::ostream& out);

    BridgeStatus GetDeviceCount(std::uint32_t& count) override;
    BridgeStatus Open(std::uint32_t deviceIndex, DeviceHandle& handle) override;
    BridgeStatus Close(DeviceHandle handle) override;
    BridgeStatus Read(DeviceHandle handle, std::uint8_t* buffer, std::uint32_t wanted,
                      std::uint32_t& got) override;
    BridgeStatus Write(DeviceHandle handle, const std::uint8_t* buffer, std::uint32_t count,
                       std::uint32_t& written) override;
    BridgeStatus FlushBuffers(DeviceHandle handle, std::uint8_t flushTransmit,
                              std::uint8_t flushReceive) override;
    BridgeStatus SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) override;
    BridgeStatus CheckRxQueue(DeviceHandle handle, std::uint32_t& bytesQueued,
                              std::uint32_t& queueStatus) override;
    BridgeStatus SetBaudRate(DeviceHandle handle, std::uint32_t baud) override;
    BridgeStatus SetLineControl(DeviceHandle handle, std::uint16_t lineControl) override;
    BridgeStatus SetFlowControl(DeviceHandle handle, std::uint8_t ctsMask, std::uint8_t rtsMask,
                                std::uint8_t dtrMask, std::uint8_t dsrMask, std::uint8_t dcdMask,
                                bool xonXoff) override;
    BridgeStatus GetModemStatus(DeviceHandle handle, std::uint8_t& status) override;
    BridgeStatus WaitForAnswer(DeviceHandle handle, AnswerSignal signal,
                               std::uint64_t maxWaitNs) override;

    Bridge& Inner() { return m_inner; }

  private:
    std::string HandleName(DeviceHandle handle) const;
    void Emit(const std::string& line, BridgeStatus status);
    void EmitViolations();

    std::unique_ptr<Bridge> m_owned;
    Bridge& m_inner;
    std::ostream& m_out;
    std::vector<DeviceHandle> m_handles;  // in the order they were handed out
};

}  // namespace o8r
