#pragma once

// The USB bridge library SiUSBXp.dll as the Windows bridge binds it: its
// twelve functions by ordinal, and its status codes as bridge statuses. Plain
// data, so that it is the same on every platform and testable anywhere.

#include <array>
#include <cstdint>
#include <string>

#include "core/protocol/Bridge.h"

namespace o8r {

constexpr char kSiUsbXpLibrary[] = "SiUSBXp.dll";
// Bound by name, where the library exports it: a box's serial number,
// description, vendor and product id, in a buffer of this many bytes.
constexpr char kSiUsbXpProductStringName[] = "SI_GetProductString";
constexpr std::uint32_t kSiUsbXpProductStringSize = 256;

// Slots of the binding table, in ordinal order.
enum class SiUsbXpFunction : std::uint8_t {
    GetNumDevices,
    Open,
    Close,
    Read,
    Write,
    FlushBuffers,
    SetTimeouts,
    CheckRxQueue,
    SetBaudRate,
    SetLineControl,
    SetFlowControl,
    GetModemStatus,
};

struct SiUsbXpOrdinal {
    SiUsbXpFunction function;
    std::uint16_t ordinal;
    const char* operation;  // as a message names it
};

constexpr std::array<SiUsbXpOrdinal, 12> kSiUsbXpOrdinals{{
    {SiUsbXpFunction::GetNumDevices, 1, "get device count"},
    {SiUsbXpFunction::Open, 3, "open"},
    {SiUsbXpFunction::Close, 4, "close"},
    {SiUsbXpFunction::Read, 6, "read"},
    {SiUsbXpFunction::Write, 7, "write"},
    {SiUsbXpFunction::FlushBuffers, 9, "flush buffers"},
    {SiUsbXpFunction::SetTimeouts, 10, "set time-outs"},
    {SiUsbXpFunction::CheckRxQueue, 12, "check receive queue"},
    {SiUsbXpFunction::SetBaudRate, 13, "set baud rate"},
    {SiUsbXpFunction::SetLineControl, 15, "set line control"},
    {SiUsbXpFunction::SetFlowControl, 16, "set flow control"},
    {SiUsbXpFunction::GetModemStatus, 17, "get modem status"},
}};

// A status returned by the library (SI_SUCCESS 0, SI_INVALID_HANDLE 1, ...,
// SI_DEVICE_NOT_FOUND 0xFF) as a bridge status: the codes the bridge shares
// keep their number, a time-out counts as a failed read or write, anything
// else unknown as a system error. Never success unless the library said so.
BridgeStatus BridgeStatusFromSiUsbXp(std::int32_t status);

// The one text for a library that cannot be used: `path` is the file tried,
// `missingOrdinal` 0 when the file itself could not be loaded (`reason` then
// says why).
std::string SiUsbXpLoadError(const std::string& path, std::uint16_t missingOrdinal,
                             const std::string& reason);

}  // namespace o8r
