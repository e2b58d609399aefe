#include "core/image/SRecordLoader.h"

#include <bitset>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/image/LineReader.h"
#include "core/image/PageChecksum.h"
#include "core/image/SRecordLine.h"
#include "core/model/Messages.h"

namespace o8r {

namespace {

constexpr std::size_t kPageCountInImage = kMemImageSize / kPageSize;

Message ErrorBox(std::string text) {
    return Message{std::move(text), text::kCaptionError, MsgIcon::Error, MsgButtons::Ok,
                   Owner::FileLoading};
}

SRecordLoadResult Refuse(std::string text) {
    return {false, ErrorBox(std::move(text))};
}

// The message, then where in the file and why.
SRecordLoadResult RefuseAt(const char* message, std::size_t lineNumber, const std::string& reason) {
    return Refuse(std::string(message) + "\nLine " + std::to_string(lineNumber) + ": " + reason);
}

SRecordLoadResult RefuseLine(std::size_t lineNumber, const char* reason) {
    return RefuseAt(text::kErrorFormat, lineNumber, reason);
}

std::string Hex(std::uint64_t value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "%0*llX", digits, static_cast<unsigned long long>(value));
    return text;
}

bool AddressAccepted(const MemoryMap& map, std::uint64_t address) {
    if (address < kMapFreeLimit)
        return true;
    if (address >= kMemImageSize)
        return false;
    return InMemoryMap(map, static_cast<std::uint32_t>(address));
}

// The pages a file touches, in any order; records are built from the set in
// ascending order once the whole file is read.
class TouchedPages {
  public:
    TouchedPages(std::uint64_t fileSize, const std::function<void(int)>& progress)
        : m_divisor(fileSize / 512 + 2), m_progress(progress) {}

    // False once more pages are touched than the box takes.
    bool Touch(std::size_t first, std::size_t last) {
        for (std::size_t page = first; page <= last; ++page) {
            if (m_pages.test(page))
                continue;
            m_pages.set(page);
            if (++m_count > kMaxPageRecords)
                return false;
            if (m_progress) {
                const std::uint64_t percent = m_count * 100 / m_divisor;
                m_progress(percent > 100 ? 100 : static_cast<int>(percent));
            }
        }
        return true;
    }

    std::size_t Count() const { return m_count; }
    bool Has(std::size_t page) const { return m_pages.test(page); }

  private:
    std::bitset<kPageCountInImage> m_pages;
    std::size_t m_count = 0;
    std::uint64_t m_divisor;
    const std::function<void(int)>& m_progress;
};

void BuildPageRecords(const TouchedPages& pages, PageImage& image) {
    std::size_t index = 0;
    for (std::size_t page = kMapFreeLimit / kPageSize; page < kPageCountInImage; ++page) {
        if (!pages.Has(page))
            continue;
        PageRecord& record = image.pageRecords[index++];
        const std::uint8_t* data = image.memImage.data() + page * kPageSize;
        const std::uint16_t checksum = PageChecksum(data, kPageSize);
        record[0] = static_cast<std::uint8_t>(page & 0xFF);
        record[1] = static_cast<std::uint8_t>(page >> 8);
        record[2] = static_cast<std::uint8_t>(checksum & 0xFF);
        record[3] = static_cast<std::uint8_t>(checksum >> 8);
        std::memcpy(record.data() + 4, data, kPageSize);
    }
    image.pageCount = static_cast<std::uint16_t>(index);
}

}  // namespace

SRecordLoadResult LoadSRecordImage(PageImage& image, std::istream& in, std::uint64_t fileSize,
                                   const MemoryMap& map, const std::function<void(int)>& progress) {
    image.memImage.fill(0xFF);
    LineReader reader(in);
    SRecord record;
    std::string_view line;

    // The first line must be the S0 header; an empty file has one empty line.
    LineReader::Status status = reader.Next(line);
    if (status == LineReader::Status::ReadError)
        return Refuse(kCanNotReadFile);
    if (status == LineReader::Status::End)
        line = {};
    if (line.substr(0, 2) != "S0")
        return RefuseLine(1, "no S0 header");
    if (status == LineReader::Status::TooLong)
        return RefuseLine(1, "line too long");
    if (const RecordFault fault = ParseSRecordLine(line, record); fault != RecordFault::None) {
        return RefuseLine(1, RecordFaultReason(fault));
    }

    TouchedPages pages(fileSize, progress);
    std::size_t lineNumber = 1;
    std::size_t endLine = 0;  // the S7, S8 or S9 record
    for (;;) {
        status = reader.Next(line);
        ++lineNumber;
        if (status == LineReader::Status::End)
            break;
        if (status == LineReader::Status::ReadError)
            return Refuse(kCanNotReadFile);
        if (endLine != 0) {
            // Records after the end are a second image (two files joined):
            // refused, or its data would silently never be sent. Anything
            // else there (a note, a DOS end-of-file mark) stays ignored.
            if (line.size() >= 2 && line[0] == 'S' && line[1] >= '0' && line[1] <= '9')
                return RefuseAt(text::kErrorFormat, lineNumber,
                                "a record after the end record of line " + std::to_string(endLine));
            continue;
        }
        if (status == LineReader::Status::TooLong)
            return RefuseLine(lineNumber, "line too long");
        if (line.empty())
            continue;

        if (const RecordFault fault = ParseSRecordLine(line, record); fault != RecordFault::None) {
            return RefuseLine(lineNumber, RecordFaultReason(fault));
        }
        if (record.type == '7' || record.type == '8' || record.type == '9') {
            endLine = lineNumber;
            continue;
        }
        if (record.type != '1' && record.type != '2' && record.type != '3')
            continue;
        if (record.length == 0)
            continue;

        const std::uint64_t first = record.address;
        const std::uint64_t last = first + record.length - 1;
        for (std::uint64_t address = first; address <= last; ++address) {
            if (!AddressAccepted(map, address)) {
                return RefuseAt(text::kLoadAddressOutOfMap, lineNumber,
                                "address " + Hex(address, 5));
            }
        }
        std::memcpy(image.memImage.data() + first, record.data.data(), record.length);
        if (last >= kMapFreeLimit) {
            const std::uint64_t listedFrom = first < kMapFreeLimit ? kMapFreeLimit : first;
            if (!pages.Touch(listedFrom / kPageSize, last / kPageSize)) {
                return RefuseAt(text::kTooManyPages, lineNumber,
                                "the " + std::to_string(kMaxPageRecords + 1) + "th page");
            }
        }
    }

    BuildPageRecords(pages, image);
    return {true, {}};
}

}  // namespace o8r
