#pragma once

// An image as the box is sent it: the memory image the file filled, the page
// records made from it, and the identity of the file it came from. Each
// session and the main window hold their own.

#include <array>
#include <cstdint>
#include <string>

#include "core/model/MemoryMap.h"
#include "core/protocol/BoxProtocol.h"

namespace o8r {

// The file behind the page records, so that choosing the same unchanged file
// again under the same memory map need not read it again.
struct LastLoad {
    std::string path;  // empty: no complete load to reuse
    std::uint32_t size = 0;
    std::string timeStamp;  // "%Y%m%d%H%M%S", local time
    std::int64_t modifiedTicks = 0;
    // The memory map the file was checked against: records are never reused under another.
    MemoryMap map;
    // Where a binary file was placed: one loaded elsewhere is read again.
    std::uint32_t base = 0;
    // False when the file's time cannot tell a later rewrite from it.
    bool trusted = false;
};

// How an image file is written; told from its content.
enum class ImageFormat { SRecord, IntelHex, Binary };

struct PageImage {
    std::array<std::uint8_t, kMemImageSize> memImage{};
    std::array<PageRecord, kMaxPageRecords> pageRecords{};
    std::uint16_t pageCount = 0;
    ImageFormat format = ImageFormat::SRecord;  // of the file last loaded
    LastLoad lastLoad;

    // The page records to send: never more than their array holds.
    [[nodiscard]] std::size_t RecordCount() const {
        return pageCount < kMaxPageRecords ? pageCount : kMaxPageRecords;
    }
};

}  // namespace o8r
