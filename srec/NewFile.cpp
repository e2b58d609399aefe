#include "srec/NewFile.h"

#if defined(_WIN32)
// The C runtime's own open: its fopen ignores the "x" of "wbx".
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#endif

namespace o8r {

std::FILE* CreateNewFile(const std::filesystem::path& path) {
#if defined(_WIN32)
    const int fd =
        _wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0)
        return nullptr;
    std::FILE* file = _fdopen(fd, "wb");
    if (file == nullptr)
        _close(fd);
    return file;
#else
    return std::fopen(path.c_str(), "wbx");
#endif
}

}  // namespace o8r
