#include "platform/NewFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string_view>
#include <system_error>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>
#endif

namespace o8r {

namespace fs = std::filesystem;

namespace {

constexpr char kNotRegular[] = "Not a regular file";
constexpr int kNameAttempts = 16;

// A short name beside the file replaced, so that it fits the file system's
// limit however long the file's own name is.
fs::path TemporaryName(const fs::path& folder, std::mt19937& random) {
    char name[24];
    std::snprintf(name, sizeof name, ".o8r%08X.tmp", static_cast<unsigned>(random()));
    return folder.empty() ? fs::path(name) : folder / name;
}

// A save that was killed (SIGKILL, a power cut) leaves its temporary file
// behind: such files of ours, a minute old or more, go at the next save to
// the same folder. A younger one may belong to a save still running.
void RemoveStaleTemporaries(const fs::path& folder) {
    constexpr std::string_view kHex = "0123456789ABCDEF";
    std::error_code error;
    const auto now = fs::file_time_type::clock::now();
    fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        // As UTF-8: a name the system's code page cannot hold must not throw.
        const std::u8string utf8 = it->path().filename().u8string();
        const std::string name(utf8.begin(), utf8.end());
        if (name.size() != 16 || name.rfind(".o8r", 0) != 0 || name.substr(12) != ".tmp" ||
            name.substr(4, 8).find_first_not_of(kHex) != std::string::npos)
            continue;
        std::error_code ignored;
        if (!it->is_regular_file(ignored) ||
            now - it->last_write_time(ignored) < std::chrono::minutes(1) || ignored)
            continue;
        fs::remove(it->path(), ignored);
    }
}

#if defined(_WIN32)

// The words a POSIX system uses, which Windows has no error code for.
constexpr char kIsFolder[] = "Is a directory";

std::string WindowsErrorText(DWORD error) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text;
    if (length > 0) {
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(length), nullptr,
                                              0, nullptr, nullptr);
        text.resize(static_cast<std::size_t>(bytes));
        WideCharToMultiByte(CP_UTF8, 0, buffer, static_cast<int>(length), text.data(), bytes,
                            nullptr, nullptr);
    }
    LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text.empty() ? "error " + std::to_string(error) : text;
}

struct SaveTarget {
    fs::path path;  // the file itself, links followed
    bool exists = false;
};

// The file `path` names, through any link; false with the reason when it
// is not one a saved file may replace.
bool FindSaveTarget(const fs::path& path, SaveTarget& target, std::string& reason) {
    // ReplaceFileW takes no name without its folder ("Directory name invalid").
    std::error_code error;
    target.path = fs::absolute(path, error);
    if (error)
        target.path = path;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND) {
            target.exists = false;
            return true;
        }
        reason = WindowsErrorText(error);
        return false;
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        reason = kIsFolder;
        return false;
    }
    // Opened, the name leads through any reparse point to the file itself,
    // or to a device ("NUL", "COM1").
    HANDLE handle =
        CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        reason = WindowsErrorText(GetLastError());
        return false;
    }
    bool ok = true;
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info)) {
        reason = kNotRegular;
        ok = false;
    } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        reason = kIsFolder;
        ok = false;
    } else if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
        wchar_t final[32768];
        const DWORD length = GetFinalPathNameByHandleW(handle, final, 32768, FILE_NAME_NORMALIZED);
        if (length == 0 || length >= 32768) {
            reason = WindowsErrorText(GetLastError());
            ok = false;
        } else {
            target.path = fs::path(std::wstring(final, length));
        }
    }
    CloseHandle(handle);
    target.exists = ok;
    return ok;
}

bool WriteTemporary(HANDLE file, std::string_view contents, std::string& reason) {
    std::size_t done = 0;
    while (done < contents.size()) {
        const DWORD chunk =
            static_cast<DWORD>(std::min<std::size_t>(contents.size() - done, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, contents.data() + done, chunk, &written, nullptr) || written == 0) {
            reason = WindowsErrorText(GetLastError());
            return false;
        }
        done += written;
    }
    if (!FlushFileBuffers(file)) {
        reason = WindowsErrorText(GetLastError());
        return false;
    }
    return true;
}

}  // namespace

