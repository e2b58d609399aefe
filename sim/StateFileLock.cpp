#include "sim/StateFileLock.h"

namespace o8r {

std::unique_ptr<FileLock> LockStateFile(const std::string& statePath,
                                        std::chrono::milliseconds wait, std::string& error) {
    bool busy = false;
    auto lock = FileLock::Acquire(StateLockPath(statePath), wait, busy, error);
    if (busy)
        error = "the simulated box state file '" + statePath +
                "' is in use by another run (still locked after " + WaitText(wait) + ")";
    return lock;
}

std::string StateLockPath(const std::string& statePath) {
    return statePath + ".lock";
}

}  // namespace o8r
