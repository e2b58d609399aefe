#pragma once

// What every image reader shares once a record is decoded: the memory map,
// the page limit, the touched pages and the page records built from them.
// Later data over earlier data wins, in every format.

#include <bitset>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "core/image/LineReader.h"
#include "core/image/PageImage.h"
#include "core/model/Message.h"

namespace o8r {

// A read failure in the middle of a file (the file itself could be opened).
inline constexpr char kCanNotReadFile[] = "Can not read file!";

// Data below this address is accepted whatever the memory map says and never
// becomes a page record.
constexpr std::uint32_t kMapFreeLimit = 0x200;

struct SRecordLoadResult {
    bool ok = false;
    Message message;  // owner Owner::FileLoading; shown by the caller when !ok
};
using ImageLoadResult = SRecordLoadResult;

// The loader's refusals: the message, then where in the file and why.
[[nodiscard]] ImageLoadResult RefuseLoad(std::string text);
[[nodiscard]] ImageLoadResult RefuseLoadAt(const char* message, const std::string& where,
                                           const std::string& reason);
// "Error format!" and "Line N: reason".
[[nodiscard]] ImageLoadResult RefuseLoadLine(std::size_t lineNumber, const std::string& reason);
// Below kMapFreeLimit, or inside the map and the image.
[[nodiscard]] bool ImageAddressAccepted(const MemoryMap& map, std::uint64_t address);
[[nodiscard]] std::string HexDigitsText(std::uint64_t value, int digits);

// The lines of a text image after those its reader takes itself: read
// failures, overlong and blank lines, and a record after the end record
// (a second image joined on, whose data would never be sent) refused; any
// other text after the end is ignored.
class RecordLines {
  public:
    RecordLines(LineReader& reader, std::size_t linesRead, bool (*isRecord)(std::string_view))
        : m_reader(reader), m_lineNumber(linesRead), m_isRecord(isRecord) {}

    // True with the next record's line; false at the end of the file
    // (`stop` ok) or with the refusal in `stop`.
    bool Read(std::string_view& line, ImageLoadResult& stop);
    // The record just read ends the image.
    void EndRecordRead() { m_endLine = m_lineNumber; }
    [[nodiscard]] std::size_t LineNumber() const { return m_lineNumber; }
    [[nodiscard]] std::string Where() const { return "Line " + std::to_string(m_lineNumber); }

  private:
    LineReader& m_reader;
    std::size_t m_lineNumber;
    std::size_t m_endLine = 0;
    bool (*m_isRecord)(std::string_view);
};

// The page record of `page` (its number) from the memory image: number, checksum, data.
[[nodiscard]] PageRecord MakePageRecord(const PageImage& image, std::uint32_t page);

class ImageBuilder {
  public:
    // Fills the memory image with 0xFF.
    ImageBuilder(PageImage& image, const MemoryMap& map, std::uint64_t fileSize,
                 const std::function<void(int)>& progress);

    // Copies the bytes to `address` on; `where` ("Line 3") names the place in
    // the file for a refusal.
    [[nodiscard]] bool Place(std::uint64_t address, const std::uint8_t* data, std::size_t length,
                             const std::string& where, ImageLoadResult& refusal);

    // Builds the page records, in ascending page order.
    ImageLoadResult Finish();

  private:
    static constexpr std::size_t kPageCountInImage = kMemImageSize / kPageSize;

    PageImage& m_image;
    MemoryMap m_map;
    std::bitset<kPageCountInImage> m_pages;
    std::size_t m_count = 0;
    std::uint64_t m_divisor;
    const std::function<void(int)>& m_progress;
};

}  // namespace o8r
