#include "core/jobs/SerialSource.h"

#include <chrono>
#include <fstream>
#include <set>
#include <sstream>

#include "core/image/SerialNumber.h"
#include "platform/FileLock.h"
#include "platform/NewFile.h"
#include "platform/ReadFile.h"
#include "platform/Utf8Path.h"

namespace o8r {

namespace {

// Long enough for a whole gang queueing on one counter.
constexpr std::chrono::milliseconds kLockWait{10000};

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

// The list's numbers as written, in file order: blank lines and # comments skipped.
std::optional<std::vector<std::string>> ListLines(const std::string& path, std::string& error) {
    const auto text = ReadFileBytes(path);
    if (!text) {
        error = "cannot read the serial list '" + path + "'";
        return std::nullopt;
    }
    std::vector<std::string> lines;
    std::istringstream in(*text);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        line = Trimmed(line);
        if (line.empty() || line[0] == '#')
            continue;
        if (!ParseSerialValue(line)) {
            error = "line " + std::to_string(number) + " of the serial list '" + path +
                    "' is not a number: " + line;
            return std::nullopt;
        }
        lines.push_back(line);
    }
    return lines;
}

class SourceLock {
  public:
    SourceLock(const std::string& file, std::string& error) {
        bool busy = false;
        m_lock = FileLock::Acquire(file + ".lock", kLockWait, busy, error);
        if (busy)
            error = "the serial file '" + file + "' is still locked by another run after " +
                    WaitText(kLockWait);
    }
    [[nodiscard]] bool Held() const { return m_lock != nullptr; }

  private:
    std::unique_ptr<FileLock> m_lock;
};

std::optional<std::uint64_t> FromStart(const SerialSource& source, std::uint64_t index,
                                       std::string& error) {
    if (source.step != 0 && index > (UINT64_MAX - source.start) / source.step) {
        error = "the serial numbers from " + std::to_string(source.start) + " have run out";
        return std::nullopt;
    }
    return source.start + index * source.step;
}

// Reads the counter; with `take`, writes the next number back while locked.
std::optional<std::uint64_t> FromCounter(const SerialSource& source, bool take,
                                         std::string& error) {
    SourceLock lock(source.file, error);
    if (!lock.Held())
        return std::nullopt;
    const auto text = ReadFileBytes(source.file);
    if (!text) {
        error = "cannot read the serial counter '" + source.file + "'";
        return std::nullopt;
    }
    const std::string number = Trimmed(*text);
    const auto value = ParseSerialValue(number);
    if (!value) {
        error = "the serial counter '" + source.file +
                "' does not hold one number: " + number.substr(0, 40);
        return std::nullopt;
    }
    if (!take)
        return value;
    if (*value > UINT64_MAX - source.step) {
        error = "the serial counter '" + source.file + "' has run out";
        return std::nullopt;
    }
    std::string reason;
    if (!ReplaceRegularFile(PathFromUtf8(source.file), std::to_string(*value + source.step) + "\n",
                            reason)) {
        error = "cannot advance the serial counter '" + source.file + "': " + reason;
        return std::nullopt;
    }
    return value;
}

std::optional<std::uint64_t> FromList(const SerialSource& source, bool take, std::string& error) {
    SourceLock lock(source.file, error);
    if (!lock.Held())
        return std::nullopt;
    const auto lines = ListLines(source.file, error);
    if (!lines)
        return std::nullopt;
    const std::string usedPath = UsedListPath(source.file);
    const std::string used = ReadFileBytes(usedPath).value_or("");
    std::set<std::string> taken;
    std::istringstream in(used);
    for (std::string line; std::getline(in, line);)
        taken.insert(Trimmed(line));
    for (const std::string& line : *lines) {
        if (taken.count(line) != 0)
            continue;
        if (take) {
            std::string reason;
            const std::string before = used.empty() || used.back() == '\n' ? used : used + "\n";
            if (!ReplaceRegularFile(PathFromUtf8(usedPath), before + line + "\n", reason)) {
                error = "cannot record the used serial in '" + usedPath + "': " + reason;
                return std::nullopt;
            }
        }
        return ParseSerialValue(line);
    }
    error = "the serial list '" + source.file + "' is used up (all " +
            std::to_string(lines->size()) + " numbers taken; see '" + usedPath + "')";
    return std::nullopt;
}

std::optional<std::uint64_t> Serial(const SerialSource& source, std::uint64_t index, bool take,
                                    std::string& error) {
    switch (source.kind) {
        case SerialSource::Kind::Start:
            return FromStart(source, index, error);
        case SerialSource::Kind::Counter:
            return FromCounter(source, take, error);
        case SerialSource::Kind::List:
            return FromList(source, take, error);
    }
    return std::nullopt;
}

}  // namespace

std::string SerialSourceText(const SerialSource& source) {
    switch (source.kind) {
        case SerialSource::Kind::Start:
            return "start " + std::to_string(source.start) + " step " + std::to_string(source.step);
        case SerialSource::Kind::Counter:
            return "counter " + source.file + " step " + std::to_string(source.step);
        case SerialSource::Kind::List:
            return "list " + source.file;
    }
    return {};
}

std::optional<std::uint64_t> TakeSerial(const SerialSource& source, std::uint64_t index,
                                        std::string& error) {
    return Serial(source, index, true, error);
}

std::optional<std::uint64_t> NextSerial(const SerialSource& source, std::uint64_t index,
                                        std::string& error) {
    return Serial(source, index, false, error);
}

std::string UsedListPath(const std::string& listPath) {
    return listPath + ".used";
}

}  // namespace o8r
