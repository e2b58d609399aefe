#include "core/image/IntelHexLoader.h"

#include <algorithm>
#include <array>
#include <string>

#include "core/image/LineReader.h"
#include "core/model/Messages.h"

namespace o8r {

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

struct HexRecord {
    std::uint8_t type = 0;
    std::uint16_t offset = 0;
    std::uint8_t length = 0;
    std::array<std::uint8_t, 255> data{};
};

// Nothing on success, else the reason shown after "Line N: ".
const char* ParseHexLine(std::string_view line, HexRecord& record) {
    if (line.empty() || line[0] != ':')
        return "not an Intel HEX record";
    line.remove_prefix(1);
    if (line.size() % 2 != 0)
        return "odd number of hex digits";
    if (line.size() < 10)
        return "line too short";
    std::array<std::uint8_t, 260> bytes{};
    const std::size_t count = line.size() / 2;
    if (count > bytes.size())
        return "byte count does not match the line length";
    unsigned sum = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const int high = HexDigit(line[2 * i]);
        const int low = HexDigit(line[2 * i + 1]);
        if (high < 0 || low < 0)
            return "bad hex digit";
        bytes[i] = static_cast<std::uint8_t>(high << 4 | low);
        sum += bytes[i];
    }
    if (bytes[0] + 5u != count)
        return "byte count does not match the line length";
    if ((sum & 0xFF) != 0)
        return "wrong checksum";
    record.length = bytes[0];
    record.offset = static_cast<std::uint16_t>(bytes[1] << 8 | bytes[2]);
    record.type = bytes[3];
    std::copy(bytes.begin() + 4, bytes.begin() + 4 + record.length, record.data.begin());
    switch (record.type) {
        case 0x00:
            return nullptr;
        case 0x01:
            return record.length == 0 ? nullptr : "end record with data";
        case 0x02:
        case 0x04:
            return record.length == 2 ? nullptr : "base address record not of 2 bytes";
        case 0x03:
        case 0x05:
            return record.length == 4 ? nullptr : "start address record not of 4 bytes";
        default:
            return "unknown record type";
    }
}

ImageLoadResult RefuseLine(std::size_t lineNumber, const std::string& reason) {
    return RefuseLoadAt(text::kErrorFormat, "Line " + std::to_string(lineNumber), reason);
}

}  // namespace

ImageLoadResult LoadIntelHexImage(PageImage& image, std::istream& in, std::uint64_t fileSize,
                                  const MemoryMap& map, const std::function<void(int)>& progress) {
    ImageBuilder builder(image, map, fileSize, progress);
    LineReader reader(in);
    HexRecord record;
    std::string_view line;
    std::uint64_t base = 0;  // from the last 02 or 04 record
    std::size_t lineNumber = 0;
    std::size_t endLine = 0;  // the 01 record
    for (;;) {
        const LineReader::Status status = reader.Next(line);
        ++lineNumber;
        if (status == LineReader::Status::End)
            break;
        if (status == LineReader::Status::ReadError)
            return RefuseLoad(kCanNotReadFile);
        if (endLine != 0) {
            // As for S-records: a record past the end is a second image,
            // refused; anything else there is ignored.
            if (!line.empty() && line[0] == ':')
                return RefuseLine(
                    lineNumber, "a record after the end record of line " + std::to_string(endLine));
            continue;
        }
        if (status == LineReader::Status::TooLong)
            return RefuseLine(lineNumber, "line too long");
        if (line.empty())
            continue;
        if (const char* fault = ParseHexLine(line, record); fault != nullptr)
            return RefuseLine(lineNumber, fault);
        switch (record.type) {
            case 0x00:
                if (ImageLoadResult refusal;
                    !builder.Place(base + record.offset, record.data.data(), record.length,
                                   "Line " + std::to_string(lineNumber), refusal)) {
                    return refusal;
                }
                break;
            case 0x01:
                endLine = lineNumber;
                break;
            case 0x02:
                base = static_cast<std::uint64_t>(record.data[0] << 8 | record.data[1]) << 4;
                break;
            case 0x04:
                base = static_cast<std::uint64_t>(record.data[0] << 8 | record.data[1]) << 16;
                break;
            default:
                break;  // a start address means nothing to a flash part
        }
    }
    return builder.Finish();
}

}  // namespace o8r
