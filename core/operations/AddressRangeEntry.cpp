#include "core/operations/AddressRangeEntry.h"

#include <utility>

#include "core/model/Messages.h"
#include "core/model/SharedState.h"
#include "core/operations/AddressRangeRules.h"

namespace o8r {

std::string AddressRangeEntry::Prompt() const {
    return g_rangePrompt;
}

bool AddressRangeEntry::PressOk(std::string& startText, std::string& endText) {
    const RangeCheck check = CheckAddressRange(startText, endText, CurrentMemoryMap());
    // Written before any check, so a failed press leaves them too; callers use
    // them only after the dialog ends with OK.
    g_rangeStart = check.start;
    g_rangeEnd = check.end;

    auto fail = [this](const char* message) {
        m_prompts.ShowMessage(Message{message, text::kCaptionError, MsgIcon::Error, MsgButtons::Ok,
                                      Owner::AddressSetting});
        return false;
    };
    switch (check.outcome) {
        case RangeOutcome::EmptyStart:
            return fail(text::kNoStartAddress);
        case RangeOutcome::EmptyEnd:
            return fail(text::kNoEndAddress);
        case RangeOutcome::FormatError:
            return fail(text::kInputFormatError);
        case RangeOutcome::OutOfMap:
            return fail(text::kAddressOutOfMap);
        case RangeOutcome::AskExchange: {
            MsgAnswer answer = m_prompts.ShowMessage(
                Message{text::kExchangeAddressesQuestion, text::kCaptionWarning, MsgIcon::Question,
                        MsgButtons::YesNo, Owner::AddressSetting});
            if (answer != MsgAnswer::Yes) {
                startText.clear();
                endText.clear();
                return false;
            }
            std::swap(startText, endText);
            std::swap(g_rangeStart, g_rangeEnd);
            break;
        }
        case RangeOutcome::Accepted:
            break;
    }
    g_rangePageCount = check.pageCount;
    return true;
}

}  // namespace o8r
