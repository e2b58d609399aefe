#include "core/image/ReadRow.h"

namespace o8r {

namespace {

char HexDigit(unsigned value) {
    return "0123456789ABCDEF"[value & 0xF];
}

// " 0" + four digits of the row index + "0": the row address in six digits.
std::string RowLabel(std::uint32_t address) {
    const auto rowIndex = static_cast<std::uint16_t>(address >> 4);
    std::string label = " 0";
    for (int shift = 12; shift >= 0; shift -= 4)
        label += HexDigit(static_cast<unsigned>(rowIndex >> shift));
    label += '0';
    return label;
}

}  // namespace

void AppendReadRows(std::vector<ReadRow>& rows, std::uint32_t start,
                    std::span<const std::uint8_t> data, std::size_t from) {
    for (std::size_t i = from; i < data.size(); ++i) {
        const std::uint32_t address = start + static_cast<std::uint32_t>(i);
        const unsigned column = (address & 0xF) + 1;
        // A new row begins at every 16-byte boundary, and with the first byte.
        if (i == 0 || column == 1 || rows.empty()) {
            ReadRow row;
            row[0] = RowLabel(address);
            rows.push_back(std::move(row));
        }
        const std::uint8_t byte = data[i];
        rows.back()[column] = {HexDigit(byte >> 4u), HexDigit(byte)};
    }
}

std::vector<ReadRow> FormatReadRows(std::uint32_t start, std::span<const std::uint8_t> data) {
    std::vector<ReadRow> rows;
    AppendReadRows(rows, start, data, 0);
    return rows;
}

}  // namespace o8r
