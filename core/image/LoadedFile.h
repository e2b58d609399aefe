#pragma once

// The identity of the file behind the memory image, so that choosing the same
// unchanged file again under the same memory map need not read it again.

#include <cstdint>
#include <string>

#include "core/image/PageImage.h"

namespace o8r {

// Larger image files are refused before they are opened.
constexpr std::uint64_t kMaxImageFileSize = 2'500'000;

struct FileStatus {
    bool readable = false;  // a regular file whose size and time could be read
    std::uint64_t size = 0;
    std::string timeStamp;  // modification time, "%Y%m%d%H%M%S", local time
    // Modification time at the file system's full resolution: a file rewritten
    // within the second of the last load must not pass for the loaded one.
    std::int64_t modifiedTicks = 0;
};

FileStatus ReadFileStatus(const std::string& path);

// True only after a complete successful load of the same path, size, time
// stamp and memory map.
bool CanReuseLastLoad(const LastLoad& last, const std::string& path, const FileStatus& status,
                      const MemoryMap& map);
// Remembers the file just loaded whole.
void RememberSuccessfulLoad(LastLoad& last, const std::string& path, const FileStatus& status,
                            const MemoryMap& map);
// After any failed load: the next choice of any file reads it again.
void ForgetLastLoad(LastLoad& last);

}  // namespace o8r
