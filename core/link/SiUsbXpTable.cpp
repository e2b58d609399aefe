#include "core/link/SiUsbXpTable.h"

namespace o8r {

BridgeStatus BridgeStatusFromSiUsbXp(std::int32_t status) {
    switch (status) {
        case 0x00:
            return kBridgeOk;
        case 0x01:
            return kBridgeInvalidHandle;
        case 0x02:  // read error
        case 0x03:  // receive queue not ready
        case 0x0D:  // read timed out
            return kBridgeReadError;
        case 0x04:  // write error
        case 0x0E:  // write timed out
            return kBridgeWriteError;
        case 0x06:  // invalid parameter
        case 0x07:  // invalid request length
            return kBridgeInvalidParameter;
        case 0x05:  // reset error
        case 0x08:  // device I/O failed
        case 0x0F:  // I/O pending
            return kBridgeIoFailed;
        case 0x09:
            return kBridgeInvalidBaudRate;
        case 0x0A:
            return kBridgeNotSupported;
        case 0xFF:
            return kBridgeDeviceNotFound;
        default:  // 0x0B global data error, 0x0C system error, anything new
            return kBridgeSystemError;
    }
}

std::string SiUsbXpLoadError(const std::string& path, std::uint16_t missingOrdinal,
                             const std::string& reason) {
    if (missingOrdinal == 0) {
        std::string text = "Can not load " + path;
        if (!reason.empty())
            text += " (" + reason + ")";
        return text + ". The box's driver package provides SiUSBXp.dll: put it beside the program.";
    }
    const char* operation = "";
    for (const SiUsbXpOrdinal& entry : kSiUsbXpOrdinals) {
        if (entry.ordinal == missingOrdinal)
            operation = entry.operation;
    }
    return path + " has no function with ordinal " + std::to_string(missingOrdinal) + " (" +
           operation + "); it is not the box's USB bridge library.";
}

}  // namespace o8r
