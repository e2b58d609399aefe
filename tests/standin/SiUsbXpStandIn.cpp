// A stand-in for the box's USB bridge library, for tests: the simulated box
// behind the twelve functions of SiUSBXp.dll, so that the Windows bridge
// (loading, ordinals, handles, statuses) runs for real under Wine.
//
//   O8R_STANDIN_STATE   the box keeps its state in this file between runs
//                       (as --sim-state does)
//   O8R_STANDIN_FAULTS  comma-separated switches: any --sim-fault, and
//                       update-mode, protected:HEX, mcu:PART (the flash
//                       layout of a catalogue part for a new target; the
//                       catalogue is MCUType.mcu beside this library);
//                       N=SWITCH for box N alone
//   O8R_STANDIN_BOXES   N boxes (serial numbers STANDIN1 ... STANDINN),
//                       their states in O8R_STANDIN_STATE.1 ... .N
//
// SI_GetProductString, exported by name, gives each box's serial number,
// description and USB ids.
//
// The box runs on real time, as a real box does. Handles given out are
// pointers above 4 GB on 64-bit Windows, so that a bridge which cut them to
// 32 bits would fail.

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>

#include "StandInBox.h"

namespace {

constexpr int kInvalidParameter = 0x06;
constexpr int kSystemError = 0x0C;
constexpr int kDeviceNotFound = 0xFF;
constexpr std::uintptr_t kHandleBase = sizeof(void*) == 8 ? 0x7A5500000000ull : 0x55000000u;

HMODULE g_self = nullptr;

std::filesystem::path OwnFolder() {
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameW(g_self, buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    return std::filesystem::path(std::wstring(buffer, length)).parent_path();
}

// A handle carries the box's index and the box's own handle.
constexpr unsigned kBoxShift = 24;

HANDLE ToHandle(std::uint32_t index, o8r::DeviceHandle handle) {
    return reinterpret_cast<HANDLE>(kHandleBase + (std::uintptr_t{index} << kBoxShift) + handle);
}

bool FromHandle(HANDLE handle, std::uint32_t& index, o8r::DeviceHandle& out) {
    const auto value = reinterpret_cast<std::uintptr_t>(handle);
    if (value <= kHandleBase || value - kHandleBase > 0xFFFFFFFFu)
        return false;
    const auto offset = static_cast<std::uint32_t>(value - kHandleBase);
    index = offset >> kBoxShift;
    out = offset & ((1u << kBoxShift) - 1);
    return out != 0;
}

// The box and the box's own handle for a call that takes a handle.
#define O8R_STANDIN_BOX_AND_HANDLE()                          \
    o8r::DeviceHandle own = 0;                                \
    std::uint32_t index = 0;                                  \
    if (!FromHandle(handle, index, own))                      \
        return 0x01; /* invalid handle */                     \
    o8r::Bridge* box = o8r::standin::Box(OwnFolder(), index); \
    if (box == nullptr)                                       \
        return kSystemError;

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH)
        g_self = instance;
    return TRUE;
}

int WINAPI StandInGetNumDevices(DWORD* count) {
    if (count == nullptr)
        return kInvalidParameter;
    if (const std::uint32_t several = o8r::standin::BoxCount(); several > 0) {
        *count = several;
        return 0;
    }
    o8r::Bridge* box = o8r::standin::Box(OwnFolder(), 0);
    if (box == nullptr)
        return kSystemError;
    std::uint32_t devices = 0;
    const auto status = box->GetDeviceCount(devices);
    *count = devices;
    return static_cast<int>(status);
}

int WINAPI StandInGetProductString(DWORD index, void* text, DWORD flag) {
    if (text == nullptr)
        return kInvalidParameter;
    DWORD count = 0;
    if (StandInGetNumDevices(&count) != 0 || index >= count)
        return kDeviceNotFound;
    std::string value;
    switch (flag) {
        case 0:
            value = o8r::standin::Serial(index);
            break;
        case 1:
            value = "O8R stand-in box";
            break;
        case 3:
            value = "10C4";
            break;
        case 4:
            value = "EA61";
            break;
        default:
            return kInvalidParameter;
    }
    std::memcpy(text, value.c_str(), value.size() + 1);
    return 0;
}

