#pragma once

#include <cstddef>
#include <cstdint>

namespace o8r {

// CRC-16/KERMIT (polynomial 0x1021, reflected, start 0, no final xor): the
// checksum the box verifies for each page record's 256 data bytes.
std::uint16_t PageChecksum(const std::uint8_t* data, std::size_t length);

}  // namespace o8r
