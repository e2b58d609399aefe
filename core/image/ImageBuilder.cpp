#include "core/image/ImageBuilder.h"

#include <cstdio>
#include <cstring>

#include "core/image/PageChecksum.h"
#include "core/model/Messages.h"

namespace o8r {

bool ImageAddressAccepted(const MemoryMap& map, std::uint64_t address) {
    if (address < kMapFreeLimit)
        return true;
    if (address >= kMemImageSize)
        return false;
    return InMemoryMap(map, static_cast<std::uint32_t>(address));
}

ImageLoadResult RefuseLoad(std::string text) {
    return {false, Message{std::move(text), text::kCaptionError, MsgIcon::Error, MsgButtons::Ok,
                           Owner::FileLoading}};
}

ImageLoadResult RefuseLoadAt(const char* message, const std::string& where,
                             const std::string& reason) {
    return RefuseLoad(std::string(message) + "\n" + where + ": " + reason);
}

ImageLoadResult RefuseLoadLine(std::size_t lineNumber, const std::string& reason) {
    return RefuseLoadAt(text::kErrorFormat, "Line " + std::to_string(lineNumber), reason);
}

std::string HexDigitsText(std::uint64_t value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "%0*llX", digits, static_cast<unsigned long long>(value));
    return text;
}

bool RecordLines::Read(std::string_view& line, ImageLoadResult& stop) {
    for (;;) {
        const LineReader::Status status = m_reader.Next(line);
        ++m_lineNumber;
        if (status == LineReader::Status::End) {
            stop = {true, {}};
            return false;
        }
        if (status == LineReader::Status::ReadError) {
            stop = RefuseLoad(kCanNotReadFile);
            return false;
        }
        if (m_endLine != 0) {
            if (!m_isRecord(line))
                continue;
            stop = RefuseLoadLine(
                m_lineNumber, "a record after the end record of line " + std::to_string(m_endLine));
            return false;
        }
        if (status == LineReader::Status::TooLong) {
            stop = RefuseLoadLine(m_lineNumber, "line too long");
            return false;
        }
        if (!line.empty())
            return true;
    }
}

ImageBuilder::ImageBuilder(PageImage& image, const MemoryMap& map, std::uint64_t fileSize,
                           const std::function<void(int)>& progress)
    : m_image(image), m_map(map), m_divisor(fileSize / 512 + 2), m_progress(progress) {
    m_image.memImage.fill(0xFF);
}

bool ImageBuilder::Place(std::uint64_t address, const std::uint8_t* data, std::size_t length,
                         const std::string& where, ImageLoadResult& refusal) {
    if (length == 0)
        return true;
    const std::uint64_t last = address + length - 1;
    for (std::uint64_t at = address; at <= last; ++at) {
        if (!ImageAddressAccepted(m_map, at)) {
            refusal =
                RefuseLoadAt(text::kLoadAddressOutOfMap, where, "address " + HexDigitsText(at, 5));
            return false;
        }
    }
    std::memcpy(m_image.memImage.data() + address, data, length);
    if (last < kMapFreeLimit)
        return true;
    const std::uint64_t listedFrom = address < kMapFreeLimit ? kMapFreeLimit : address;
    for (std::size_t page = listedFrom / kPageSize; page <= last / kPageSize; ++page) {
        if (m_pages.test(page))
            continue;
        m_pages.set(page);
        if (++m_count > kMaxPageRecords) {
            refusal = RefuseLoadAt(text::kTooManyPages, where,
                                   "the " + std::to_string(kMaxPageRecords + 1) + "th page");
            return false;
        }
        if (m_progress) {
            const std::uint64_t percent = m_count * 100 / m_divisor;
            m_progress(percent > 100 ? 100 : static_cast<int>(percent));
        }
    }
    return true;
}

PageRecord MakePageRecord(const PageImage& image, std::uint32_t page) {
    PageRecord record{};
    const std::uint8_t* data = image.memImage.data() + page * kPageSize;
    const std::uint16_t checksum = PageChecksum(data, kPageSize);
    record[0] = static_cast<std::uint8_t>(page & 0xFF);
    record[1] = static_cast<std::uint8_t>(page >> 8);
    record[2] = static_cast<std::uint8_t>(checksum & 0xFF);
    record[3] = static_cast<std::uint8_t>(checksum >> 8);
    std::memcpy(record.data() + kPageRecordDataOffset, data, kPageSize);
    return record;
}

ImageLoadResult ImageBuilder::Finish() {
    std::size_t index = 0;
    for (std::size_t page = kMapFreeLimit / kPageSize; page < kPageCountInImage; ++page) {
        if (!m_pages.test(page))
            continue;
        m_image.pageRecords[index++] = MakePageRecord(m_image, static_cast<std::uint32_t>(page));
    }
    m_image.pageCount = static_cast<std::uint16_t>(index);
    return {true, {}};
}

}  // namespace o8r
