#pragma once

// Exclusive creation of a file, which each C runtime does its own way.

#include <cstdio>
#include <filesystem>

namespace o8r {

// A new file open for binary writing, or nullptr when the name is taken (never
// opens or empties an existing file).
std::FILE* CreateNewFile(const std::filesystem::path& path);

}  // namespace o8r
