#include "core/model/HexText.h"

namespace o8r {

std::optional<std::uint64_t> ParseHex(std::string_view text) {
    std::uint64_t value = 0;  // unsigned: long texts wrap instead of overflowing
    for (char c : text) {
        unsigned digit;
        if (c >= '0' && c <= '9') {
            digit = static_cast<unsigned>(c - '0');
        } else if (c >= 'A' && c <= 'F') {
            digit = static_cast<unsigned>(c - 'A' + 10);
        } else if (c >= 'a' && c <= 'f') {
            digit = static_cast<unsigned>(c - 'a' + 10);
        } else {
            return std::nullopt;
        }
        value = value * 16 + digit;
    }
    return value;
}

}  // namespace o8r
