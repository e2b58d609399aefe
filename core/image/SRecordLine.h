#pragma once

// One line of Motorola S-record text: type, address and data, with the byte
// count and checksum verified.

#include <array>
#include <cstdint>
#include <string_view>

namespace o8r {

enum class RecordFault {
    None,
    NotSRecord,     // does not begin with 'S'
    UnknownType,    // S4, or no digit after the 'S'
    TooShort,       // not even a byte count
    BadHexDigit,    // a character that is not a hexadecimal digit
    OddLength,      // half a byte at the end
    CountMismatch,  // the byte count disagrees with the length of the line
    CountTooSmall,  // too few bytes for the address and the checksum
    WrongChecksum,
};

struct SRecord {
    char type = 0;              // '0' to '9'
    std::uint32_t address = 0;  // 16, 24 or 32 bits, by type
    std::uint8_t length = 0;    // number of data bytes
    std::array<std::uint8_t, 255> data{};
};

// Address width in bytes of each record type; 0 for a type that does not exist.
int SRecordAddressBytes(char type);

// Parses a line without its line end. On a fault `record` is unspecified.
RecordFault ParseSRecordLine(std::string_view line, SRecord& record);

// The short reason shown after "Line N: ".
const char* RecordFaultReason(RecordFault fault);

}  // namespace o8r
