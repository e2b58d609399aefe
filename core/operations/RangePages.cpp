#include "core/operations/RangePages.h"

namespace o8r {

PageSpan BytesInRange(std::uint32_t page, std::uint32_t start, std::uint32_t end) {
    PageSpan span;
    if (page == (start >> 8))
        span.from = start & 0xFF;
    if (page == (end >> 8))
        span.to = end & 0xFF;
    return span;
}

std::optional<std::uint32_t> FirstFilledAddress(const PageBytes& bytes, std::uint32_t page,
                                                std::uint32_t start, std::uint32_t end) {
    const PageSpan span = BytesInRange(page, start, end);
    for (std::uint32_t offset = span.from; offset <= span.to; ++offset) {
        if (bytes[offset] != 0xFF)
            return page * 256 + offset;
    }
    return std::nullopt;
}

int RangePercent(std::uint32_t pagesDone, std::uint32_t pageCount) {
    return static_cast<int>(pagesDone * 100 / (pageCount == 0 ? 1 : pageCount));
}

}  // namespace o8r
