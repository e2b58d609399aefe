#include "core/operations/IdCodeEntry.h"

#include "core/catalogue/IdCodeRules.h"
#include "core/model/Messages.h"

namespace o8r {

bool IdCodeEntry::PressOk(const std::string& text) {
    const IdCodeCheck check = CheckIdCode(text, m_characterMode);
    auto show = [this](const char* message, const char* caption, MsgIcon icon,
                       MsgButtons buttons = MsgButtons::Ok) {
        return m_prompts.ShowMessage(Message{message, caption, icon, buttons, Owner::IdCode});
    };

    if (check.outcome == IdCodeOutcome::EmptyText) {
        show(text::kNoIdInput, text::kCaptionWarning, MsgIcon::Exclamation);
        return false;
    }
    // From here on a failed or declined entry leaves the erased code.
    m_code = ErasedIdCode();

    switch (check.outcome) {
        case IdCodeOutcome::BadHex:
            show(text::kIdHexFormat, text::kCaptionError, MsgIcon::Error);
            return false;
        case IdCodeOutcome::OddDigits:
            show(text::kIdCompletedByte, text::kCaptionError, MsgIcon::Error);
            return false;
        case IdCodeOutcome::TooLong:
            show(kIdTooLong, text::kCaptionError, MsgIcon::Error);
            return false;
        case IdCodeOutcome::FillQuestion:
            if (show(text::kIdFillQuestion, text::kCaptionWarning, MsgIcon::Exclamation,
                     MsgButtons::YesNo) != MsgAnswer::Yes) {
                return false;
            }
            break;
        case IdCodeOutcome::Store:
        case IdCodeOutcome::EmptyText:
            break;
    }
    m_code = check.code;
    return true;
}

}  // namespace o8r
