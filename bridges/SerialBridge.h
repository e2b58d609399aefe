#pragma once

// The real box on Linux and macOS: its USB-to-UART bridge shows up as a
// serial port (the cp210x driver, USB id 10c4:ea61), reached through
// libserialport. DTR is the box's reset line, CTS its busy line.
//
// Every call that can block is bounded: reads and writes by the time-outs
// (a time-out of 0 means "do not wait", never "wait for ever"), everything
// else returns as soon as the operating system answers, so a box that
// vanishes mid-call gives a failure status instead of a hang.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/protocol/Bridge.h"

namespace o8r {

constexpr std::uint32_t kMaxSerialBaud = 4'000'000;

// Which ports count as boxes.
struct SerialMatch {
    std::uint16_t vid = 0x10C4;
    std::uint16_t pid = 0xEA61;
    // When set, exactly this port is the one box (if it exists), whatever its id.
    std::string portName;
};

// One port as the operating system describes it.
struct SerialPortInfo {
    std::string name;
    bool usb = false;
    int vid = -1;
    int pid = -1;
    std::string usbSerial = {};  // the USB device's serial number, where the system gives it
};

// The ports that are boxes, sorted by name so that device indexes stay put.
std::vector<std::string> BoxPortNames(const std::vector<SerialPortInfo>& ports,
                                      const SerialMatch& match);
// The same ports with what the system says of them, sorted by name.
std::vector<SerialPortInfo> BoxPorts(const std::vector<SerialPortInfo>& ports,
                                     const SerialMatch& match);

// Line-control word: bits 0-3 stop bits (0 = 1, 1 = 1.5, 2 = 2), bits 4-7
// parity (0 none, 1 odd, 2 even, 3 mark, 4 space), bits 8-15 data bits (5-8).
struct LineSettings {
    int dataBits = 8;
    enum class Parity { None, Odd, Even, Mark, Space } parity = Parity::None;
    int stopBits = 1;  // 1 or 2; one and a half is not offered by serial ports here
    friend bool operator==(const LineSettings&, const LineSettings&) = default;
};
std::optional<LineSettings> DecodeLineControl(std::uint16_t word);

// Flow-control masks: RTS and DTR 0 = held inactive, 1 = held active; CTS and
// DSR 0 = status input, 1 = handshake. DCD handshake and the bridge's other
// modes are not available on a serial port.
struct FlowSettings {
    bool ctsHandshake = false;
    bool rtsActive = false;
    bool dtrActive = false;
    bool dsrHandshake = false;
    bool xonXoff = false;
    friend bool operator==(const FlowSettings&, const FlowSettings&) = default;
};
std::optional<FlowSettings> DecodeFlowControl(std::uint8_t ctsMask, std::uint8_t rtsMask,
                                              std::uint8_t dtrMask, std::uint8_t dsrMask,
                                              std::uint8_t dcdMask, bool xonXoff);

// The modem status byte: CTS 0x10, DSR 0x20, RI 0x40, DCD 0x80.
std::uint8_t ModemStatusFromSignals(bool cts, bool dsr, bool dcd, bool ri);

// A driver result (bytes or a negative libserialport error) as a bridge
// status; `onFailure` names what failed when the operating system refused.
BridgeStatus StatusFromSerialResult(int result, BridgeStatus onFailure);

// The operating system's serial ports, as the bridge needs them. Results are
// libserialport's: a count of bytes, 0, or a negative error code.
class SerialPortDriver {
  public:
    virtual ~SerialPortDriver() = default;
    virtual std::vector<SerialPortInfo> ListPorts() = 0;
    // A named port need not be one the listing shows (a symbolic link).
    virtual bool PortExists(const std::string& name) = 0;
    // A port id (>= 0) or an error.
    virtual int Open(const std::string& name) = 0;
    virtual void Close(int port) = 0;
    // `timeoutMs` 0: take what is there and return at once.
    virtual int Read(int port, std::uint8_t* buffer, std::uint32_t count,
                     std::uint32_t timeoutMs) = 0;
    virtual int Write(int port, const std::uint8_t* buffer, std::uint32_t count,
                      std::uint32_t timeoutMs) = 0;
    virtual int Flush(int port, bool transmit, bool receive) = 0;
    virtual int InputWaiting(int port) = 0;
    virtual int SetBaudRate(int port, std::uint32_t baud) = 0;
    virtual int SetLine(int port, const LineSettings& line) = 0;
    virtual int SetFlow(int port, const FlowSettings& flow) = 0;
    // The modem status byte (ModemStatusFromSignals), or an error.
    virtual int ModemStatus(int port) = 0;
};

// The driver over libserialport.
std::unique_ptr<SerialPortDriver> MakeLibSerialPortDriver();

class SerialBridge final : public Bridge {
  public:
    // Over libserialport.
    explicit SerialBridge(SerialMatch match = {});
    SerialBridge(SerialMatch match, std::unique_ptr<SerialPortDriver> driver);
    ~SerialBridge() override;
    SerialBridge(const SerialBridge&) = delete;
    SerialBridge& operator=(const SerialBridge&) = delete;

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

    // The ports found by the last device count.
    const std::vector<std::string>& FoundPorts() const { return m_found; }
    std::size_t OpenHandleCount() const { return m_open.size(); }

  private:
    struct OpenPort {
        std::string name;
        int port = -1;
    };
    const OpenPort* Find(DeviceHandle handle) const;
    std::vector<std::string> Enumerate();

    SerialMatch m_match;
    std::unique_ptr<SerialPortDriver> m_driver;
    std::vector<std::string> m_found;
    std::map<DeviceHandle, OpenPort> m_open;
    DeviceHandle m_nextHandle = 1;
    std::uint32_t m_readTimeoutMs = 1000;
    std::uint32_t m_writeTimeoutMs = 1000;
};

}  // namespace o8r
