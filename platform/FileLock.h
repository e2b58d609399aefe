#pragma once

// An advisory lock held on a file of its own, which each operating system
// takes its own way. Runs that share a file (a simulated box's state, a
// serial counter, a serial list) take the lock before they read the file and
// let it go after they have written it back. The lock file stays behind:
// removing it would let a third run in while a second still waits on the old
// one.

#include <chrono>
#include <memory>
#include <string>

namespace o8r {

class FileLock {
  public:
    // Locks `lockPath` (creating it), waiting up to `wait` while another run
    // holds it. nullptr when it cannot be had: `busy` true when another run
    // still held it at the end of the wait, else false with the system's
    // reason in `error`.
    [[nodiscard]] static std::unique_ptr<FileLock> Acquire(const std::string& lockPath,
                                                           std::chrono::milliseconds wait,
                                                           bool& busy, std::string& error);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

  private:
    struct Handle;
    explicit FileLock(std::unique_ptr<Handle> handle);
    std::unique_ptr<Handle> m_handle;
};

// "2.0 s": a wait as a message gives it.
std::string WaitText(std::chrono::milliseconds wait);

}  // namespace o8r
