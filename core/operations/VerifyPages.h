#pragma once

// Reading programmed pages back from the target with 'R' and comparing them
// with the page records that were sent: a check of what the flash really
// holds, beyond the box's own verify of each page.

#include <cstddef>
#include <cstdint>
#include <functional>

#include "core/link/BoxLink.h"
#include "core/model/Outcome.h"

namespace o8r {

struct VerifyOutcome {
    enum class Kind { Match, Mismatch, TimedOut, ShortPage };
    Kind kind = Kind::Match;
    std::size_t pagesChecked = 0;  // pages that matched in full
    std::uint32_t address = 0;     // first differing byte (Mismatch), page start otherwise
    std::uint8_t expected = 0;
    std::uint8_t actual = 0;

    friend bool operator==(const VerifyOutcome&, const VerifyOutcome&) = default;
};

// Reads the page of each record back on a box already connected to the target
// and compares its 256 bytes; stops at the first difference, a page that does
// not come within the tick allowance, or a page that arrives short. `progress`
// gets the percentage of pages done before each request.
[[nodiscard]] VerifyOutcome VerifyPages(BoxLink& link, const PageRecord* records, std::size_t count,
                                        const std::function<void(int)>& progress);

// The operation's result for an outcome: Completed, VerifyMismatch or TimeOut.
[[nodiscard]] OperationResult VerifyResult(const VerifyOutcome& outcome);

}  // namespace o8r
