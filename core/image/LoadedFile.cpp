#include "core/image/LoadedFile.h"

#include <chrono>
#include <ctime>
#include <filesystem>
#include <limits>
#include <system_error>

#include "platform/Utf8Path.h"

namespace o8r {

namespace {

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

bool CanReuseLastLoad(const LastLoad& last, const std::string& path, const FileStatus& status,
                      const MemoryMap& map) {
    return status.readable && last.trusted && !last.timeStamp.empty() && !last.path.empty() &&
           path == last.path && status.size == last.size && status.timeStamp == last.timeStamp &&
           status.modifiedTicks == last.modifiedTicks && map == last.map;
}

void RememberSuccessfulLoad(LastLoad& last, const std::string& path, const FileStatus& status,
                            const MemoryMap& map) {
    if (!status.readable || status.size > std::numeric_limits<std::uint32_t>::max()) {
        ForgetLastLoad(last);
        return;
    }
    last.size = static_cast<std::uint32_t>(status.size);
    last.timeStamp = status.timeStamp;
    last.map = map;
    last.path = path;
    last.modifiedTicks = status.modifiedTicks;
    last.trusted = TimeTellsRewrites(status.modifiedTicks);
}

void ForgetLastLoad(LastLoad& last) {
    last = LastLoad{};
}

}  // namespace o8r
