#pragma once

// The advisory lock that keeps two runs off one simulated box: whoever holds
// it may read the box's state file, work on the box and write the file back.
// The lock lives on a file of its own beside the state (FILE.lock), since the
// state file itself is replaced whole on every save. The lock file stays
// behind after a run; removing it would let a third run in while a second
// still waits on the old one.

#include <chrono>
#include <memory>
#include <string>

namespace o8r {

class StateFileLock {
  public:
    // The lock for the state file `statePath`, waiting up to `wait` while
    // another run holds it; nullptr with an error text naming the file when it
    // cannot be had.
    static std::unique_ptr<StateFileLock> Acquire(const std::string& statePath,
                                                  std::chrono::milliseconds wait,
                                                  std::string& error);
    ~StateFileLock();
    StateFileLock(const StateFileLock&) = delete;
    StateFileLock& operator=(const StateFileLock&) = delete;

  private:
    struct Handle;
    explicit StateFileLock(std::unique_ptr<Handle> handle);
    std::unique_ptr<Handle> m_handle;
};

// The lock file's name for a state file.
std::string StateLockPath(const std::string& statePath);

}  // namespace o8r
