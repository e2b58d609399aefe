#include "bridges/SiUsbXpBridge.h"

#include <windows.h>

#include <filesystem>

#include "core/link/SiUsbXpTable.h"
#include "platform/SystemErrorText.h"

namespace o8r {

namespace {

// The library's functions; WINAPI is stdcall on 32-bit Windows.
using GetNumDevicesFn = int(WINAPI*)(DWORD*);
using OpenFn = int(WINAPI*)(DWORD, HANDLE*);
using CloseFn = int(WINAPI*)(HANDLE);
using ReadFn = int(WINAPI*)(HANDLE, void*, DWORD, DWORD*, OVERLAPPED*);
using WriteFn = int(WINAPI*)(HANDLE, void*, DWORD, DWORD*, OVERLAPPED*);
using FlushBuffersFn = int(WINAPI*)(HANDLE, BYTE, BYTE);
using SetTimeoutsFn = int(WINAPI*)(DWORD, DWORD);
using CheckRxQueueFn = int(WINAPI*)(HANDLE, DWORD*, DWORD*);
using SetBaudRateFn = int(WINAPI*)(HANDLE, DWORD);
using SetLineControlFn = int(WINAPI*)(HANDLE, WORD);
using SetFlowControlFn = int(WINAPI*)(HANDLE, BYTE, BYTE, BYTE, BYTE, BYTE, BOOL);
using GetModemStatusFn = int(WINAPI*)(HANDLE, BYTE*);
using GetProductStringFn = int(WINAPI*)(DWORD, void*, DWORD);

std::wstring Widen(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())).wstring();
}

std::string Narrow(const std::wstring& wide) {
    const std::u8string utf8 = std::filesystem::path(wide).u8string();
    return std::string(utf8.begin(), utf8.end());
}

std::wstring ProgramFolder() {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            break;
        }
        buffer.resize(buffer.size() * 2);
    }
    return std::filesystem::path(buffer).parent_path().wstring();
}

template <typename Fn>
Fn As(FARPROC proc) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(proc));
}

}  // namespace

struct SiUsbXpBridge::Library {
    HMODULE module = nullptr;
    GetNumDevicesFn getNumDevices = nullptr;
    OpenFn open = nullptr;
    CloseFn close = nullptr;
    ReadFn read = nullptr;
    WriteFn write = nullptr;
    FlushBuffersFn flushBuffers = nullptr;
    SetTimeoutsFn setTimeouts = nullptr;
    CheckRxQueueFn checkRxQueue = nullptr;
    SetBaudRateFn setBaudRate = nullptr;
    SetLineControlFn setLineControl = nullptr;
    SetFlowControlFn setFlowControl = nullptr;
    GetModemStatusFn getModemStatus = nullptr;
    GetProductStringFn getProductString = nullptr;  // optional

    ~Library() {
        if (module != nullptr)
            FreeLibrary(module);
    }

    void Bind(SiUsbXpFunction function, FARPROC proc) {
        switch (function) {
            case SiUsbXpFunction::GetNumDevices:
                getNumDevices = As<GetNumDevicesFn>(proc);
                break;
            case SiUsbXpFunction::Open:
                open = As<OpenFn>(proc);
                break;
            case SiUsbXpFunction::Close:
                close = As<CloseFn>(proc);
                break;
            case SiUsbXpFunction::Read:
                read = As<ReadFn>(proc);
                break;
            case SiUsbXpFunction::Write:
                write = As<WriteFn>(proc);
                break;
            case SiUsbXpFunction::FlushBuffers:
                flushBuffers = As<FlushBuffersFn>(proc);
                break;
            case SiUsbXpFunction::SetTimeouts:
                setTimeouts = As<SetTimeoutsFn>(proc);
                break;
            case SiUsbXpFunction::CheckRxQueue:
                checkRxQueue = As<CheckRxQueueFn>(proc);
                break;
            case SiUsbXpFunction::SetBaudRate:
                setBaudRate = As<SetBaudRateFn>(proc);
                break;
            case SiUsbXpFunction::SetLineControl:
                setLineControl = As<SetLineControlFn>(proc);
                break;
            case SiUsbXpFunction::SetFlowControl:
                setFlowControl = As<SetFlowControlFn>(proc);
                break;
            case SiUsbXpFunction::GetModemStatus:
                getModemStatus = As<GetModemStatusFn>(proc);
                break;
        }
    }
};

