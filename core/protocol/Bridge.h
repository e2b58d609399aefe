#pragma once

// The twelve operations of the USB bridge through which the box is reached.
// Every operation returns a status, 0 meaning success.

#include <cstdint>

namespace o8r {

using BridgeStatus = std::uint32_t;
using DeviceHandle = std::uint32_t;

constexpr BridgeStatus kBridgeOk = 0;
// Failure statuses, numbered like those of the USB bridge library so that a
// trace reads the same whichever bridge produced it.
constexpr BridgeStatus kBridgeInvalidHandle = 0x01;
constexpr BridgeStatus kBridgeReadError = 0x02;
constexpr BridgeStatus kBridgeWriteError = 0x04;
constexpr BridgeStatus kBridgeInvalidParameter = 0x06;
constexpr BridgeStatus kBridgeIoFailed = 0x08;
constexpr BridgeStatus kBridgeInvalidBaudRate = 0x09;
constexpr BridgeStatus kBridgeNotSupported = 0x0A;
constexpr BridgeStatus kBridgeSystemError = 0x0C;
constexpr BridgeStatus kBridgeDeviceNotFound = 0xFF;
constexpr std::uint8_t kModemCts = 0x10;  // bit of the modem status byte
constexpr std::uint16_t kLineControl8N1 = 0x0800;

// What tells that the box's answer is ready: CTS low (the box's firmware), or
// bytes in the receive queue (its firmware loader, which does not drive CTS).
enum class AnswerSignal { CtsLow, BytesQueued };

class Bridge {
  public:
    virtual ~Bridge() = default;

    virtual BridgeStatus GetDeviceCount(std::uint32_t& count) = 0;
    virtual BridgeStatus Open(std::uint32_t deviceIndex, DeviceHandle& handle) = 0;
    virtual BridgeStatus Close(DeviceHandle handle) = 0;
    // Blocks for at most the read time-out; `got` may be fewer than `wanted`.
    virtual BridgeStatus Read(DeviceHandle handle, std::uint8_t* buffer, std::uint32_t wanted,
                              std::uint32_t& got) = 0;
    virtual BridgeStatus Write(DeviceHandle handle, const std::uint8_t* buffer, std::uint32_t count,
                               std::uint32_t& written) = 0;
    virtual BridgeStatus FlushBuffers(DeviceHandle handle, std::uint8_t flushTransmit,
                                      std::uint8_t flushReceive) = 0;
    virtual BridgeStatus SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) = 0;
    virtual BridgeStatus CheckRxQueue(DeviceHandle handle, std::uint32_t& bytesQueued,
                                      std::uint32_t& queueStatus) = 0;
    virtual BridgeStatus SetBaudRate(DeviceHandle handle, std::uint32_t baud) = 0;
    virtual BridgeStatus SetLineControl(DeviceHandle handle, std::uint16_t lineControl) = 0;
    // Masks for RTS and DTR: 0 = line held inactive, 1 = held active. CTS mask 0 =
    // CTS is a plain status input. The others are always 0 here.
    virtual BridgeStatus SetFlowControl(DeviceHandle handle, std::uint8_t ctsMask,
                                        std::uint8_t rtsMask, std::uint8_t dtrMask,
                                        std::uint8_t dsrMask, std::uint8_t dcdMask,
                                        bool xonXoff) = 0;
    // Bit 0x10 of `status` is CTS.
    virtual BridgeStatus GetModemStatus(DeviceHandle handle, std::uint8_t& status) = 0;

    // Blocks until `signal` is there or `maxWaitNs` nanoseconds have passed,
    // whichever comes first; the caller then looks at the line itself. A
    // bridge that cannot wait on the line answers kBridgeNotSupported at once,
    // and the caller sleeps a short while instead.
    virtual BridgeStatus WaitForAnswer(DeviceHandle /*handle*/, AnswerSignal /*signal*/,
                                       std::uint64_t /*maxWaitNs*/) {
        return kBridgeNotSupported;
    }
};

}  // namespace o8r
