#include "core/operations/AddressRangeEntry.h"

#include <utility>

#include "core/model/Messages.h"
#include "core/operations/AddressRangeRules.h"

namespace o8r {

bool AddressRangeEntry::PressOk(std::string& startText, std::string& endText) {
    const RangeCheck check = CheckAddressRange(startText, endText, m_map);
    m_start = check.start;
    m_end = check.end;

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
            std::swap(m_start, m_end);
            break;
        }
        case RangeOutcome::Accepted:
            break;
    }
    m_pageCount = check.pageCount;
    return true;
}

}  // namespace o8r
