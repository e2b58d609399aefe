#include "cli/ProgramPath.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/Utf8Path.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace o8r::cli {

namespace fs = std::filesystem;

namespace {

// A bare program name was found through PATH.
fs::path FindOnPath(const fs::path& name) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) {
        return {};
    }
#if defined(_WIN32)
    constexpr char kListSeparator = ';';
#else
    constexpr char kListSeparator = ':';
#endif
    std::string list = path;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(kListSeparator, start);
        if (end == std::string::npos) {
            end = list.size();
        }
        const fs::path candidate = fs::path(list.substr(start, end - start)) / name;
        std::error_code error;
        if (fs::is_regular_file(candidate, error)) {
            return fs::absolute(candidate, error);
        }
        start = end + 1;
    }
    return {};
}

// The running program as the system names it; empty where it cannot say.
fs::path RunningProgram() {
#if defined(_WIN32)
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return fs::path(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
#else
    std::error_code error;
    return fs::read_symlink("/proc/self/exe", error);
#endif
}

}  // namespace

std::string ProgramDirectory(const char* argv0) {
    std::error_code error;
    // Linux and Windows name the running program itself; elsewhere argv[0] has to do.
    fs::path exe = RunningProgram();
    if (error || exe.empty()) {
        const fs::path given(argv0 != nullptr ? argv0 : "");
        exe = given.has_parent_path() ? fs::absolute(given, error) : FindOnPath(given);
    }
    if (error || !exe.has_parent_path()) {
        return {};
    }
    const std::u8string utf8 = exe.parent_path().u8string();
    std::string directory(utf8.begin(), utf8.end());
    if (!directory.empty() && directory.back() != fs::path::preferred_separator) {
        directory += fs::path::preferred_separator;
    }
    return directory;
}

std::string OwnExecutable() {
#if defined(__linux__)
    std::error_code error;
    if (fs::exists("/proc/self/exe", error))
        return "/proc/self/exe";
#endif
    const std::u8string utf8 = RunningProgram().u8string();
    return std::string(utf8.begin(), utf8.end());
}

std::string FullPath(const std::string& path) {
    if (path.empty()) {
        return path;
    }
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(PathFromUtf8(path), error);
    return error ? path : Utf8FromPath(full);
}

}  // namespace o8r::cli
