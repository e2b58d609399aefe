#include "bridges/SerialBridge.h"

#include <libserialport.h>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace o8r {

std::vector<std::string> BoxPortNames(const std::vector<SerialPortInfo>& ports,
                                      const SerialMatch& match) {
    std::vector<std::string> names;
    for (const SerialPortInfo& port : ports) {
        if (!match.portName.empty()) {
            if (port.name == match.portName)
                names.push_back(port.name);
            continue;
        }
        if (port.usb && port.vid == match.vid && port.pid == match.pid) {
            names.push_back(port.name);
        }
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

std::vector<SerialPortInfo> BoxPorts(const std::vector<SerialPortInfo>& ports,
                                     const SerialMatch& match) {
    std::vector<SerialPortInfo> found;
    for (const std::string& name : BoxPortNames(ports, match)) {
        const auto it = std::find_if(ports.begin(), ports.end(),
                                     [&](const SerialPortInfo& port) { return port.name == name; });
        found.push_back(*it);
    }
    return found;
}

std::optional<LineSettings> DecodeLineControl(std::uint16_t word) {
    LineSettings settings;
    int stop = word & 0x0F;
    int parity = (word >> 4) & 0x0F;
    int bits = (word >> 8) & 0xFF;
    if (bits < 5 || bits > 8)
        return std::nullopt;
    if (stop == 0) {
        settings.stopBits = 1;
    } else if (stop == 2) {
        settings.stopBits = 2;
    } else {
        return std::nullopt;
    }
    switch (parity) {
        case 0:
            settings.parity = LineSettings::Parity::None;
            break;
        case 1:
            settings.parity = LineSettings::Parity::Odd;
            break;
        case 2:
            settings.parity = LineSettings::Parity::Even;
            break;
        case 3:
            settings.parity = LineSettings::Parity::Mark;
            break;
        case 4:
            settings.parity = LineSettings::Parity::Space;
            break;
        default:
            return std::nullopt;
    }
    settings.dataBits = bits;
    return settings;
}

std::optional<FlowSettings> DecodeFlowControl(std::uint8_t ctsMask, std::uint8_t rtsMask,
                                              std::uint8_t dtrMask, std::uint8_t dsrMask,
                                              std::uint8_t dcdMask, bool xonXoff) {
    if (ctsMask > 1 || rtsMask > 1 || dtrMask > 1 || dsrMask > 1 || dcdMask != 0) {
        return std::nullopt;
    }
    FlowSettings flow;
    flow.ctsHandshake = ctsMask == 1;
    flow.rtsActive = rtsMask == 1;
    flow.dtrActive = dtrMask == 1;
    flow.dsrHandshake = dsrMask == 1;
    flow.xonXoff = xonXoff;
    return flow;
}

std::uint8_t ModemStatusFromSignals(bool cts, bool dsr, bool dcd, bool ri) {
    std::uint8_t status = 0;
    if (cts)
        status |= 0x10;
    if (dsr)
        status |= 0x20;
    if (ri)
        status |= 0x40;
    if (dcd)
        status |= 0x80;
    return status;
}

BridgeStatus StatusFromSerialResult(int result, BridgeStatus onFailure) {
    if (result >= 0)
        return kBridgeOk;
    switch (result) {
        case SP_ERR_ARG:
            return kBridgeInvalidParameter;
        case SP_ERR_MEM:
            return kBridgeSystemError;
        case SP_ERR_SUPP:
            return kBridgeNotSupported;
        default:
            return onFailure;
    }
}

namespace {

// Ports are held in a table; a port id is its index.
class LibSerialPortDriver final : public SerialPortDriver {
  public:
    ~LibSerialPortDriver() override {
        for (std::size_t i = 0; i < m_ports.size(); ++i)
            Close(static_cast<int>(i));
    }

    std::vector<SerialPortInfo> ListPorts() override {
        std::vector<SerialPortInfo> ports;
        sp_port** list = nullptr;
        if (sp_list_ports(&list) != SP_OK || list == nullptr)
            return ports;
        for (sp_port** p = list; *p != nullptr; ++p) {
            const char* name = sp_get_port_name(*p);
            if (name == nullptr)
                continue;
            SerialPortInfo info;
            info.name = name;
            info.usb = sp_get_port_transport(*p) == SP_TRANSPORT_USB;
            int vid = -1;
            int pid = -1;
            if (info.usb && sp_get_port_usb_vid_pid(*p, &vid, &pid) == SP_OK) {
                info.vid = vid;
                info.pid = pid;
            }
            if (info.usb) {
                if (const char* serial = sp_get_port_usb_serial(*p))
                    info.usbSerial = serial;
            }
            ports.push_back(std::move(info));
        }
        sp_free_port_list(list);
        return ports;
    }

    bool PortExists(const std::string& name) override {
        std::error_code ec;
        return std::filesystem::exists(name, ec);
    }

    int Open(const std::string& name) override {
        sp_port* port = nullptr;
        int result = sp_get_port_by_name(name.c_str(), &port);
        if (result != SP_OK)
            return result;
        result = sp_open(port, SP_MODE_READ_WRITE);
        if (result != SP_OK) {
            sp_free_port(port);
            return result;
        }
        // No flow control until asked for: CTS is a status input.
        sp_set_flowcontrol(port, SP_FLOWCONTROL_NONE);
        for (std::size_t i = 0; i < m_ports.size(); ++i) {
            if (m_ports[i] == nullptr) {
                m_ports[i] = port;
                return static_cast<int>(i);
            }
        }
        m_ports.push_back(port);
        return static_cast<int>(m_ports.size() - 1);
    }

    void Close(int id) override {
        sp_port* port = At(id);
        if (port == nullptr)
            return;
        sp_close(port);
        sp_free_port(port);
        m_ports[static_cast<std::size_t>(id)] = nullptr;
    }

    int Read(int id, std::uint8_t* buffer, std::uint32_t count, std::uint32_t timeoutMs) override {
        sp_port* port = At(id);
        if (port == nullptr)
            return SP_ERR_ARG;
        // libserialport waits for ever on a time-out of 0; here 0 means no wait.
        return timeoutMs == 0 ? sp_nonblocking_read(port, buffer, count)
                              : sp_blocking_read(port, buffer, count, timeoutMs);
    }

    int Write(int id, const std::uint8_t* buffer, std::uint32_t count,
              std::uint32_t timeoutMs) override {
        sp_port* port = At(id);
        if (port == nullptr)
            return SP_ERR_ARG;
        return timeoutMs == 0 ? sp_nonblocking_write(port, buffer, count)
                              : sp_blocking_write(port, buffer, count, timeoutMs);
    }

    int Flush(int id, bool transmit, bool receive) override {
        sp_port* port = At(id);
        if (port == nullptr)
            return SP_ERR_ARG;
        int which = (transmit ? SP_BUF_OUTPUT : 0) | (receive ? SP_BUF_INPUT : 0);
        if (which == 0)
            return SP_OK;
        return sp_flush(port, static_cast<sp_buffer>(which));
    }

    int InputWaiting(int id) override {
        sp_port* port = At(id);
        return port == nullptr ? SP_ERR_ARG : sp_input_waiting(port);
    }

    int SetBaudRate(int id, std::uint32_t baud) override {
        sp_port* port = At(id);
        return port == nullptr ? SP_ERR_ARG : sp_set_baudrate(port, static_cast<int>(baud));
    }

    int SetLine(int id, const LineSettings& line) override {
        sp_port* port = At(id);
        if (port == nullptr)
            return SP_ERR_ARG;
        sp_parity parity = SP_PARITY_NONE;
        switch (line.parity) {
            case LineSettings::Parity::None:
                parity = SP_PARITY_NONE;
                break;
            case LineSettings::Parity::Odd:
                parity = SP_PARITY_ODD;
                break;
            case LineSettings::Parity::Even:
                parity = SP_PARITY_EVEN;
                break;
            case LineSettings::Parity::Mark:
                parity = SP_PARITY_MARK;
                break;
            case LineSettings::Parity::Space:
                parity = SP_PARITY_SPACE;
                break;
        }
        int result = sp_set_bits(port, line.dataBits);
        if (result == SP_OK)
            result = sp_set_parity(port, parity);
        if (result == SP_OK)
            result = sp_set_stopbits(port, line.stopBits);
        return result;
    }

    int SetFlow(int id, const FlowSettings& flow) override {
        sp_port* port = At(id);
        if (port == nullptr)
            return SP_ERR_ARG;
        // Handshakes first, so that RTS and DTR are free to be set by hand.
        int result = sp_set_cts(port, flow.ctsHandshake ? SP_CTS_FLOW_CONTROL : SP_CTS_IGNORE);
        if (result == SP_OK) {
            result = sp_set_dsr(port, flow.dsrHandshake ? SP_DSR_FLOW_CONTROL : SP_DSR_IGNORE);
        }
        if (result == SP_OK) {
            result = sp_set_xon_xoff(port, flow.xonXoff ? SP_XONXOFF_INOUT : SP_XONXOFF_DISABLED);
        }
        if (result == SP_OK)
            result = sp_set_rts(port, flow.rtsActive ? SP_RTS_ON : SP_RTS_OFF);
        if (result == SP_OK)
            result = sp_set_dtr(port, flow.dtrActive ? SP_DTR_ON : SP_DTR_OFF);
        return result;
    }

    int ModemStatus(int id) override {
        sp_port* port = At(id);
        if (port == nullptr)
            return SP_ERR_ARG;
        sp_signal signals = static_cast<sp_signal>(0);
        int result = sp_get_signals(port, &signals);
        if (result != SP_OK)
            return result;
        return ModemStatusFromSignals((signals & SP_SIG_CTS) != 0, (signals & SP_SIG_DSR) != 0,
                                      (signals & SP_SIG_DCD) != 0, (signals & SP_SIG_RI) != 0);
    }

  private:
    sp_port* At(int id) const {
        if (id < 0 || static_cast<std::size_t>(id) >= m_ports.size())
            return nullptr;
        return m_ports[static_cast<std::size_t>(id)];
    }

    std::vector<sp_port*> m_ports;
};

}  // namespace

std::unique_ptr<SerialPortDriver> MakeLibSerialPortDriver() {
    return std::make_unique<LibSerialPortDriver>();
}

SerialBridge::SerialBridge(SerialMatch match)
    : SerialBridge(std::move(match), MakeLibSerialPortDriver()) {}

SerialBridge::SerialBridge(SerialMatch match, std::unique_ptr<SerialPortDriver> driver)
    : m_match(std::move(match)), m_driver(std::move(driver)) {}

SerialBridge::~SerialBridge() {
    for (const auto& [handle, open] : m_open)
        m_driver->Close(open.port);
}

const SerialBridge::OpenPort* SerialBridge::Find(DeviceHandle handle) const {
    auto it = m_open.find(handle);
    return it == m_open.end() ? nullptr : &it->second;
}

std::vector<std::string> SerialBridge::Enumerate() {
    if (!m_match.portName.empty()) {
        if (m_driver->PortExists(m_match.portName))
            return {m_match.portName};
        return {};
    }
    return BoxPortNames(m_driver->ListPorts(), m_match);
}

BridgeStatus SerialBridge::GetDeviceCount(std::uint32_t& count) {
    m_found = Enumerate();
    count = static_cast<std::uint32_t>(m_found.size());
    return kBridgeOk;
}

BridgeStatus SerialBridge::Open(std::uint32_t deviceIndex, DeviceHandle& handle) {
    if (m_found.empty())
        m_found = Enumerate();
    if (deviceIndex >= m_found.size())
        return kBridgeDeviceNotFound;
    const std::string name = m_found[deviceIndex];
    // Opening a port that is still open from an earlier Open (the poll going
    // from two boxes back to one) closes the earlier handle first.
    for (auto it = m_open.begin(); it != m_open.end();) {
        if (it->second.name == name) {
            m_driver->Close(it->second.port);
            it = m_open.erase(it);
        } else {
            ++it;
        }
    }
    int port = m_driver->Open(name);
    if (port < 0)
        return kBridgeDeviceNotFound;
    DeviceHandle assigned = m_nextHandle++;
    if (m_nextHandle == 0)
        m_nextHandle = 1;
    m_open.emplace(assigned, OpenPort{name, port});
    handle = assigned;
    return kBridgeOk;
}

BridgeStatus SerialBridge::Close(DeviceHandle handle) {
    auto it = m_open.find(handle);
    if (it == m_open.end())
        return kBridgeInvalidHandle;
    m_driver->Close(it->second.port);
    m_open.erase(it);
    return kBridgeOk;
}

BridgeStatus SerialBridge::Read(DeviceHandle handle, std::uint8_t* buffer, std::uint32_t wanted,
                                std::uint32_t& got) {
    got = 0;
    const OpenPort* open = Find(handle);
    if (open == nullptr)
        return kBridgeInvalidHandle;
    if (buffer == nullptr && wanted > 0)
        return kBridgeInvalidParameter;
    if (wanted == 0)
        return kBridgeOk;
    int result = m_driver->Read(open->port, buffer, wanted, m_readTimeoutMs);
    if (result < 0)
        return StatusFromSerialResult(result, kBridgeReadError);
    got = std::min(static_cast<std::uint32_t>(result), wanted);
    return kBridgeOk;
}

BridgeStatus SerialBridge::Write(DeviceHandle handle, const std::uint8_t* buffer,
                                 std::uint32_t count, std::uint32_t& written) {
    written = 0;
    const OpenPort* open = Find(handle);
    if (open == nullptr)
        return kBridgeInvalidHandle;
    if (buffer == nullptr && count > 0)
        return kBridgeInvalidParameter;
    if (count == 0)
        return kBridgeOk;
    int result = m_driver->Write(open->port, buffer, count, m_writeTimeoutMs);
    if (result < 0)
        return StatusFromSerialResult(result, kBridgeWriteError);
    written = std::min(static_cast<std::uint32_t>(result), count);
    return kBridgeOk;
}

BridgeStatus SerialBridge::FlushBuffers(DeviceHandle handle, std::uint8_t flushTransmit,
                                        std::uint8_t flushReceive) {
    const OpenPort* open = Find(handle);
    if (open == nullptr)
        return kBridgeInvalidHandle;
    return StatusFromSerialResult(
        m_driver->Flush(open->port, flushTransmit != 0, flushReceive != 0), kBridgeIoFailed);
}

BridgeStatus SerialBridge::SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) {
    m_readTimeoutMs = readMs;
    m_writeTimeoutMs = writeMs;
    return kBridgeOk;
}

BridgeStatus SerialBridge::CheckRxQueue(DeviceHandle handle, std::uint32_t& bytesQueued,
                                        std::uint32_t& queueStatus) {
    const OpenPort* open = Find(handle);
    if (open == nullptr)
        return kBridgeInvalidHandle;
    int result = m_driver->InputWaiting(open->port);
    if (result < 0)
        return StatusFromSerialResult(result, kBridgeIoFailed);
    bytesQueued = static_cast<std::uint32_t>(result);
    queueStatus = bytesQueued > 0 ? 2 : 0;
    return kBridgeOk;
}

BridgeStatus SerialBridge::SetBaudRate(DeviceHandle handle, std::uint32_t baud) {
    const OpenPort* open = Find(handle);
    if (open == nullptr)
        return kBridgeInvalidHandle;
    if (baud == 0 || baud > kMaxSerialBaud)
        return kBridgeInvalidBaudRate;
    int result = m_driver->SetBaudRate(open->port, baud);
    if (result == SP_ERR_ARG)
        return kBridgeInvalidBaudRate;
    return StatusFromSerialResult(result, kBridgeIoFailed);
}

BridgeStatus SerialBridge::SetLineControl(DeviceHandle handle, std::uint16_t lineControl) {
    const OpenPort* open = Find(handle);
    if (open == nullptr)
        return kBridgeInvalidHandle;
    std::optional<LineSettings> line = DecodeLineControl(lineControl);
    if (!line)
        return kBridgeInvalidParameter;
    return StatusFromSerialResult(m_driver->SetLine(open->port, *line), kBridgeIoFailed);
}

BridgeStatus SerialBridge::SetFlowControl(DeviceHandle handle, std::uint8_t ctsMask,
                                          std::uint8_t rtsMask, std::uint8_t dtrMask,
                                          std::uint8_t dsrMask, std::uint8_t dcdMask,
                                          bool xonXoff) {
    const OpenPort* open = Find(handle);
    if (open == nullptr)
        return kBridgeInvalidHandle;
    std::optional<FlowSettings> flow =
        DecodeFlowControl(ctsMask, rtsMask, dtrMask, dsrMask, dcdMask, xonXoff);
    if (!flow)
        return kBridgeInvalidParameter;
    return StatusFromSerialResult(m_driver->SetFlow(open->port, *flow), kBridgeIoFailed);
}

BridgeStatus SerialBridge::GetModemStatus(DeviceHandle handle, std::uint8_t& status) {
    const OpenPort* open = Find(handle);
    if (open == nullptr)
        return kBridgeInvalidHandle;
    int result = m_driver->ModemStatus(open->port);
    if (result < 0)
        return StatusFromSerialResult(result, kBridgeIoFailed);
    status = static_cast<std::uint8_t>(result);
    return kBridgeOk;
}

}  // namespace o8r
