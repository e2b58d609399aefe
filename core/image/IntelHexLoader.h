#pragma once

// Intel HEX text into the memory image and the page records the box is sent,
// under the same rules as S-record text.

#include <cstdint>
#include <functional>
#include <iosfwd>

#include "core/image/ImageBuilder.h"

namespace o8r {

// Record types 00 (data), 01 (end), 02 (segment base) and 04 (linear base);
// 03 and 05 (start addresses) are accepted and ignored. Every refusal names
// its line. Never touches the file system.
ImageLoadResult LoadIntelHexImage(PageImage& image, std::istream& in, std::uint64_t fileSize,
                                  const MemoryMap& map, const std::function<void(int)>& progress);

}  // namespace o8r
