#pragma once

// A bridge that hands every call to another: a wrapper overrides only the
// calls it adds something to (a look at signals, a state file kept beside
// the box) and forwards the rest.

#include "core/protocol/Bridge.h"

namespace o8r {

class ForwardingBridge : public Bridge {
  public:
    // `inner` may be a member of the derived class: it is not used before
    // the first call.
    explicit ForwardingBridge(Bridge& inner) : m_inner(inner) {}

    BridgeStatus GetDeviceCount(std::uint32_t& count) override {
        return m_inner.GetDeviceCount(count);
    }
    BridgeStatus Open(std::uint32_t deviceIndex, DeviceHandle& handle) override {
        return m_inner.Open(deviceIndex, handle);
    }
    BridgeStatus Close(DeviceHandle handle) override { return m_inner.Close(handle); }
    BridgeStatus Read(DeviceHandle handle, std::uint8_t* buffer, std::uint32_t wanted,
                      std::uint32_t& got) override {
        return m_inner.Read(handle, buffer, wanted, got);
    }
    BridgeStatus Write(DeviceHandle handle, const std::uint8_t* buffer, std::uint32_t count,
                       std::uint32_t& written) override {
        return m_inner.Write(handle, buffer, count, written);
    }
    BridgeStatus FlushBuffers(DeviceHandle handle, std::uint8_t flushTransmit,
                              std::uint8_t flushReceive) override {
        return m_inner.FlushBuffers(handle, flushTransmit, flushReceive);
    }
    BridgeStatus SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) override {
        return m_inner.SetTimeouts(readMs, writeMs);
    }
    BridgeStatus CheckRxQueue(DeviceHandle handle, std::uint32_t& bytesQueued,
                              std::uint32_t& queueStatus) override {
        return m_inner.CheckRxQueue(handle, bytesQueued, queueStatus);
    }
    BridgeStatus SetBaudRate(DeviceHandle handle, std::uint32_t baud) override {
        return m_inner.SetBaudRate(handle, baud);
    }
    BridgeStatus SetLineControl(DeviceHandle handle, std::uint16_t lineControl) override {
        return m_inner.SetLineControl(handle, lineControl);
    }
    BridgeStatus SetFlowControl(DeviceHandle handle, std::uint8_t ctsMask, std::uint8_t rtsMask,
                                std::uint8_t dtrMask, std::uint8_t dsrMask, std::uint8_t dcdMask,
                                bool xonXoff) override {
        return m_inner.SetFlowControl(handle, ctsMask, rtsMask, dtrMask, dsrMask, dcdMask, xonXoff);
    }
    BridgeStatus GetModemStatus(DeviceHandle handle, std::uint8_t& status) override {
        return m_inner.GetModemStatus(handle, status);
    }
    BridgeStatus WaitForAnswer(DeviceHandle handle, AnswerSignal signal,
                               std::uint64_t maxWaitNs) override {
        return m_inner.WaitForAnswer(handle, signal, maxWaitNs);
    }

  private:
    Bridge& m_inner;
};

}  // namespace o8r
