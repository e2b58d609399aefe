#include "link/SerialBridge.h"

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
            return kSerialStatusInvalidParameter;
        case SP_ERR_MEM:
            return kSerialStatusSystemError;
        case SP_ERR_SUPP:
            return kSerialStatusNotSupported;
        default:
            return onFailure;
    }
}

struct SerialBridge::OpenPort {
    std::string name;
    sp_port* port = nullptr;
};

SerialBridge::SerialBridge(SerialMatch match) : m_match(std::move(match)) {}

SerialBridge::~SerialBridge() {
    while (!m_open.empty())
        CloseOpenPort(m_open.begin());
}

SerialBridge::OpenPort* SerialBridge::Find(DeviceHandle handle) {
    auto it = m_open.find(handle);
    return it == m_open.end() ? nullptr : it->second.get();
}

void SerialBridge::CloseOpenPort(std::map<DeviceHandle, std::unique_ptr<OpenPort>>::iterator it) {
    if (it->second->port != nullptr) {
        sp_close(it->second->port);
        sp_free_port(it->second->port);
    }
    m_open.erase(it);
}

std::vector<std::string> SerialBridge::Enumerate() {
    if (!m_match.portName.empty()) {
        // A named port need not be a USB port the enumeration lists (a
        // pseudo terminal, a symbolic link); it is there when its node is.
        std::error_code ec;
        if (std::filesystem::exists(m_match.portName, ec))
            return {m_match.portName};
        return {};
    }
    std::vector<SerialPortInfo> ports;
    sp_port** list = nullptr;
    if (sp_list_ports(&list) != SP_OK || list == nullptr)
        return {};
    for (sp_port** p = list; *p != nullptr; ++p) {
        SerialPortInfo info;
        const char* name = sp_get_port_name(*p);
        if (name == nullptr)
            continue;
        info.name = name;
        info.usb = sp_get_port_transport(*p) == SP_TRANSPORT_USB;
        if (info.usb) {
            int vid = -1;
            int pid = -1;
            if (sp_get_port_usb_vid_pid(*p, &vid, &pid) == SP_OK) {
                info.vid = vid;
                info.pid = pid;
            }
        }
        ports.push_back(std::move(info));
    }
    sp_free_port_list(list);
    return BoxPortNames(ports, m_match);
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
        return kSerialStatusDeviceNotFound;
    const std::string& name = m_found[deviceIndex];
    // Opening a port that is still open from an earlier Open (the poll going
    // from two boxes back to one) closes the earlier handle first.
    for (auto it = m_open.begin(); it != m_open.end();) {
        auto next = std::next(it);
        if (it->second->name == name)
            CloseOpenPort(it);
        it = next;
    }
    auto open = std::make_unique<OpenPort>();
    open->name = name;
    if (sp_get_port_by_name(name.c_str(), &open->port) != SP_OK) {
        open->port = nullptr;
        return kSerialStatusDeviceNotFound;
    }
    if (sp_open(open->port, SP_MODE_READ_WRITE) != SP_OK) {
        sp_free_port(open->port);
        return kSerialStatusDeviceNotFound;
    }
    // No flow control until the caller asks for it: CTS is a status input.
    sp_set_flowcontrol(open->port, SP_FLOWCONTROL_NONE);
    DeviceHandle assigned = m_nextHandle++;
    if (m_nextHandle == 0)
        m_nextHandle = 1;
    m_open.emplace(assigned, std::move(open));
    handle = assigned;
    return kBridgeOk;
}

BridgeStatus SerialBridge::Close(DeviceHandle handle) {
    auto it = m_open.find(handle);
    if (it == m_open.end())
        return kSerialStatusInvalidHandle;
    CloseOpenPort(it);
    return kBridgeOk;
}

BridgeStatus SerialBridge::Read(DeviceHandle handle, std::uint8_t* buffer, std::uint32_t wanted,
                                std::uint32_t& got) {
    got = 0;
    OpenPort* open = Find(handle);
    if (open == nullptr)
        return kSerialStatusInvalidHandle;
    if (buffer == nullptr && wanted > 0)
        return kSerialStatusInvalidParameter;
    if (wanted == 0)
        return kBridgeOk;
    // libserialport waits for ever on a time-out of 0; here 0 means no wait.
    int result = m_readTimeoutMs == 0
                     ? sp_nonblocking_read(open->port, buffer, wanted)
                     : sp_blocking_read(open->port, buffer, wanted, m_readTimeoutMs);
    if (result < 0)
        return StatusFromSerialResult(result, kSerialStatusReadError);
    got = static_cast<std::uint32_t>(result);
    return kBridgeOk;
}

BridgeStatus SerialBridge::Write(DeviceHandle handle, const std::uint8_t* buffer,
                                 std::uint32_t count, std::uint32_t& written) {
    written = 0;
    OpenPort* open = Find(handle);
    if (open == nullptr)
        return kSerialStatusInvalidHandle;
    if (buffer == nullptr && count > 0)
        return kSerialStatusInvalidParameter;
    if (count == 0)
        return kBridgeOk;
    int result = m_writeTimeoutMs == 0
                     ? sp_nonblocking_write(open->port, buffer, count)
                     : sp_blocking_write(open->port, buffer, count, m_writeTimeoutMs);
    if (result < 0)
        return StatusFromSerialResult(result, kSerialStatusWriteError);
    written = static_cast<std::uint32_t>(result);
    return kBridgeOk;
}

