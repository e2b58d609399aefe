#include "core/image/SRecordWriter.h"

#include <algorithm>
#include <array>

#include "platform/NewFile.h"
#include "platform/Utf8Path.h"

namespace o8r {

namespace {

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

}  // namespace

std::string BuildSRecordFile(std::uint32_t rangeStart, std::span<const std::uint8_t> data) {
    std::string out;
    if (data.empty())
        return out;
    out.reserve(24 + (data.size() / 16 + 2) * 46);
    out += kHeaderLine;
    out += kLineEnd;
    // One record per row of the dump: the first from the range's start to the
    // end of its row, the others from their row's start.
    std::size_t i = 0;
    while (i < data.size()) {
        const std::uint32_t address = (rangeStart + static_cast<std::uint32_t>(i)) & 0xFFFFF;
        const std::size_t length = std::min<std::size_t>(16 - (address & 0xF), data.size() - i);
        AppendRecord(out, '2', address, data.data() + i, length);
        out += kLineEnd;
        i += length;
    }
    AppendRecord(out, '8', rangeStart & 0xFFFF0, nullptr, 0);
    return out;
}

bool WriteFileReplacing(const std::string& path, const std::string& contents, std::string* reason) {
    std::string why;
    const bool ok = ReplaceRegularFile(PathFromUtf8(path), contents, why);
    if (!ok && reason != nullptr)
        *reason = why;
    return ok;
}

}  // namespace o8r
