#if defined(_WIN32)

// o8rprog doctor's facts on Windows: which SiUSBXp.dll would be loaded (the
// copy beside the program first, as the bridge does, then the system's
// search), its version and width, its functions, the boxes it sees, and the
// USB devices with the box's id that have no driver (SetupAPI).

#include <windows.h>
// After windows.h, which they need.
#include <setupapi.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "bridges/SiUsbXpBridge.h"
#include "cli/Doctor.h"
#include "cli/ProgramPath.h"
#include "core/link/SiUsbXpTable.h"
#include "platform/SystemErrorText.h"
#include "platform/Utf8Path.h"

namespace o8r::cli {

namespace {

namespace fs = std::filesystem;

// 32 or 64 from the file's PE header; 0 when it is no Windows library.
int LibraryBits(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    char dos[64] = {};
    if (!file.read(dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z')
        return 0;
    std::uint32_t offset = 0;
    for (int i = 0; i < 4; ++i)
        offset |= static_cast<std::uint32_t>(static_cast<unsigned char>(dos[60 + i])) << (8 * i);
    char header[6] = {};
    if (!file.seekg(offset) || !file.read(header, sizeof header) ||
        std::string(header, 4) != std::string("PE\0\0", 4))
        return 0;
    const unsigned machine = static_cast<unsigned char>(header[4]) |
                             static_cast<unsigned>(static_cast<unsigned char>(header[5])) << 8;
    switch (machine) {
        case 0x014C:  // i386
            return 32;
        case 0x8664:  // x86-64
        case 0xAA64:  // ARM64
            return 64;
        default:
            return 0;
    }
}

std::string FileVersion(const fs::path& path) {
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0)
        return {};
    std::string data(size, '\0');
    if (!GetFileVersionInfoW(path.c_str(), 0, size, data.data()))
        return {};
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length) ||
        info == nullptr || length < sizeof *info)
        return {};
    char text[64];
    const auto part = [](DWORD word, bool high) {
        return static_cast<unsigned>(high ? HIWORD(word) : LOWORD(word));
    };
    std::snprintf(text, sizeof text, "%u.%u.%u.%u", part(info->dwFileVersionMS, true),
                  part(info->dwFileVersionMS, false), part(info->dwFileVersionLS, true),
                  part(info->dwFileVersionLS, false));
    return text;
}

// The file the bridge would load: beside the program, else the first the
// system's search finds.
fs::path LibraryPath(const fs::path& folder) {
    const std::wstring name = PathFromUtf8(kSiUsbXpLibrary).wstring();
    std::error_code ec;
    if (!folder.empty() && fs::exists(folder / name, ec))
        return folder / name;
    std::wstring found(MAX_PATH, L'\0');
    const DWORD length = SearchPathW(nullptr, name.c_str(), nullptr,
                                     static_cast<DWORD>(found.size()), found.data(), nullptr);
    if (length == 0 || length >= found.size())
        return {};
    found.resize(length);
    return fs::path(found);
}

// USB devices with the box's id that Windows has no driver for.
int DevicesWithoutDriver() {
    HDEVINFO devices =
        SetupDiGetClassDevsW(nullptr, L"USB", nullptr, DIGCF_ALLCLASSES | DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE)
        return 0;
    int count = 0;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        wchar_t ids[1024] = {};
        if (!SetupDiGetDeviceRegistryPropertyW(devices, &device, SPDRP_HARDWAREID, nullptr,
                                               reinterpret_cast<BYTE*>(ids), sizeof ids - 4,
                                               nullptr))
            continue;
        bool box = false;
        for (const wchar_t* id = ids; *id != L'\0'; id += wcslen(id) + 1) {
            std::wstring upper(id);
            for (wchar_t& c : upper)
                c = static_cast<wchar_t>(towupper(c));
            box = box || upper.find(L"VID_10C4&PID_EA61") != std::wstring::npos;
        }
        wchar_t driver[256] = {};
        const bool hasDriver = SetupDiGetDeviceRegistryPropertyW(
            devices, &device, SPDRP_DRIVER, nullptr, reinterpret_cast<BYTE*>(driver),
            sizeof driver - 2, nullptr);
        if (box && (!hasDriver || driver[0] == L'\0'))
            ++count;
    }
    SetupDiDestroyDeviceInfoList(devices);
    return count;
}

}  // namespace

std::string PortOpenProblem(const std::string&) {
    return {};
}

DoctorFacts GatherDoctorFacts(const std::string&) {
    DoctorFacts facts;
    LibraryFacts library;
    // On Windows OwnExecutable is the running program's full name.
    const fs::path folder = PathFromUtf8(OwnExecutable()).parent_path();
    library.folder = Utf8FromPath(folder);
    library.programBits = static_cast<int>(sizeof(void*) * 8);
    library.withoutDriver = DevicesWithoutDriver();
    const fs::path path = LibraryPath(folder);
    if (path.empty()) {
        facts.library = library;
        return facts;
    }
    library.path = Utf8FromPath(path);
    library.version = FileVersion(path);
    library.libraryBits = LibraryBits(path);
    HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (module == nullptr) {
        library.loadError = SystemErrorText(GetLastError());
        facts.library = library;
        return facts;
    }
    for (const SiUsbXpOrdinal& entry : kSiUsbXpOrdinals)
        if (GetProcAddress(module, MAKEINTRESOURCEA(entry.ordinal)) == nullptr)
            library.missing.push_back(std::to_string(entry.ordinal) + " (" + entry.operation + ")");
    library.productStrings = GetProcAddress(module, kSiUsbXpProductStringName) != nullptr;
    if (library.missing.empty()) {
        std::string error;
        if (auto bridge = SiUsbXpBridge::Load(error, library.path)) {
            library.boxes = bridge->AllDevices();
            for (unsigned index = 0; library.boxes && index < *library.boxes; ++index)
                library.serials.push_back(bridge->ProductString(index, 0).value_or(""));
        }
    }
    FreeLibrary(module);
    facts.library = library;
    return facts;
}

}  // namespace o8r::cli

#endif
