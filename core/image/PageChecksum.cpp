#include "core/image/PageChecksum.h"

#include <array>

namespace o8r {

namespace {

// The reflected form of 0x1021 lets the register run LSB first without
// reversing each byte and the result.
constexpr std::uint16_t kReflectedPoly = 0x8408;

constexpr std::array<std::uint16_t, 256> MakeTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        std::uint16_t r = static_cast<std::uint16_t>(i);
        for (int bit = 0; bit < 8; ++bit) {
            r = static_cast<std::uint16_t>((r & 1) ? (r >> 1) ^ kReflectedPoly : r >> 1);
        }
        table[i] = r;
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> kTable = MakeTable();

}  // namespace

std::uint16_t PageChecksum(const std::uint8_t* data, std::size_t length) {
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < length; ++i) {
        crc = static_cast<std::uint16_t>((crc >> 8) ^ kTable[(crc ^ data[i]) & 0xFF]);
    }
    return crc;
}

}  // namespace o8r