std::unique_ptr<SiUsbXpBridge> SiUsbXpBridge::Load(std::string& error, const std::string& path) {
    auto library = std::make_unique<Library>();
    std::wstring tried;
    DWORD failure = 0;
    if (!path.empty()) {
        tried = Widen(path);
        library->module = LoadLibraryExW(tried.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
        failure = library->module == nullptr ? GetLastError() : 0;
    } else {
        // Beside the program first: a copy there wins over any other on the system.
        const std::wstring name = Widen(kSiUsbXpLibrary);
        const std::wstring folder = ProgramFolder();
        if (!folder.empty()) {
            const std::wstring beside = (std::filesystem::path(folder) / name).wstring();
            if (GetFileAttributesW(beside.c_str()) != INVALID_FILE_ATTRIBUTES) {
                tried = beside;
                library->module =
                    LoadLibraryExW(beside.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
                failure = library->module == nullptr ? GetLastError() : 0;
            }
        }
        if (library->module == nullptr && tried.empty()) {
            tried = name;
            library->module = LoadLibraryW(name.c_str());
            failure = library->module == nullptr ? GetLastError() : 0;
        }
    }
    if (library->module == nullptr) {
        error = SiUsbXpLoadError(Narrow(tried), 0, SystemErrorText(failure));
        return nullptr;
    }

    // Where the library was found, for messages.
    std::wstring loaded(MAX_PATH, L'\0');
    const DWORD length =
        GetModuleFileNameW(library->module, loaded.data(), static_cast<DWORD>(loaded.size()));
    loaded.resize(length < loaded.size() ? length : 0);
    const std::string where = Narrow(loaded.empty() ? tried : loaded);

    for (const SiUsbXpOrdinal& entry : kSiUsbXpOrdinals) {
        const FARPROC proc = GetProcAddress(library->module, MAKEINTRESOURCEA(entry.ordinal));
        if (proc == nullptr) {
            error = SiUsbXpLoadError(where, entry.ordinal, {});
            return nullptr;
        }
        library->Bind(entry.function, proc);
    }
    // The serial numbers are a convenience: a library without them still
    // drives its boxes, known by their index alone.
    library->getProductString =
        As<GetProductStringFn>(GetProcAddress(library->module, kSiUsbXpProductStringName));
    return std::unique_ptr<SiUsbXpBridge>(new SiUsbXpBridge(std::move(library), where));
}

SiUsbXpBridge::SiUsbXpBridge(std::unique_ptr<Library> library, std::string path)
    : m_library(std::move(library)), m_path(std::move(path)) {}

SiUsbXpBridge::~SiUsbXpBridge() {
    // Handles the caller left open are closed before the library goes.
    for (const auto& [number, native] : m_handles)
        m_library->close(static_cast<HANDLE>(native));
}

bool SiUsbXpBridge::Find(DeviceHandle handle, void*& native) const {
    const auto found = m_handles.find(handle);
    if (found == m_handles.end())
        return false;
    native = found->second;
    return true;
}

bool SiUsbXpBridge::HasProductStrings() const {
    return m_library->getProductString != nullptr;
}

std::optional<std::string> SiUsbXpBridge::ProductString(std::uint32_t index, std::uint32_t flag) {
    if (m_library->getProductString == nullptr)
        return std::nullopt;
    // The library writes at most 256 bytes, NUL included; a spare zero
    // ends a text that fills them.
    char text[kSiUsbXpProductStringSize + 1] = {};
    if (m_library->getProductString(index, text, flag) != 0)
        return std::nullopt;
    text[kSiUsbXpProductStringSize] = '\0';
    return std::string(text);
}

std::optional<std::uint32_t> SiUsbXpBridge::AllDevices() {
    DWORD devices = 0;
    if (m_library->getNumDevices(&devices) != 0)
        return std::nullopt;
    return devices;
}

BridgeStatus SiUsbXpBridge::GetDeviceCount(std::uint32_t& count) {
    DWORD devices = 0;
    const int status = m_library->getNumDevices(&devices);
    count = status == 0 ? devices : 0;
    if (status != 0 || !m_selection.active)
        return BridgeStatusFromSiUsbXp(status);
    // One box chosen: it is the only one there, or none is. Its number is
    // looked up afresh each time, as boxes come and go.
    count = 0;
    for (std::uint32_t index = 0; index < devices; ++index) {
        const bool chosen = m_selection.serial.empty()
                                ? index == m_selection.index
                                : ProductString(index, 0) == m_selection.serial;
        if (chosen) {
            m_selectedIndex = index;
            count = 1;
            break;
        }
    }
    return kBridgeOk;
}

BridgeStatus SiUsbXpBridge::Open(std::uint32_t deviceIndex, DeviceHandle& handle) {
    HANDLE native = nullptr;
    if (m_selection.active) {
        // The chosen box is the only one: number 0.
        if (deviceIndex != 0)
            return kBridgeDeviceNotFound;
        deviceIndex = m_selectedIndex;
    }
    const int status = m_library->open(deviceIndex, &native);
    if (status != 0)
        return BridgeStatusFromSiUsbXp(status);
    // Numbers run from 1 and are never 0, also after the counter wraps.
    while (m_nextHandle == 0 || m_handles.count(m_nextHandle) != 0)
        ++m_nextHandle;
    handle = m_nextHandle++;
    m_handles[handle] = native;
    return kBridgeOk;
}

BridgeStatus SiUsbXpBridge::Close(DeviceHandle handle) {
    void* native = nullptr;
    if (!Find(handle, native))
        return kBridgeInvalidHandle;
    const int status = m_library->close(static_cast<HANDLE>(native));
    if (status == 0)
        m_handles.erase(handle);
    return BridgeStatusFromSiUsbXp(status);
}

BridgeStatus SiUsbXpBridge::Read(DeviceHandle handle, std::uint8_t* buffer, std::uint32_t wanted,
                                 std::uint32_t& got) {
    got = 0;
    void* native = nullptr;
    if (!Find(handle, native))
        return kBridgeInvalidHandle;
    DWORD returned = 0;
    const int status =
        m_library->read(static_cast<HANDLE>(native), buffer, wanted, &returned, nullptr);
    // A library that claims more than was asked for is not believed.
    got = returned <= wanted ? returned : wanted;
    return BridgeStatusFromSiUsbXp(status);
}

BridgeStatus SiUsbXpBridge::Write(DeviceHandle handle, const std::uint8_t* buffer,
                                  std::uint32_t count, std::uint32_t& written) {
    written = 0;
    void* native = nullptr;
    if (!Find(handle, native))
        return kBridgeInvalidHandle;
    DWORD sent = 0;
    // The library's prototype takes a plain pointer; it does not write to it.
    const int status = m_library->write(static_cast<HANDLE>(native),
                                        const_cast<std::uint8_t*>(buffer), count, &sent, nullptr);
    written = sent <= count ? sent : count;
    return BridgeStatusFromSiUsbXp(status);
}

BridgeStatus SiUsbXpBridge::FlushBuffers(DeviceHandle handle, std::uint8_t flushTransmit,
                                         std::uint8_t flushReceive) {
    void* native = nullptr;
    if (!Find(handle, native))
        return kBridgeInvalidHandle;
    return BridgeStatusFromSiUsbXp(
        m_library->flushBuffers(static_cast<HANDLE>(native), flushTransmit, flushReceive));
}

BridgeStatus SiUsbXpBridge::SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) {
    return BridgeStatusFromSiUsbXp(m_library->setTimeouts(readMs, writeMs));
}

BridgeStatus SiUsbXpBridge::CheckRxQueue(DeviceHandle handle, std::uint32_t& bytesQueued,
                                         std::uint32_t& queueStatus) {
    void* native = nullptr;
    if (!Find(handle, native))
        return kBridgeInvalidHandle;
    DWORD queued = bytesQueued;
    DWORD state = queueStatus;
    const int status = m_library->checkRxQueue(static_cast<HANDLE>(native), &queued, &state);
    bytesQueued = queued;
    queueStatus = state;
    return BridgeStatusFromSiUsbXp(status);
}

BridgeStatus SiUsbXpBridge::SetBaudRate(DeviceHandle handle, std::uint32_t baud) {
    void* native = nullptr;
    if (!Find(handle, native))
        return kBridgeInvalidHandle;
    return BridgeStatusFromSiUsbXp(m_library->setBaudRate(static_cast<HANDLE>(native), baud));
}

BridgeStatus SiUsbXpBridge::SetLineControl(DeviceHandle handle, std::uint16_t lineControl) {
    void* native = nullptr;
    if (!Find(handle, native))
        return kBridgeInvalidHandle;
    return BridgeStatusFromSiUsbXp(
        m_library->setLineControl(static_cast<HANDLE>(native), lineControl));
}

BridgeStatus SiUsbXpBridge::SetFlowControl(DeviceHandle handle, std::uint8_t ctsMask,
                                           std::uint8_t rtsMask, std::uint8_t dtrMask,
                                           std::uint8_t dsrMask, std::uint8_t dcdMask,
                                           bool xonXoff) {
    void* native = nullptr;
    if (!Find(handle, native))
        return kBridgeInvalidHandle;
    return BridgeStatusFromSiUsbXp(m_library->setFlowControl(static_cast<HANDLE>(native), ctsMask,
                                                             rtsMask, dtrMask, dsrMask, dcdMask,
                                                             xonXoff ? TRUE : FALSE));
}

BridgeStatus SiUsbXpBridge::GetModemStatus(DeviceHandle handle, std::uint8_t& status) {
    void* native = nullptr;
    if (!Find(handle, native))
        return kBridgeInvalidHandle;
    BYTE modem = status;
    const int result = m_library->getModemStatus(static_cast<HANDLE>(native), &modem);
    if (result == 0)
        status = modem;
    return BridgeStatusFromSiUsbXp(result);
}

}  // namespace o8r
