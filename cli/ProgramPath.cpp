#include "cli/ProgramPath.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

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

}  // namespace

std::string ProgramDirectory(const char* argv0) {
    std::error_code error;
    // Linux names the running program itself; elsewhere argv[0] has to do.
    fs::path exe = fs::read_symlink("/proc/self/exe", error);
    if (error || exe.empty()) {
        const fs::path given(argv0 != nullptr ? argv0 : "");
        exe = given.has_parent_path() ? fs::absolute(given, error) : FindOnPath(given);
    }
    if (error || !exe.has_parent_path()) {
        return {};
    }
    std::string directory = exe.parent_path().string();
    if (!directory.empty() && directory.back() != fs::path::preferred_separator) {
        directory += fs::path::preferred_separator;
    }
    return directory;
}

std::string FullPath(const std::string& path) {
    if (path.empty()) {
        return path;
    }
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(path, error);
    return error ? path : full.string();
}

}  // namespace o8r::cli
