#pragma once

// What every image reader's successful load must hold, whatever the format.

#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "core/image/ImageBuilder.h"
#include "core/image/PageChecksum.h"
#include "core/image/PageImage.h"
#include "fuzz/FuzzRequire.h"

namespace o8r::fuzz {

// One image for every input: it is large, and each load fills it anew.
inline PageImage& SharedImage() {
    static const auto image = std::make_unique<PageImage>();
    return *image;
}

// Page records ascending from 0x200, each holding its page of the image with
// the right checksum, and data only inside the map.
inline void RequireCoherentPages(const PageImage& image, const MemoryMap& map) {
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
        for (std::size_t b = 0; b < kPageSize; ++b) {
            const std::uint32_t address = static_cast<std::uint32_t>(page * kPageSize + b);
            Require(data[b] == 0xFF || InMemoryMap(map, address), "data only inside the map");
        }
    }
}

// A writer's file for bytes taken from the input (a start address from its
// first three bytes, a length from the fourth) loads back into the same bytes.
using ImageWriter = std::string (*)(std::uint32_t, std::span<const std::uint8_t>);
using ImageReader = ImageLoadResult (*)(PageImage&, std::istream&, std::uint64_t, const MemoryMap&,
                                        const std::function<void(int)>&);
inline void RequireRoundTrip(const std::uint8_t* data, std::size_t size, PageImage& image,
                             ImageWriter write, ImageReader read) {
    if (size < 4)
        return;
    const std::uint32_t start =
        0x200 + ((data[0] << 16 | data[1] << 8 | data[2]) % (0x100000 - 0x300));
    std::vector<std::uint8_t> bytes(1 + data[3] % 200);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = data[(4 + i) % size];
    if (start + bytes.size() > kMemImageSize)
        return;
    std::istringstream in(write(start, bytes));
    const ImageLoadResult result = read(image, in, 0, MemoryMap{0, 0, 0x200, 0x100000}, {});
    Require(result.ok, "our own file loads");
    Require(std::memcmp(image.memImage.data() + start, bytes.data(), bytes.size()) == 0,
            "round trip");
}

}  // namespace o8r::fuzz
