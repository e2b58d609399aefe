#pragma once

// The one hexadecimal text parser of the system.

#include <cstdint>
#include <optional>
#include <string_view>

namespace o8r {

// Digits 0-9, A-F, a-f accumulated in 64 bits (a longer text wraps); an empty
// text gives 0; any other character gives nothing.
[[nodiscard]] std::optional<std::uint64_t> ParseHex(std::string_view text);

}  // namespace o8r
