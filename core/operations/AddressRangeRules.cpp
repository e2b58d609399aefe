#include "core/operations/AddressRangeRules.h"

#include <algorithm>
#include <utility>

#include "core/model/HexText.h"

namespace o8r {

namespace {

constexpr std::uint32_t kUnreadable = 0xFFFFFFFF;

// The low 32 bits of the parsed text. A text with more than eight significant
// digits would otherwise wrap onto an address inside the map, so it counts as
// unreadable like any other text that is no 32-bit number.
std::uint32_t ParseAddress(std::string_view text) {
    std::size_t firstSignificant = std::min(text.find_first_not_of('0'), text.size());
    if (text.size() - firstSignificant > 8)
        return kUnreadable;
    return static_cast<std::uint32_t>(ParseHex(text).value_or(kUnreadable));
}

}  // namespace

RangeCheck CheckAddressRange(std::string_view startText, std::string_view endText,
                             const MemoryMap& map) {
    RangeCheck check{RangeOutcome::Accepted, ParseAddress(startText), ParseAddress(endText), 0};
    if (startText.empty()) {
        check.outcome = RangeOutcome::EmptyStart;
    } else if (endText.empty()) {
        check.outcome = RangeOutcome::EmptyEnd;
    } else if (check.start == kUnreadable || check.end == kUnreadable) {
        check.outcome = RangeOutcome::FormatError;
    } else if (!InMemoryMap(map, check.start) || !InMemoryMap(map, check.end)) {
        // Each end is tested on its own: a range from region 1 into region 2
        // passes, the gap between them included.
        check.outcome = RangeOutcome::OutOfMap;
    } else {
        auto [low, high] = std::minmax(check.start, check.end);
        check.pageCount = static_cast<std::uint16_t>((high >> 8) - (low >> 8) + 1);
        if (check.start > check.end)
            check.outcome = RangeOutcome::AskExchange;
    }
    return check;
}

}  // namespace o8r
