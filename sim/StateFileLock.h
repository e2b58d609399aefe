#pragma once

// The lock that keeps two runs off one simulated box: whoever holds it may
// read the box's state file, work on the box and write the file back. The lock
// lives on a file of its own beside the state (FILE.lock), since the state
// file itself is replaced whole on every save.

#include <chrono>
#include <memory>
#include <string>

#include "platform/FileLock.h"

namespace o8r {

// The lock for the state file `statePath`, waiting up to `wait` while another
// run holds it; nullptr with an error text naming the file when it cannot be had.
[[nodiscard]] std::unique_ptr<FileLock> LockStateFile(const std::string& statePath,
                                                      std::chrono::milliseconds wait,
                                                      std::string& error);

// The lock file's name for a state file.
std::string StateLockPath(const std::string& statePath);

}  // namespace o8r
