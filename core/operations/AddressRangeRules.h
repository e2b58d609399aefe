#pragma once

// The rules of the address range entry for Read and Blank Check: which message
// the OK button shows, or the range it accepts and the pages that range touches.

#include <cstdint>
#include <string_view>

#include "core/model/MemoryMap.h"

namespace o8r {

// Outcomes in their order of precedence.
enum class RangeOutcome { Accepted, EmptyStart, EmptyEnd, FormatError, OutOfMap, AskExchange };

struct RangeCheck {
    RangeOutcome outcome;
    // The two texts as parsed (low 32 bits of ParseHex; 0xFFFFFFFF for a text that
    // is no hexadecimal number or does not fit in 32 bits), not yet exchanged.
    std::uint32_t start;
    std::uint32_t end;
    // Pages of 256 bytes touched by the range, counted with start <= end (after
    // the exchange); valid for Accepted and AskExchange.
    std::uint16_t pageCount;
};

RangeCheck CheckAddressRange(std::string_view startText, std::string_view endText,
                             const MemoryMap& map);

}  // namespace o8r
