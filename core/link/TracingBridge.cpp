#include "core/link/TracingBridge.h"

#include <algorithm>
#include <string>

#include "core/protocol/ViolationSource.h"

namespace o8r {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

std::string Hex(const std::uint8_t* bytes, std::uint32_t count) {
    std::string text;
    if (bytes == nullptr)
        return text;
    text.reserve(static_cast<std::size_t>(count) * 2);
    for (std::uint32_t i = 0; i < count; ++i) {
        text.push_back(kHexDigits[bytes[i] >> 4]);
        text.push_back(kHexDigits[bytes[i] & 0x0F]);
    }
    return text;
}

std::string HexWord(std::uint32_t value, int digits) {
    std::string text(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i) {
        text[static_cast<std::size_t>(i)] = kHexDigits[value & 0x0F];
        value >>= 4;
    }
    return text;
}

}  // namespace

TracingBridge::TracingBridge(Bridge& inner, std::ostream& out) : m_inner(inner), m_out(out) {}

TracingBridge::TracingBridge(std::unique_ptr<Bridge> inner, std::ostream& out)
    : m_owned(std::move(inner)), m_inner(*m_owned), m_out(out) {}

std::string TracingBridge::HandleName(DeviceHandle handle) const {
    auto it = std::find(m_handles.begin(), m_handles.end(), handle);
    if (it == m_handles.end())
        return "?";
    return std::to_string(it - m_handles.begin());
}

void TracingBridge::Emit(const std::string& line, BridgeStatus status) {
    m_out << line;
    if (status != kBridgeOk)
        m_out << " !" << status;
    // Flushed per line: a trace must survive a crash or a killed program.
    m_out << std::endl;
    EmitViolations();
}

void TracingBridge::EmitViolations() {
    auto* source = dynamic_cast<ViolationSource*>(&m_inner);
    if (source == nullptr)
        return;
    for (const std::string& violation : source->TakeNewViolations())
        m_out << "! violation: " << violation << std::endl;
}

BridgeStatus TracingBridge::GetDeviceCount(std::uint32_t& count) {
    BridgeStatus status = m_inner.GetDeviceCount(count);
    Emit("count -> " + std::to_string(count), status);
    return status;
}

BridgeStatus TracingBridge::Open(std::uint32_t deviceIndex, DeviceHandle& handle) {
    BridgeStatus status = m_inner.Open(deviceIndex, handle);
    std::string shown = "?";
    if (status == kBridgeOk) {
        if (std::find(m_handles.begin(), m_handles.end(), handle) == m_handles.end()) {
            m_handles.push_back(handle);
        }
        shown = HandleName(handle);
    }
    Emit("open " + std::to_string(deviceIndex) + " -> " + shown, status);
    return status;
}

BridgeStatus TracingBridge::Close(DeviceHandle handle) {
    std::string shown = HandleName(handle);
    BridgeStatus status = m_inner.Close(handle);
    Emit("close -> " + shown, status);
    return status;
}

BridgeStatus TracingBridge::Read(DeviceHandle handle, std::uint8_t* buffer, std::uint32_t wanted,
                                 std::uint32_t& got) {
    BridgeStatus status = m_inner.Read(handle, buffer, wanted, got);
    std::string line = "read " + std::to_string(wanted) + " ->";
    std::uint32_t shown = std::min(got, wanted);
    if (shown > 0) {
        line += ' ';
        line += Hex(buffer, shown);
    }
    Emit(line, status);
    return status;
}

BridgeStatus TracingBridge::Write(DeviceHandle handle, const std::uint8_t* buffer,
                                  std::uint32_t count, std::uint32_t& written) {
    BridgeStatus status = m_inner.Write(handle, buffer, count, written);
    Emit("write " + std::to_string(count) + " " + Hex(buffer, count) + " -> " +
             std::to_string(written),
         status);
    return status;
}

BridgeStatus TracingBridge::FlushBuffers(DeviceHandle handle, std::uint8_t flushTransmit,
                                         std::uint8_t flushReceive) {
    BridgeStatus status = m_inner.FlushBuffers(handle, flushTransmit, flushReceive);
    Emit("flush " + std::to_string(flushTransmit) + " " + std::to_string(flushReceive), status);
    return status;
}

BridgeStatus TracingBridge::SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) {
    BridgeStatus status = m_inner.SetTimeouts(readMs, writeMs);
    Emit("timeouts " + std::to_string(readMs) + " " + std::to_string(writeMs), status);
    return status;
}

BridgeStatus TracingBridge::CheckRxQueue(DeviceHandle handle, std::uint32_t& bytesQueued,
                                         std::uint32_t& queueStatus) {
    BridgeStatus status = m_inner.CheckRxQueue(handle, bytesQueued, queueStatus);
    Emit("queue -> " + std::to_string(bytesQueued), status);
    return status;
}

BridgeStatus TracingBridge::SetBaudRate(DeviceHandle handle, std::uint32_t baud) {
    BridgeStatus status = m_inner.SetBaudRate(handle, baud);
    Emit("baud " + std::to_string(baud), status);
    return status;
}

BridgeStatus TracingBridge::SetLineControl(DeviceHandle handle, std::uint16_t lineControl) {
    BridgeStatus status = m_inner.SetLineControl(handle, lineControl);
    Emit("line " + HexWord(lineControl, 4), status);
    return status;
}

BridgeStatus TracingBridge::SetFlowControl(DeviceHandle handle, std::uint8_t ctsMask,
                                           std::uint8_t rtsMask, std::uint8_t dtrMask,
                                           std::uint8_t dsrMask, std::uint8_t dcdMask,
                                           bool xonXoff) {
    BridgeStatus status =
        m_inner.SetFlowControl(handle, ctsMask, rtsMask, dtrMask, dsrMask, dcdMask, xonXoff);
    Emit("flow " + std::to_string(ctsMask) + " " + std::to_string(rtsMask) + " " +
             std::to_string(dtrMask) + " " + std::to_string(dsrMask) + " " +
             std::to_string(dcdMask) + " " + (xonXoff ? "1" : "0"),
         status);
    return status;
}

BridgeStatus TracingBridge::GetModemStatus(DeviceHandle handle, std::uint8_t& status) {
    BridgeStatus result = m_inner.GetModemStatus(handle, status);
    Emit("modem -> " + HexWord(status, 2), result);
    return result;
}

// The wait itself moves no byte and writes no line: the modem or queue query
// after it shows what it found.
BridgeStatus TracingBridge::WaitForAnswer(DeviceHandle handle, AnswerSignal signal,
                                          std::uint64_t maxWaitNs) {
    return m_inner.WaitForAnswer(handle, signal, maxWaitNs);
}

}  // namespace o8r
