#pragma once

// S-record lines for tests, built independently of the system's own writer.

#include <cstdint>
#include <string>
#include <vector>

namespace o8r::test {

// One record, checksum included, no line end: 'type' is '0' to '9'; the address
// takes 2, 3 or 4 bytes by type.
std::string SRecordLine(char type, std::uint32_t address, const std::vector<std::uint8_t>& data);

// The same with its checksum byte changed by `delta`.
std::string SRecordLineBadChecksum(char type, std::uint32_t address,
                                   const std::vector<std::uint8_t>& data, int delta = 1);

// An S0 header line.
std::string SRecordHeader();

// S0 header, S2 records of at most `recordLength` bytes covering `data` from
// `base`, S8 terminator; lines ended with `lineEnd`.
std::string SRecordImage(std::uint32_t base, const std::vector<std::uint8_t>& data,
                         std::size_t recordLength = 16, const std::string& lineEnd = "\r\n");

}  // namespace o8r::test
