// Any bytes as an Intel HEX file: the reader must refuse or load without
// reading or writing outside its buffers, and what it loads must be coherent.
// A slice of the input also goes through the writer and back.

#include <cstdint>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/image/ImageFile.h"
#include "core/image/IntelHexLoader.h"
#include "core/image/PageChecksum.h"
#include "fuzz/FuzzRequire.h"

namespace {

using namespace o8r;
using fuzz::Require;

PageImage& Image() {
    static const auto image = std::make_unique<PageImage>();
    return *image;
}

const MemoryMap kMaps[] = {
    {0, 0, 0x4000, 0x24000},
    {0x2400, 0x2C00, 0x4000, 0x14000},
    {0, 0, 0x200, 0xFFFFFFFF},
};

void CheckLoad(const std::string& text, const MemoryMap& map) {
    std::istringstream in(text);
    PageImage& image = Image();
    const ImageLoadResult result = LoadIntelHexImage(image, in, text.size(), map, {});
    if (!result.ok) {
        Require(!result.message.text.empty(), "a refusal says why");
        return;
    }
    Require(image.pageCount <= kMaxPageRecords, "at most 512 page records");
    int previous = -1;
    for (std::size_t i = 0; i < image.pageCount; ++i) {
        const PageRecord& record = image.pageRecords[i];
        const int page = PageRecordNumber(record);
        Require(page > previous && page >= 2 && page < 4096, "pages ascending from 0x200");
        previous = page;
        const std::uint8_t* data = image.memImage.data() + page * kPageSize;
        Require(std::memcmp(record.data() + 4, data, kPageSize) == 0, "record holds the image");
        Require(PageRecordChecksum(record) == PageChecksum(data, kPageSize), "checksum");
    }
}

void CheckRoundTrip(const std::uint8_t* data, std::size_t size) {
    if (size < 4)
        return;
    const std::uint32_t start =
        0x200 + ((data[0] << 16 | data[1] << 8 | data[2]) % (0x100000 - 0x300));
    const std::size_t length = 1 + data[3] % 200;
    std::vector<std::uint8_t> bytes(length);
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = data[(4 + i) % size];
    std::istringstream in(BuildIntelHexFile(start, bytes));
    PageImage& image = Image();
    const ImageLoadResult result =
        LoadIntelHexImage(image, in, 0, MemoryMap{0, 0, 0x200, 0x100000}, {});
    Require(result.ok, "our own file loads");
    Require(std::memcmp(image.memImage.data() + start, bytes.data(), length) == 0, "round trip");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CheckLoad(std::string(reinterpret_cast<const char*>(data), size), kMaps[size % 3]);
    CheckRoundTrip(data, size);
    return 0;
}
