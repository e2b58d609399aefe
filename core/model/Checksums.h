#pragma once

// Checksums of an image's page data, for the JSON result and the log: a line
// engineer matches them against the released image.

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace o8r {

// CRC-32 as zip and PNG compute it (reflected polynomial 0xEDB88320). Feed
// the data in pieces; Value() may be read at any point.
class Crc32 {
  public:
    void Add(std::span<const std::uint8_t> bytes);
    [[nodiscard]] std::uint32_t Value() const { return ~m_crc; }

  private:
    std::uint32_t m_crc = 0xFFFFFFFFu;
};

// SHA-256 (FIPS 180-4).
class Sha256 {
  public:
    Sha256();
    void Add(std::span<const std::uint8_t> bytes);
    // The digest; the object is spent afterwards.
    [[nodiscard]] std::array<std::uint8_t, 32> Finish();

  private:
    void Block(const std::uint8_t* block);

    std::array<std::uint32_t, 8> m_state{};
    std::array<std::uint8_t, 64> m_buffer{};
    std::size_t m_buffered = 0;
    std::uint64_t m_length = 0;  // bytes added
};

// Lower-case hexadecimal, two digits a byte.
[[nodiscard]] std::string HexText(std::span<const std::uint8_t> bytes);
// Eight hexadecimal digits, lower case.
[[nodiscard]] std::string Crc32Text(std::uint32_t crc);

}  // namespace o8r
