#include "srec/SRecordWriter.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include "app/SharedState.h"
#include "srec/Utf8Path.h"

#if defined(_WIN32)
// The C runtime's own open: its fopen ignores the "x" of "wbx".
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#endif

namespace o8r {

namespace {

// A new file for writing, or nullptr when the name is taken (never opens or
// empties an existing file).
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

constexpr char kHeaderLine[] = "S00600005A4F4B05";
constexpr char kLineEnd[] = "\r\n";
constexpr char kDigits[] = "0123456789ABCDEF";

void AppendByte(std::string& out, std::uint8_t byte) {
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
}

// "S" + type + count + 24-bit address + data + checksum (ones' complement of
// the low byte of the sum of count, address and data bytes).
void AppendRecord(std::string& out, char type, std::uint32_t address, const std::uint8_t* data,
                  std::size_t length) {
    const auto count = static_cast<std::uint8_t>(length + 4);
    const std::array<std::uint8_t, 3> addressBytes = {static_cast<std::uint8_t>(address >> 16),
                                                      static_cast<std::uint8_t>(address >> 8),
                                                      static_cast<std::uint8_t>(address)};
    unsigned sum = count;
    out += 'S';
    out += type;
    AppendByte(out, count);
    for (std::uint8_t b : addressBytes) {
        AppendByte(out, b);
        sum += b;
    }
    for (std::size_t i = 0; i < length; ++i) {
        AppendByte(out, data[i]);
        sum += data[i];
    }
    AppendByte(out, static_cast<std::uint8_t>(0xFF - (sum & 0xFF)));
}

// The row address is the last five characters of column 0 (" 00C100").
std::uint32_t RowAddress(const ReadRow& row) {
    const std::string& label = row[0];
    const std::string_view digits =
        label.size() > 5 ? std::string_view(label).substr(label.size() - 5) : label;
    return static_cast<std::uint32_t>(ParseHex(digits)) & 0xFFFFF;
}

void AppendRow(std::string& out, const ReadRow& row, std::uint32_t address) {
    std::array<std::uint8_t, 16> data{};
    std::size_t length = 0;
    for (std::size_t column = 1; column < row.size(); ++column) {
        if (row[column].empty())
            continue;
        data[length++] = static_cast<std::uint8_t>(ParseHex(row[column]) & 0xFF);
    }
    AppendRecord(out, '2', address, data.data(), length);
    out += kLineEnd;
}

}  // namespace

std::string BuildSRecordFile(const std::vector<ReadRow>& rows, std::uint32_t rangeStart) {
    std::string out;
    if (rows.empty())
        return out;
    out.reserve(24 + rows.size() * 46);
    out += kHeaderLine;
    out += kLineEnd;
    AppendRow(out, rows.front(), rangeStart & 0xFFFFFF);
    for (std::size_t i = 1; i < rows.size(); ++i)
        AppendRow(out, rows[i], RowAddress(rows[i]));
    AppendRecord(out, '8', RowAddress(rows.front()), nullptr, 0);
    return out;
}

bool WriteFileReplacing(const std::string& path, const std::string& contents) {
    namespace fs = std::filesystem;
    if (path.empty())
        return false;
    const fs::path target = PathFromUtf8(path);
    std::error_code error;
    if (fs::is_directory(target, error))
        return false;

    // A fresh name beside the target, created exclusively so that no other
    // file is ever overwritten by the temporary one.
    std::random_device seed;
    std::mt19937 random(seed());
    fs::path temporary;
    std::FILE* file = nullptr;
    for (int attempt = 0; attempt < 16 && file == nullptr; ++attempt) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%08X.tmp", static_cast<unsigned>(random()));
        temporary = target;
        temporary += suffix;
        file = CreateNewFile(temporary);
    }
    if (file == nullptr)
        return false;

    bool ok = std::fwrite(contents.data(), 1, contents.size(), file) == contents.size();
    ok = std::fflush(file) == 0 && ok;
    ok = std::fclose(file) == 0 && ok;
    if (ok) {
        fs::rename(temporary, target, error);
        ok = !error;
    }
    if (!ok)
        fs::remove(temporary, error);
    return ok;
}

}  // namespace o8r
