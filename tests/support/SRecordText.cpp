#include "support/SRecordText.h"

#include <algorithm>
#include <cstdio>

namespace o8r::test {

namespace {

int AddressBytes(char type) {
    switch (type) {
        case '2':
        case '6':
        case '8':
            return 3;
        case '3':
        case '7':
            return 4;
        default:
            return 2;
    }
}

std::string Build(char type, std::uint32_t address, const std::vector<std::uint8_t>& data,
                  int delta) {
    const int width = AddressBytes(type);
    std::vector<std::uint8_t> bytes;
    bytes.push_back(static_cast<std::uint8_t>(data.size() + width + 1));
    for (int i = width - 1; i >= 0; --i)
        bytes.push_back(static_cast<std::uint8_t>(address >> (8 * i)));
    bytes.insert(bytes.end(), data.begin(), data.end());
    unsigned sum = 0;
    for (auto b : bytes)
        sum += b;
    bytes.push_back(static_cast<std::uint8_t>(~sum + delta));
    std::string line = "S";
    line += type;
    char hex[3];
    for (auto b : bytes) {
        std::snprintf(hex, sizeof hex, "%02X", b);
        line += hex;
    }
    return line;
}

}  // namespace

std::string SRecordLine(char type, std::uint32_t address, const std::vector<std::uint8_t>& data) {
    return Build(type, address, data, 0);
}

std::string SRecordLineBadChecksum(char type, std::uint32_t address,
                                   const std::vector<std::uint8_t>& data, int delta) {
    return Build(type, address, data, delta);
}

std::string SRecordHeader() {
    return SRecordLine('0', 0, {'t', 'e', 's', 't'});
}

std::string SRecordImage(std::uint32_t base, const std::vector<std::uint8_t>& data,
                         std::size_t recordLength, const std::string& lineEnd) {
    std::string text = SRecordHeader() + lineEnd;
    for (std::size_t at = 0; at < data.size(); at += recordLength) {
        const std::size_t n = std::min(recordLength, data.size() - at);
        std::vector<std::uint8_t> chunk(data.begin() + static_cast<std::ptrdiff_t>(at),
                                        data.begin() + static_cast<std::ptrdiff_t>(at + n));
        text += SRecordLine('2', base + static_cast<std::uint32_t>(at), chunk) + lineEnd;
    }
    return text + SRecordLine('8', base, {}) + lineEnd;
}

}  // namespace o8r::test
