#include "platform/FileLock.h"

#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>

#include "platform/Utf8Path.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace o8r {

namespace {

constexpr std::chrono::milliseconds kRetryPeriod{20};

}  // namespace

#if defined(_WIN32)

struct FileLock::Handle {
    HANDLE file = INVALID_HANDLE_VALUE;
};

FileLock::~FileLock() {
    OVERLAPPED where{};
    UnlockFileEx(m_handle->file, 0, 1, 0, &where);
    CloseHandle(m_handle->file);
}

std::unique_ptr<FileLock> FileLock::Acquire(const std::string& lockPath,
                                            std::chrono::milliseconds wait, bool& busy,
                                            std::string& error) {
    busy = false;
    HANDLE file = CreateFileW(PathFromUtf8(lockPath).c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = "cannot open the lock file '" + lockPath +
                "': " + std::system_category().message(static_cast<int>(GetLastError()));
        return nullptr;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        OVERLAPPED where{};
        if (LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                       &where)) {
            auto handle = std::make_unique<Handle>();
            handle->file = file;
            return std::unique_ptr<FileLock>(new FileLock(std::move(handle)));
        }
        const DWORD code = GetLastError();
        if (code != ERROR_LOCK_VIOLATION && code != ERROR_IO_PENDING) {
            CloseHandle(file);
            error = "cannot lock '" + lockPath +
                    "': " + std::system_category().message(static_cast<int>(code));
            return nullptr;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            CloseHandle(file);
            busy = true;
            return nullptr;
        }
        std::this_thread::sleep_for(kRetryPeriod);
    }
}

#else

struct FileLock::Handle {
    int fd = -1;
};

FileLock::~FileLock() {
    // Closing the descriptor lets the lock go.
    close(m_handle->fd);
}

std::unique_ptr<FileLock> FileLock::Acquire(const std::string& lockPath,
                                            std::chrono::milliseconds wait, bool& busy,
                                            std::string& error) {
    busy = false;
    const int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = "cannot open the lock file '" + lockPath + "': " + std::strerror(errno);
        return nullptr;
    }
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
            auto handle = std::make_unique<Handle>();
            handle->fd = fd;
            return std::unique_ptr<FileLock>(new FileLock(std::move(handle)));
        }
        if (errno != EWOULDBLOCK && errno != EINTR) {
            error = "cannot lock '" + lockPath + "': " + std::strerror(errno);
            close(fd);
            return nullptr;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            close(fd);
            busy = true;
            return nullptr;
        }
        std::this_thread::sleep_for(kRetryPeriod);
    }
}

#endif

FileLock::FileLock(std::unique_ptr<Handle> handle) : m_handle(std::move(handle)) {}

std::string WaitText(std::chrono::milliseconds wait) {
    const auto tenths = (wait.count() + 50) / 100;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " s";
}

}  // namespace o8r
