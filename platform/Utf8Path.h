#pragma once

// Paths are UTF-8 text inside the program on every platform. These turn them
// into file-system paths and back: on Windows through the wide (UTF-16)
// names, so that a name in any script reaches the file system intact.

#include <filesystem>
#include <string>
#include <string_view>

namespace o8r {

inline std::filesystem::path PathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace o8r
