#pragma once

// The real box on Windows: SiUSBXp.dll, loaded at run time (the program's
// folder first, then the usual search) and bound by ordinal. The library's
// handles are pointers (64 bits wide on 64-bit Windows); the bridge hands out
// small numbers from 1 instead and keeps the library's handles in a table, so
// that 0 still means "nothing open".
//
// Several boxes: the library numbers them from 0; SI_GetProductString, bound
// by name where the library exports it, gives each one's USB serial number.
// A bridge told to use one box (SelectBox) shows only that one: a device
// count of 1 while it is attached, 0 otherwise, and open 0 opens it.

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "core/protocol/Bridge.h"

namespace o8r {

class SiUsbXpBridge final : public Bridge {
  public:
    // The library beside the program, else the one the system search finds;
    // `path` names another file instead. nullptr with one message in `error`
    // when the file cannot be loaded or lacks one of the twelve ordinals.
    static std::unique_ptr<SiUsbXpBridge> Load(std::string& error, const std::string& path = {});
    ~SiUsbXpBridge() override;
    SiUsbXpBridge(const SiUsbXpBridge&) = delete;
    SiUsbXpBridge& operator=(const SiUsbXpBridge&) = delete;

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

    // What the library says of box `index`, or nullopt (no such box, or no
    // SI_GetProductString). Flags as the library's: 0 serial number,
    // 1 description, 3 USB vendor id, 4 product id (both in hexadecimal).
    [[nodiscard]] std::optional<std::string> ProductString(std::uint32_t index, std::uint32_t flag);
    [[nodiscard]] bool HasProductStrings() const;
    // The number of boxes the library sees, whatever box is chosen; nullopt
    // when it fails.
    [[nodiscard]] std::optional<std::uint32_t> AllDevices();
    // From now on only the box with this index, or with this serial number.
    void SelectBox(std::uint32_t index) { m_selection = Selection{true, index, {}}; }
    void SelectBox(const std::string& serial) { m_selection = Selection{true, 0, serial}; }

    // The file that was loaded.
    const std::string& Path() const { return m_path; }
    std::size_t OpenHandleCount() const { return m_handles.size(); }

  private:
    struct Library;
    explicit SiUsbXpBridge(std::unique_ptr<Library> library, std::string path);
    // The library's handle for one of ours; false for a number never handed out.
    bool Find(DeviceHandle handle, void*& native) const;

    std::unique_ptr<Library> m_library;
    std::string m_path;
    struct Selection {
        bool active = false;
        std::uint32_t index = 0;
        std::string serial;  // by serial number when not empty
    };
    Selection m_selection;
    std::uint32_t m_selectedIndex = 0;  // the library's number of the chosen box
    std::map<DeviceHandle, void*> m_handles;
    DeviceHandle m_nextHandle = 1;
};

}  // namespace o8r
