#pragma once

// Reading programmed pages back from the target with 'R' and comparing them
// with the page records that were sent: a check of what the flash really
// holds, beyond the box's own verify of each page.

#include <cstddef>
#include <cstdint>
#include <functional>

#include "app/MainView.h"
#include "app/Prompts.h"
#include "app/SharedState.h"
#include "link/Bridge.h"
#include "link/Clock.h"

namespace o8r {

class ProgrammerController;

// Texts of the read-back check.
inline constexpr char kVerifyCompleted[] = "Verify successfully completed.";
inline constexpr char kVerifyMismatch[] = "Verify error!\nThe byte at 0x";

// The box answers a page request within this many operation ticks.
constexpr std::int32_t kVerifyPageTicks = 50;

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
VerifyOutcome VerifyPages(Bridge& bridge, DeviceHandle handle, Clock& clock,
                          const PageRecord* records, std::size_t count,
                          const std::function<void(int)>& progress);

// The message that reports an outcome: INFO for a match, ERROR otherwise.
Message VerifyMessage(const VerifyOutcome& outcome);

// The whole check as an operation of the main window: connect to the target,
// read back g_pageCount records of g_pageRecords with the progress bar shown
// and the command buttons disabled, reset the box (which restores the idle
// window), show the message. True when every page matched.
bool RunVerifyPages(ProgrammerController& controller, Bridge& bridge, Clock& clock, MainView& view,
                    Prompts& prompts);

}  // namespace o8r
