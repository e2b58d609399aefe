#pragma once

// Pages of an address range, as Blank Check and Read walk them.

#include <array>
#include <cstdint>
#include <optional>

#include "core/protocol/BoxProtocol.h"

namespace o8r {

using PageBytes = std::array<std::uint8_t, kPageSize>;

// An inclusive address range, start <= end, as the address dialog accepts it.
struct AddressRange {
    std::uint32_t start = 0;
    std::uint32_t end = 0;

    [[nodiscard]] std::uint32_t FirstPage() const { return start >> 8; }
    [[nodiscard]] std::uint32_t LastPage() const { return end >> 8; }
    [[nodiscard]] std::uint16_t PageCount() const {
        return static_cast<std::uint16_t>(LastPage() - FirstPage() + 1);
    }
};

// The offsets [from, to] of page `page` that lie inside the inclusive range.
struct PageSpan {
    std::uint32_t from = 0;
    std::uint32_t to = 0xFF;
};
[[nodiscard]] PageSpan BytesInRange(std::uint32_t page, std::uint32_t start, std::uint32_t end);

// The address of the first byte of `page` inside the range that is not 0xFF.
[[nodiscard]] std::optional<std::uint32_t> FirstFilledAddress(const PageBytes& bytes,
                                                              std::uint32_t page,
                                                              std::uint32_t start,
                                                              std::uint32_t end);

// Progress after `pagesDone` of `pageCount` pages (a count of 0 counts as 1).
[[nodiscard]] int RangePercent(std::uint32_t pagesDone, std::uint32_t pageCount);

}  // namespace o8r
