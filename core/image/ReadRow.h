#pragma once

// The read-data window's hex dump, formatted from the bytes read.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace o8r {

// One row of the read-data hex dump: column 0 is a space and the six-digit row
// address (" 00C000"), columns 1 to 16 the bytes as "00".."FF", or empty for
// addresses outside the range read.
using ReadRow = std::array<std::string, 17>;

// Adds to `rows` the cells of data[from...], where data[0] lies at `start`:
// the last row is completed first if the new bytes continue it.
void AppendReadRows(std::vector<ReadRow>& rows, std::uint32_t start,
                    std::span<const std::uint8_t> data, std::size_t from);

// Every row of `data`, which starts at `start`.
[[nodiscard]] std::vector<ReadRow> FormatReadRows(std::uint32_t start,
                                                  std::span<const std::uint8_t> data);

}  // namespace o8r