int WINAPI StandInOpen(DWORD index, HANDLE* handle) {
    if (handle == nullptr)
        return kInvalidParameter;
    const bool several = o8r::standin::BoxCount() > 0;
    o8r::Bridge* box = o8r::standin::Box(OwnFolder(), several ? index : 0);
    if (box == nullptr)
        return several ? kDeviceNotFound : kSystemError;
    o8r::DeviceHandle own = 0;
    // Each of several boxes is the one box of its own simulation.
    const auto status = box->Open(several ? 0 : index, own);
    if (status == o8r::kBridgeOk)
        *handle = ToHandle(several ? index : 0, own);
    return static_cast<int>(status);
}

int WINAPI StandInClose(HANDLE handle) {
    O8R_STANDIN_BOX_AND_HANDLE();
    return static_cast<int>(box->Close(own));
}

int WINAPI StandInRead(HANDLE handle, void* buffer, DWORD wanted, DWORD* got, OVERLAPPED*) {
    O8R_STANDIN_BOX_AND_HANDLE();
    if (buffer == nullptr || got == nullptr)
        return kInvalidParameter;
    std::uint32_t count = 0;
    const auto status = box->Read(own, static_cast<std::uint8_t*>(buffer), wanted, count);
    *got = count;
    return static_cast<int>(status);
}

int WINAPI StandInWrite(HANDLE handle, void* buffer, DWORD count, DWORD* written, OVERLAPPED*) {
    O8R_STANDIN_BOX_AND_HANDLE();
    if (buffer == nullptr || written == nullptr)
        return kInvalidParameter;
    std::uint32_t sent = 0;
    const auto status = box->Write(own, static_cast<const std::uint8_t*>(buffer), count, sent);
    *written = sent;
    return static_cast<int>(status);
}

int WINAPI StandInFlushBuffers(HANDLE handle, BYTE transmit, BYTE receive) {
    O8R_STANDIN_BOX_AND_HANDLE();
    return static_cast<int>(box->FlushBuffers(own, transmit, receive));
}

int WINAPI StandInSetTimeouts(DWORD readMs, DWORD writeMs) {
    if (o8r::standin::BoxCount() > 0) {
        o8r::standin::SetTimeouts(readMs, writeMs);
        return 0;
    }
    o8r::Bridge* box = o8r::standin::Box(OwnFolder(), 0);
    if (box == nullptr)
        return kSystemError;
    return static_cast<int>(box->SetTimeouts(readMs, writeMs));
}

int WINAPI StandInCheckRxQueue(HANDLE handle, DWORD* queued, DWORD* queueStatus) {
    O8R_STANDIN_BOX_AND_HANDLE();
    if (queued == nullptr || queueStatus == nullptr)
        return kInvalidParameter;
    std::uint32_t bytes = *queued;
    std::uint32_t state = *queueStatus;
    const auto status = box->CheckRxQueue(own, bytes, state);
    *queued = bytes;
    *queueStatus = state;
    return static_cast<int>(status);
}

int WINAPI StandInSetBaudRate(HANDLE handle, DWORD baud) {
    O8R_STANDIN_BOX_AND_HANDLE();
    return static_cast<int>(box->SetBaudRate(own, baud));
}

int WINAPI StandInSetLineControl(HANDLE handle, WORD lineControl) {
    O8R_STANDIN_BOX_AND_HANDLE();
    return static_cast<int>(box->SetLineControl(own, lineControl));
}

int WINAPI StandInSetFlowControl(HANDLE handle, BYTE cts, BYTE rts, BYTE dtr, BYTE dsr, BYTE dcd,
                                 BOOL xonXoff) {
    O8R_STANDIN_BOX_AND_HANDLE();
    return static_cast<int>(box->SetFlowControl(own, cts, rts, dtr, dsr, dcd, xonXoff != FALSE));
}

int WINAPI StandInGetModemStatus(HANDLE handle, BYTE* status) {
    O8R_STANDIN_BOX_AND_HANDLE();
    if (status == nullptr)
        return kInvalidParameter;
    std::uint8_t modem = *status;
    const auto result = box->GetModemStatus(own, modem);
    *status = modem;
    return static_cast<int>(result);
}

}  // extern "C"
