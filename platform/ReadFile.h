#pragma once

// A small file read whole (a job, a serial counter or list), its name UTF-8
// on every system.

#include <optional>
#include <string>

namespace o8r {

// The file's bytes; nothing when it cannot be opened or read.
[[nodiscard]] std::optional<std::string> ReadFileBytes(const std::string& path);

}  // namespace o8r
