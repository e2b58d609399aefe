#include "platform/ReadFile.h"

#include <fstream>
#include <sstream>

#include "platform/Utf8Path.h"

namespace o8r {

std::optional<std::string> ReadFileBytes(const std::string& path) {
    std::ifstream in(PathFromUtf8(path), std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return text.str();
}

}  // namespace o8r
