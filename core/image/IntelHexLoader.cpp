#include "core/image/IntelHexLoader.h"

#include <algorithm>
#include <array>
#include <string>

#include "core/image/LineReader.h"
#include "core/model/HexText.h"

namespace o8r {

namespace {

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
        const auto byte = ParseHex(line.substr(2 * i, 2));
        if (!byte)
            return "bad hex digit";
        bytes[i] = static_cast<std::uint8_t>(*byte);
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

}  // namespace

ImageLoadResult LoadIntelHexImage(PageImage& image, std::istream& in, std::uint64_t fileSize,
                                  const MemoryMap& map, const std::function<void(int)>& progress) {
    ImageBuilder builder(image, map, fileSize, progress);
    LineReader reader(in);
    HexRecord record;
    std::string_view line;
    std::uint64_t base = 0;  // from the last 02 or 04 record
    RecordLines lines(reader, 0, [](std::string_view text) { return text.starts_with(':'); });
    ImageLoadResult stop;
    while (lines.Read(line, stop)) {
        ImageLoadResult refusal;
        if (const char* fault = ParseHexLine(line, record); fault != nullptr)
            return RefuseLoadLine(lines.LineNumber(), fault);
        switch (record.type) {
            case 0x00:
                if (!builder.Place(base + record.offset, record.data.data(), record.length,
                                   lines.Where(), refusal)) {
                    return refusal;
                }
                break;
            case 0x01:
                lines.EndRecordRead();
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
    return stop.ok ? builder.Finish() : stop;
}

}  // namespace o8r