BridgeStatus SerialBridge::FlushBuffers(DeviceHandle handle, std::uint8_t flushTransmit,
                                        std::uint8_t flushReceive) {
    OpenPort* open = Find(handle);
    if (open == nullptr)
        return kSerialStatusInvalidHandle;
    int which = (flushTransmit != 0 ? SP_BUF_OUTPUT : 0) | (flushReceive != 0 ? SP_BUF_INPUT : 0);
    if (which == 0)
        return kBridgeOk;
    return StatusFromSerialResult(sp_flush(open->port, static_cast<sp_buffer>(which)),
                                  kSerialStatusIoFailed);
}

BridgeStatus SerialBridge::SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) {
    m_readTimeoutMs = readMs;
    m_writeTimeoutMs = writeMs;
    return kBridgeOk;
}

BridgeStatus SerialBridge::CheckRxQueue(DeviceHandle handle, std::uint32_t& bytesQueued,
                                        std::uint32_t& queueStatus) {
    OpenPort* open = Find(handle);
    if (open == nullptr)
        return kSerialStatusInvalidHandle;
    int result = sp_input_waiting(open->port);
    if (result < 0)
        return StatusFromSerialResult(result, kSerialStatusIoFailed);
    bytesQueued = static_cast<std::uint32_t>(result);
    queueStatus = bytesQueued > 0 ? 2 : 0;
    return kBridgeOk;
}

BridgeStatus SerialBridge::SetBaudRate(DeviceHandle handle, std::uint32_t baud) {
    OpenPort* open = Find(handle);
    if (open == nullptr)
        return kSerialStatusInvalidHandle;
    if (baud == 0 || baud > 4'000'000)
        return kSerialStatusInvalidBaudRate;
    int result = sp_set_baudrate(open->port, static_cast<int>(baud));
    if (result == SP_ERR_ARG)
        return kSerialStatusInvalidBaudRate;
    return StatusFromSerialResult(result, kSerialStatusIoFailed);
}

BridgeStatus SerialBridge::SetLineControl(DeviceHandle handle, std::uint16_t lineControl) {
    OpenPort* open = Find(handle);
    if (open == nullptr)
        return kSerialStatusInvalidHandle;
    std::optional<LineSettings> line = DecodeLineControl(lineControl);
    if (!line)
        return kSerialStatusInvalidParameter;
    sp_parity parity = SP_PARITY_NONE;
    switch (line->parity) {
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
    int result = sp_set_bits(open->port, line->dataBits);
    if (result == SP_OK)
        result = sp_set_parity(open->port, parity);
    if (result == SP_OK)
        result = sp_set_stopbits(open->port, line->stopBits);
    return StatusFromSerialResult(result, kSerialStatusIoFailed);
}

BridgeStatus SerialBridge::SetFlowControl(DeviceHandle handle, std::uint8_t ctsMask,
                                          std::uint8_t rtsMask, std::uint8_t dtrMask,
                                          std::uint8_t dsrMask, std::uint8_t dcdMask,
                                          bool xonXoff) {
    OpenPort* open = Find(handle);
    if (open == nullptr)
        return kSerialStatusInvalidHandle;
    std::optional<FlowSettings> flow =
        DecodeFlowControl(ctsMask, rtsMask, dtrMask, dsrMask, dcdMask, xonXoff);
    if (!flow)
        return kSerialStatusInvalidParameter;
    sp_port* port = open->port;
    // Handshakes first, so that RTS and DTR are free to be set by hand.
    int result = sp_set_cts(port, flow->ctsHandshake ? SP_CTS_FLOW_CONTROL : SP_CTS_IGNORE);
    if (result == SP_OK) {
        result = sp_set_dsr(port, flow->dsrHandshake ? SP_DSR_FLOW_CONTROL : SP_DSR_IGNORE);
    }
    if (result == SP_OK) {
        result = sp_set_xon_xoff(port, flow->xonXoff ? SP_XONXOFF_INOUT : SP_XONXOFF_DISABLED);
    }
    if (result == SP_OK)
        result = sp_set_rts(port, flow->rtsActive ? SP_RTS_ON : SP_RTS_OFF);
    if (result == SP_OK)
        result = sp_set_dtr(port, flow->dtrActive ? SP_DTR_ON : SP_DTR_OFF);
    return StatusFromSerialResult(result, kSerialStatusIoFailed);
}

BridgeStatus SerialBridge::GetModemStatus(DeviceHandle handle, std::uint8_t& status) {
    OpenPort* open = Find(handle);
    if (open == nullptr)
        return kSerialStatusInvalidHandle;
    sp_signal signals = static_cast<sp_signal>(0);
    int result = sp_get_signals(open->port, &signals);
    if (result != SP_OK)
        return StatusFromSerialResult(result, kSerialStatusIoFailed);
    status = ModemStatusFromSignals((signals & SP_SIG_CTS) != 0, (signals & SP_SIG_DSR) != 0,
                                    (signals & SP_SIG_DCD) != 0, (signals & SP_SIG_RI) != 0);
    return kBridgeOk;
}

}  // namespace o8r
