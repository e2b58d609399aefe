#pragma once

// Saving a file whole, which each operating system does its own way: the new
// contents go to a temporary file beside the file replaced, which is renamed
// over it only once it is complete.

#include <filesystem>
#include <string>
#include <string_view>

namespace o8r {

// Why `path` cannot take a saved file, or "" when it can: it names nothing
// yet, or a regular file (a symbolic link counts as the file it leads to).
// A folder, a device, a FIFO or a socket is never replaced.
std::string SaveTargetProblem(const std::filesystem::path& path);

// Replaces the file `path` names with `contents`, or creates it. A symbolic
// link is followed and the file it leads to is replaced, the link left as it
// is; a replaced file keeps its permissions and owner (on Windows its
// attributes). The old file stays as it was until the new one is whole, and
// no temporary file is left behind. False with the reason (the system's text
// where the system gave one) in `reason`.
bool ReplaceRegularFile(const std::filesystem::path& path, std::string_view contents,
                        std::string& reason);

}  // namespace o8r
