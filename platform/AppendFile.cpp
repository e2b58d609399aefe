// The log file: each record appended with one write on a file opened for
// appending. POSIX puts every such write at the end of the file in one piece
// (for a local file system), so lines of several processes never interleave.
// A new log gets its header by being made whole under a temporary name and
// then linked into place, so no process ever sees a log without its header.
// A line goes after a last line that lacks its line end on a line of its own;
// writers hold an advisory lock while they look at the end and append.

#include <filesystem>
#include <string>
#include <system_error>

#include "platform/AppendFile.h"
#include "platform/Utf8Path.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#endif

namespace o8r {

#if defined(_WIN32)

namespace {

// The reason as the POSIX build words it, so that scripts see one text.
std::string Reason() {
    switch (GetLastError()) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ": No such file or directory";
        case ERROR_ACCESS_DENIED:
            return ": Permission denied";
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ": No space left on device";
        default:
            return ": Windows error " + std::to_string(GetLastError());
    }
}

// Read through a handle of its own: the append handle may not read.
bool EndsInLineEnd(const std::string& path) {
    const std::wstring name = PathFromUtf8(path).wstring();
    HANDLE file = CreateFileW(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return true;
    char last = '\n';
    DWORD got = 0;
    LARGE_INTEGER back{};
    back.QuadPart = -1;
    if (SetFilePointerEx(file, back, nullptr, FILE_END) == 0 ||
        ReadFile(file, &last, 1, &got, nullptr) == 0)
        last = '\n';
    CloseHandle(file);
    return last == '\n';
}

bool WriteAll(HANDLE file, const std::string& text) {
    DWORD written = 0;
    return WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

}  // namespace

bool AppendLines(const std::string& path, const std::string& header, const std::string& line,
                 std::string& error) {
    // FILE_APPEND_DATA alone: every write goes to the end of the file.
    const std::wstring name = PathFromUtf8(path).wstring();
    HANDLE file = CreateFileW(name.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = "can not open the log " + path + Reason();
        return false;
    }
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(file, &size) != 0;
    if (ok && size.QuadPart == 0)
        ok = WriteAll(file, header);
    ok = ok && WriteAll(file, size.QuadPart > 0 && !EndsInLineEnd(path) ? "\n" + line : line);
    if (!ok)
        error = "can not write the log " + path + Reason();
    if (CloseHandle(file) == 0 && ok) {
        error = "can not write the log " + path + Reason();
        ok = false;
    }
    return ok;
}

#else

namespace {

bool WriteAll(int fd, const std::string& text) {
    // One write: a short one is a failure (a full disk), not something to continue.
    const ssize_t written = ::write(fd, text.data(), text.size());
    return written == static_cast<ssize_t>(text.size());
}

// Makes `path` hold the header, unless it exists already.
bool CreateWithHeader(const std::string& path, const std::string& header, std::string& error) {
    std::string temporary = path + ".new-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        // A folder we may not create files in: the append says what is wrong.
        return true;
    }
    errno = 0;
    bool ok = WriteAll(fd, header);
    // As a plain create would make it (mkstemp makes it private).
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ok = ::fchmod(fd, 0666 & ~mask) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (!ok)
        error =
            "can not create the log " + path + ": " + std::strerror(errno != 0 ? errno : ENOSPC);
    if (ok && ::link(temporary.c_str(), path.c_str()) != 0 && errno != EEXIST) {
        error = "can not create the log " + path + ": " + std::strerror(errno);
        ok = false;
    }
    ::unlink(temporary.c_str());
    return ok;
}

}  // namespace

bool AppendLines(const std::string& path, const std::string& header, const std::string& line,
                 std::string& error) {
    if (::access(path.c_str(), F_OK) != 0 && !CreateWithHeader(path, header, error))
        return false;
    const int fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        error = "can not open the log " + path + ": " + std::strerror(errno);
        return false;
    }
    bool ok = true;
    // An empty log (made by hand, say) still gets its header first; a last
    // line without its line end (a writer that died) keeps its own line.
    // Writers of ours take turns here, so that none reads the end of a line
    // another is still writing.
    ::flock(fd, LOCK_EX);
    const off_t size = ::lseek(fd, 0, SEEK_END);
    char last = '\n';
    if (size == 0)
        ok = WriteAll(fd, header);
    else if (size > 0 && ::pread(fd, &last, 1, size - 1) != 1)
        last = '\n';
    errno = 0;
    ok = ok && WriteAll(fd, last == '\n' ? line : "\n" + line);
    if (::close(fd) != 0)
        ok = false;
    if (!ok)
        error = "can not write the log " + path + ": " + std::strerror(errno != 0 ? errno : ENOSPC);
    return ok;
}

#endif

std::string NotAnOutputFile(const std::string& path, bool streams) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(PathFromUtf8(path), error);
    if (status.type() == fs::file_type::not_found || fs::is_regular_file(status))
        return {};
    if (error)
        return error.message();
    if (fs::is_directory(status))
        return "a folder";
    if (fs::is_fifo(status)) {
        if (!streams)
            return "a FIFO";
#if !defined(_WIN32)
        // Opened for writing, a FIFO that no one reads would wait for ever.
        const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0)
            ::close(fd);
        if (fd >= 0)
            return {};
        return fd < 0 && errno == ENXIO ? "a FIFO that no process reads" : "a FIFO";
#else
        return "a FIFO";
#endif
    }
    return streams ? std::string() : "a device";
}

}  // namespace o8r