bool ReplaceRegularFile(const fs::path& path, std::string_view contents, std::string& reason) {
    if (path.empty()) {
        reason = WindowsErrorText(ERROR_INVALID_NAME);
        return false;
    }
    SaveTarget target;
    if (!FindSaveTarget(path, target, reason))
        return false;

    RemoveStaleTemporaries(target.path.parent_path());
    std::random_device seed;
    std::mt19937 random(seed());
    fs::path temporary;
    HANDLE file = INVALID_HANDLE_VALUE;
    for (int attempt = 0; attempt < kNameAttempts && file == INVALID_HANDLE_VALUE; ++attempt) {
        temporary = TemporaryName(target.path.parent_path(), random);
        file = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) {
            reason = WindowsErrorText(GetLastError());
            return false;
        }
    }
    if (file == INVALID_HANDLE_VALUE) {
        reason = WindowsErrorText(ERROR_FILE_EXISTS);
        return false;
    }
    bool ok = WriteTemporary(file, contents, reason);
    if (!CloseHandle(file) && ok) {
        reason = WindowsErrorText(GetLastError());
        ok = false;
    }
    if (ok) {
        // ReplaceFileW keeps the replaced file's attributes, security and
        // creation time; a new file simply takes the name.
        const BOOL moved = target.exists
                               ? ReplaceFileW(target.path.c_str(), temporary.c_str(), nullptr,
                                              REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)
                               : MoveFileExW(temporary.c_str(), target.path.c_str(),
                                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        if (!moved) {
            reason = WindowsErrorText(GetLastError());
            ok = false;
        }
    }
    if (!ok)
        DeleteFileW(temporary.c_str());
    return ok;
}

#else  // POSIX

constexpr int kMaxLinks = 40;

std::string SystemText(int error) {
    return std::strerror(error);
}

struct SaveTarget {
    fs::path path;  // the file itself, links followed
    bool exists = false;
    struct stat info {};
};

// The file `path` names, through any chain of symbolic links (one that leads
// nowhere names the file it would lead to); false with the reason when it is
// not one a saved file may replace.
bool FindSaveTarget(const fs::path& path, SaveTarget& target, std::string& reason) {
    fs::path at = path;
    for (int links = 0;; ++links) {
        if (lstat(at.c_str(), &target.info) != 0) {
            if (errno != ENOENT) {
                reason = SystemText(errno);
                return false;
            }
            target.path = at;
            target.exists = false;
            return true;
        }
        if (!S_ISLNK(target.info.st_mode))
            break;
        if (links == kMaxLinks) {
            reason = SystemText(ELOOP);
            return false;
        }
        std::error_code error;
        const fs::path next = fs::read_symlink(at, error);
        if (error) {
            reason = error.message();
            return false;
        }
        at = next.is_absolute() ? next : at.parent_path() / next;
    }
    target.path = at;
    target.exists = true;
    if (S_ISDIR(target.info.st_mode)) {
        reason = SystemText(EISDIR);
        return false;
    }
    if (!S_ISREG(target.info.st_mode)) {
        reason = kNotRegular;
        return false;
    }
    return true;
}

bool WriteAll(int fd, std::string_view contents, std::string& reason) {
    std::size_t done = 0;
    while (done < contents.size()) {
        const ssize_t n = write(fd, contents.data() + done, contents.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            reason = SystemText(n < 0 ? errno : ENOSPC);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (fsync(fd) != 0 && errno != EINVAL && errno != EROFS) {
        reason = SystemText(errno);
        return false;
    }
    return true;
}

}  // namespace

bool ReplaceRegularFile(const fs::path& path, std::string_view contents, std::string& reason) {
    if (path.empty()) {
        reason = SystemText(ENOENT);
        return false;
    }
    SaveTarget target;
    if (!FindSaveTarget(path, target, reason))
        return false;

    // Created exclusively, so that no other file is ever overwritten by the
    // temporary one; a new file gets the permissions the umask leaves.
    RemoveStaleTemporaries(target.path.parent_path());
    std::random_device seed;
    std::mt19937 random(seed());
    fs::path temporary;
    int fd = -1;
    for (int attempt = 0; attempt < kNameAttempts && fd < 0; ++attempt) {
        temporary = TemporaryName(target.path.parent_path(), random);
        fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                  target.exists ? 0600 : 0666);
        if (fd < 0 && errno != EEXIST) {
            reason = SystemText(errno);
            return false;
        }
    }
    if (fd < 0) {
        reason = SystemText(EEXIST);
        return false;
    }
    if (target.exists) {
        // The owner first: changing it clears the set-ID bits the mode then
        // restores. Only root may give a file away; others keep at least the
        // group where they belong to it.
        if (fchown(fd, target.info.st_uid, target.info.st_gid) != 0 &&
            fchown(fd, static_cast<uid_t>(-1), target.info.st_gid) != 0) {
        }
        if (fchmod(fd, target.info.st_mode & 07777) != 0) {
            reason = SystemText(errno);
            close(fd);
            unlink(temporary.c_str());
            return false;
        }
    }
    bool ok = WriteAll(fd, contents, reason);
    if (close(fd) != 0 && ok) {
        reason = SystemText(errno);
        ok = false;
    }
    if (ok && rename(temporary.c_str(), target.path.c_str()) != 0) {
        reason = SystemText(errno);
        ok = false;
    }
    if (!ok)
        unlink(temporary.c_str());
    return ok;
}

#endif

std::string SaveTargetProblem(const fs::path& path) {
    SaveTarget target;
    std::string reason;
    return FindSaveTarget(path, target, reason) ? std::string() : reason;
}

}  // namespace o8r
