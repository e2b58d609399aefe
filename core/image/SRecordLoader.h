#pragma once

// Motorola S-record text into the memory image and the page records the box
// is sent.

#include <cstdint>
#include <functional>
#include <iosfwd>

#include "core/image/ImageBuilder.h"

namespace o8r {

// Parses S-record text into the image's memory image (filled with 0xFF first)
// and, on success only, rebuilds its page records and page count: one record for every page at or
// above kMapFreeLimit that the data touches, in ascending page order.
// `progress` gets the percentage the loading dialog shows, each time a new page
// is touched. Never touches the file system.
SRecordLoadResult LoadSRecordImage(PageImage& image, std::istream& in, std::uint64_t fileSize,
                                   const MemoryMap& map, const std::function<void(int)>& progress);

}  // namespace o8r
