#include "core/image/LoadedFile.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <limits>
#include <system_error>

#include "platform/Utf8Path.h"

namespace o8r {

namespace {

// False when the loaded file's time cannot tell a later rewrite from it.
bool g_loadedFileTrusted = false;

// Some file systems and runtimes (MinGW's std::filesystem among them) give
// modification times in whole seconds only. A file with such a time that was
// written in the last two seconds may be rewritten within the same second
// without its time changing, so it is never taken for unchanged.
bool TimeTellsRewrites(std::int64_t modifiedTicks) {
    using Clock = std::filesystem::file_time_type::clock;
    using Duration = std::filesystem::file_time_type::duration;
    const std::int64_t perSecond =
        std::chrono::duration_cast<Duration>(std::chrono::seconds(1)).count();
    if (perSecond <= 1 || modifiedTicks % perSecond != 0)
        return true;
    const std::int64_t now = Clock::now().time_since_epoch().count();
    return modifiedTicks < now - 2 * perSecond;
}

bool FormatLocalTime(std::filesystem::file_time_type time, std::string& out) {
    const auto system = std::chrono::time_point_cast<std::chrono::system_clock::duration>(
        std::chrono::file_clock::to_sys(time));
    const std::time_t seconds = std::chrono::system_clock::to_time_t(system);
    // One user-interface thread: the shared buffer of localtime is safe here.
    const std::tm* local = std::localtime(&seconds);
    if (local == nullptr)
        return false;
    char buffer[32];
    const std::size_t length = std::strftime(buffer, sizeof buffer, "%Y%m%d%H%M%S", local);
    if (length == 0)
        return false;
    out.assign(buffer, length);
    return true;
}

}  // namespace

FileStatus ReadFileStatus(const std::string& path) {
    namespace fs = std::filesystem;
    FileStatus status;
    if (path.empty())
        return status;
    std::error_code error;
    const fs::path file = PathFromUtf8(path);
    if (!fs::is_regular_file(file, error) || error)
        return status;
    const std::uintmax_t size = fs::file_size(file, error);
    if (error)
        return status;
    const fs::file_time_type modified = fs::last_write_time(file, error);
    if (error)
        return status;
    if (!FormatLocalTime(modified, status.timeStamp))
        return status;
    status.size = size;
    status.modifiedTicks = static_cast<std::int64_t>(modified.time_since_epoch().count());
    status.readable = true;
    return status;
}

bool CanReuseLastLoad(const std::string& path, const FileStatus& status, const MemoryMap& map) {
    return status.readable && g_loadedFileTrusted && !g_fileTimeStamp.empty() &&
           !g_state.session.loadedFilePath.empty() && path == g_state.session.loadedFilePath &&
           status.size == g_fileSize && status.timeStamp == g_fileTimeStamp &&
           status.modifiedTicks == g_state.session.loadedFileTicks && map == g_fileMap;
}

void RememberSuccessfulLoad(const std::string& path, const FileStatus& status,
                            const MemoryMap& map) {
    if (!status.readable || status.size > std::numeric_limits<std::uint32_t>::max()) {
        ForgetLastLoad();
        return;
    }
    g_fileSize = static_cast<std::uint32_t>(status.size);
    g_fileTimeStamp = status.timeStamp;
    g_fileMap = map;
    g_state.session.loadedFilePath = path;
    g_state.session.loadedFileTicks = status.modifiedTicks;
    g_loadedFileTrusted = TimeTellsRewrites(status.modifiedTicks);
}

void ForgetLastLoad() {
    g_fileSize = 0;
    g_fileTimeStamp.clear();
    g_fileMap = MemoryMap{};
    g_state.session.loadedFilePath.clear();
    g_state.session.loadedFileTicks = 0;
    g_loadedFileTrusted = false;
}

}  // namespace o8r
