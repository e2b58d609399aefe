#include "core/image/SRecordLine.h"

namespace o8r {

namespace {

constexpr std::array<std::int8_t, 256> MakeHexTable() {
    std::array<std::int8_t, 256> table{};
    for (auto& v : table)
        v = -1;
    for (int c = '0'; c <= '9'; ++c)
        table[c] = static_cast<std::int8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c)
        table[c] = static_cast<std::int8_t>(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c)
        table[c] = static_cast<std::int8_t>(c - 'a' + 10);
    return table;
}

constexpr std::array<std::int8_t, 256> kHexValue = MakeHexTable();

inline int HexDigit(char c) {
    return kHexValue[static_cast<unsigned char>(c)];
}

}  // namespace

int SRecordAddressBytes(char type) {
    switch (type) {
        case '0':
        case '1':
        case '5':
        case '9':
            return 2;
        case '2':
        case '6':
        case '8':
            return 3;
        case '3':
        case '7':
            return 4;
        default:
            return 0;
    }
}

RecordFault ParseSRecordLine(std::string_view line, SRecord& record) {
    if (line.empty() || line[0] != 'S')
        return RecordFault::NotSRecord;
    if (line.size() < 2)
        return RecordFault::TooShort;
    const int addressBytes = SRecordAddressBytes(line[1]);
    if (addressBytes == 0)
        return RecordFault::UnknownType;
    if (line.size() < 4)
        return RecordFault::TooShort;

    const std::string_view hex = line.substr(2);
    // Longest record: count 0xFF, i.e. 256 bytes after the type.
    std::array<std::uint8_t, 256> bytes;
    const std::size_t pairs = hex.size() / 2;
    for (std::size_t i = 0; i < pairs && i < bytes.size(); ++i) {
        const int hi = HexDigit(hex[2 * i]);
        const int lo = HexDigit(hex[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return RecordFault::BadHexDigit;
        bytes[i] = static_cast<std::uint8_t>(hi << 4 | lo);
    }
    for (std::size_t i = 2 * bytes.size(); i < hex.size(); ++i) {
        if (HexDigit(hex[i]) < 0)
            return RecordFault::BadHexDigit;
    }
    if (hex.size() % 2 != 0) {
        if (HexDigit(hex.back()) < 0)
            return RecordFault::BadHexDigit;
        return RecordFault::OddLength;
    }

    const std::size_t count = bytes[0];
    if (pairs != count + 1)
        return RecordFault::CountMismatch;
    if (count < static_cast<std::size_t>(addressBytes) + 1)
        return RecordFault::CountTooSmall;

    unsigned sum = 0;
    for (std::size_t i = 0; i < pairs; ++i)
        sum += bytes[i];
    if ((sum & 0xFF) != 0xFF)
        return RecordFault::WrongChecksum;

    std::uint32_t address = 0;
    for (int i = 0; i < addressBytes; ++i)
        address = address << 8 | bytes[1 + i];
    record.type = line[1];
    record.address = address;
    record.length = static_cast<std::uint8_t>(count - addressBytes - 1);
    for (std::size_t i = 0; i < record.length; ++i)
        record.data[i] = bytes[1 + addressBytes + i];
    return RecordFault::None;
}

const char* RecordFaultReason(RecordFault fault) {
    switch (fault) {
        case RecordFault::None:
            return "no fault";
        case RecordFault::NotSRecord:
            return "not an S-record";
        case RecordFault::UnknownType:
            return "unknown record type";
        case RecordFault::BadHexDigit:
            return "bad hex digit";
        case RecordFault::TooShort:
            return "line too short";
        case RecordFault::OddLength:
            return "odd number of hex digits";
        case RecordFault::CountMismatch:
            return "byte count does not match the line length";
        case RecordFault::CountTooSmall:
            return "byte count too small for the address";
        case RecordFault::WrongChecksum:
            return "wrong checksum";
    }
    return "malformed record";
}

}  // namespace o8r
