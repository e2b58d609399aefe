#include "core/model/Outcome.h"

#include <cstdio>

#include "core/model/Messages.h"

namespace o8r {

namespace {

Message Info(std::string text, Owner owner = Owner::MainWindow) {
    return Message{std::move(text), text::kCaptionInfo, MsgIcon::None, MsgButtons::Ok, owner};
}

Message Error(std::string text, MsgIcon icon = MsgIcon::Error, Owner owner = Owner::MainWindow) {
    return Message{std::move(text), text::kCaptionError, icon, MsgButtons::Ok, owner};
}

Message Warning(std::string text) {
    return Message{std::move(text), text::kCaptionWarning, MsgIcon::Exclamation, MsgButtons::Ok,
                   Owner::MainWindow};
}

std::string CompletedText(Operation operation) {
    switch (operation) {
        case Operation::Program:
            return text::kProgramCompleted;
        case Operation::Verify:
            return text::kVerifyCompleted;
        case Operation::Erase:
            return text::kEraseCompleted;
        case Operation::BlankCheck:
            return text::kCheckAreaEmpty;
        case Operation::Read:
            return text::kReadCompleted;
        case Operation::Load:
            return text::kLoadCompleted;
        case Operation::Update:
            return text::kUpdateCompleted;
        case Operation::Detect:
        case Operation::Query:
            break;
    }
    return {};
}

std::string CancelledText(const OperationResult& result) {
    switch (result.operation) {
        case Operation::BlankCheck:
            return text::CanceledText(text::kCheckingCanceled, result.percent,
                                      text::kPercentChecked);
        case Operation::Load:
            return text::CanceledText(text::kLoadingCanceled, result.percent,
                                      text::kPercentFinished);
        case Operation::Read:
            return text::kReadCanceled;
        default:
            return text::CanceledText(text::kOperationCanceled, result.percent,
                                      text::kPercentFinished);
    }
}

std::string MismatchText(const OperationResult& result) {
    char detail[96];
    std::snprintf(detail, sizeof detail, "%05X reads 0x%02X, 0x%02X was programmed.",
                  static_cast<unsigned>(result.address), result.actual, result.expected);
    return std::string(text::kVerifyMismatch) + detail;
}

}  // namespace

bool OperationResult::Succeeded() const {
    // A box left in its reset asks to be reset by hand: the operation is no
    // success, whatever it did before. A read's data came whole before it.
    if (resetFailed && operation != Operation::Read)
        return false;
    switch (outcome) {
        case Outcome::Completed:
        case Outcome::NormalMode:
        case Outcome::FirmwareUpdateMode:
        case Outcome::StoreEmpty:
        case Outcome::StoredName:
            return true;
        default:
            return false;
    }
}

std::optional<Message> MessageFor(const OperationResult& result) {
    // The firmware loader's failures are shown without an icon.
    const MsgIcon failureIcon =
        result.operation == Operation::Update ? MsgIcon::None : MsgIcon::Error;
    switch (result.outcome) {
        case Outcome::Completed:
            if (result.operation == Operation::Read)
                return Info(text::kReadCompleted, Owner::ReadData);
            if (result.operation == Operation::Detect || result.operation == Operation::Query)
                return std::nullopt;
            return Info(CompletedText(result.operation));
        case Outcome::CheckAreaNotEmpty:
            return Message{text::CheckAreaNotEmptyText(result.address), text::kCaptionInfo,
                           MsgIcon::Exclamation, MsgButtons::Ok, Owner::MainWindow};
        case Outcome::Cancelled:
            return Info(CancelledText(result),
                        result.operation == Operation::Read ? Owner::ReadData : Owner::MainWindow);
        case Outcome::NormalMode:
        case Outcome::FirmwareUpdateMode:
        case Outcome::StoreEmpty:
        case Outcome::StoredName:
        case Outcome::StoreKept:
        case Outcome::FileNotChosen:
        case Outcome::ChoiceCancelled:
            return std::nullopt;
        case Outcome::NoMcuSelected:
            return Warning(result.operation == Operation::Erase ? text::kNoMcuSelectedErase
                                                                : text::kNoMcuSelected);
        case Outcome::NoProgrammer:
            return Error(text::kNoProgrammer);
        case Outcome::MoreThanOneProgrammer:
            return Error(text::kMoreThanOneProgrammer);
        case Outcome::CanNotOpenProgrammer:
            return Error(text::kCanNotOpenProgrammer);
        case Outcome::NotInNormalMode:
            return Error(text::kInUpdateMode);
        case Outcome::NotInUpdateMode:
            return Error(text::kNotInUpdateMode);
        case Outcome::FileTooLarge:
            return Error(text::kFileTooLarge, MsgIcon::None);
        case Outcome::FileRefused:
            if (result.fileMessage)
                return *result.fileMessage;
            return Error(text::kCanNotOpenFile, MsgIcon::Error, Owner::FileLoading);
        case Outcome::ResetFailed:
            return Message{text::kResetProgrammer, text::kCaptionErrorMixedCase, MsgIcon::Error,
                           MsgButtons::Ok, Owner::MainWindow};
        case Outcome::LineSetupFailed:
            return Error(text::kCanNotOpenTarget);
        case Outcome::TimeOut:
            return Error(text::kTimeOutError, failureIcon);
        case Outcome::ConnectionBroken:
            return Error(text::kConnectionBroken, MsgIcon::None);
        case Outcome::CanNotConnectTarget:
            return Error(text::kCanNotConnectTarget);
        case Outcome::IdCodeError:
            return Error(text::kIdCodeError);
        case Outcome::CanNotConnectProgrammer:
            return Error(text::kCanNotConnectProgrammer);
        case Outcome::VerifyError:
            return Error(text::kVerifyError);
        case Outcome::VerifyMismatch:
            return Error(MismatchText(result));
        case Outcome::EraseError:
            return Error(text::kEraseError);
        case Outcome::ReadTimeOut:
            return Error(text::kReadTimeOut, MsgIcon::Error, Owner::ReadData);
        case Outcome::UpdateLineSetupFailed:
            return Error(text::kUpdateCanNotOpenTarget);
        case Outcome::UpdateTimeOut:
            return Error(text::kUpdateTimeOut, MsgIcon::None);
        case Outcome::UpdateCanNotConnect:
            return Error(text::kUpdateCanNotConnect, MsgIcon::None);
        case Outcome::UpdateIdCodeError:
            return Error(text::kUpdateIdCodeError, MsgIcon::None);
        case Outcome::UpdateBlock0EraseError:
            return Error(text::kUpdateBlock0EraseError, MsgIcon::None);
        case Outcome::UpdateBlock1EraseError:
            return Error(text::kUpdateBlock1EraseError, MsgIcon::None);
        case Outcome::UpdateProgramError:
            return Error(text::kUpdateProgramError, MsgIcon::None);
    }
    return std::nullopt;
}

std::vector<Message> MessagesFor(const OperationResult& result) {
    std::vector<Message> messages;
    const std::optional<Message> own = MessageFor(result);
    const Message resetRequest = *MessageFor({result.operation, Outcome::ResetFailed});
    // A not-empty blank check shows its finding before it resets the box; every
    // other ending resets first.
    if (result.outcome == Outcome::CheckAreaNotEmpty) {
        if (own)
            messages.push_back(*own);
        if (result.resetFailed)
            messages.push_back(resetRequest);
        return messages;
    }
    if (result.resetFailed && result.outcome != Outcome::ResetFailed)
        messages.push_back(resetRequest);
    // One fault, one message: a success is not announced after the request to
    // reset the box.
    const bool successLost =
        !result.Succeeded() && OperationResult{result.operation, result.outcome}.Succeeded();
    if (own && !successLost)
        messages.push_back(*own);
    return messages;
}

Message StoredImageQuestion(const std::string& name) {
    return Message{text::StoredFileQuestion(name), text::kCaptionInfo, MsgIcon::Question,
                   MsgButtons::YesNo, Owner::MainWindow};
}

Message CancelQuestionFor(Operation operation) {
    const char* question = text::kCancelOperationQuestion;
    Owner owner = Owner::MainWindow;
    if (operation == Operation::BlankCheck) {
        question = text::kCancelCheckingQuestion;
    } else if (operation == Operation::Load) {
        question = text::kCancelLoadingQuestion;
    } else if (operation == Operation::Read) {
        question = text::kCancelReadingQuestion;
        owner = Owner::ReadData;
    }
    return Message{question, text::kCaptionWarning, MsgIcon::Question, MsgButtons::YesNo, owner};
}

const char* OutcomeName(Outcome outcome) {
    switch (outcome) {
#define O8R_OUTCOME_NAME(name) \
    case Outcome::name:        \
        return #name;
        O8R_OUTCOME_NAME(Completed)
        O8R_OUTCOME_NAME(NormalMode)
        O8R_OUTCOME_NAME(FirmwareUpdateMode)
        O8R_OUTCOME_NAME(CheckAreaNotEmpty)
        O8R_OUTCOME_NAME(StoreEmpty)
        O8R_OUTCOME_NAME(StoredName)
        O8R_OUTCOME_NAME(Cancelled)
        O8R_OUTCOME_NAME(StoreKept)
        O8R_OUTCOME_NAME(FileNotChosen)
        O8R_OUTCOME_NAME(ChoiceCancelled)
        O8R_OUTCOME_NAME(NoMcuSelected)
        O8R_OUTCOME_NAME(NoProgrammer)
        O8R_OUTCOME_NAME(MoreThanOneProgrammer)
        O8R_OUTCOME_NAME(CanNotOpenProgrammer)
        O8R_OUTCOME_NAME(NotInNormalMode)
        O8R_OUTCOME_NAME(NotInUpdateMode)
        O8R_OUTCOME_NAME(FileTooLarge)
        O8R_OUTCOME_NAME(FileRefused)
        O8R_OUTCOME_NAME(ResetFailed)
        O8R_OUTCOME_NAME(LineSetupFailed)
        O8R_OUTCOME_NAME(TimeOut)
        O8R_OUTCOME_NAME(ConnectionBroken)
        O8R_OUTCOME_NAME(CanNotConnectTarget)
        O8R_OUTCOME_NAME(IdCodeError)
        O8R_OUTCOME_NAME(CanNotConnectProgrammer)
        O8R_OUTCOME_NAME(VerifyError)
        O8R_OUTCOME_NAME(VerifyMismatch)
        O8R_OUTCOME_NAME(EraseError)
        O8R_OUTCOME_NAME(ReadTimeOut)
        O8R_OUTCOME_NAME(UpdateLineSetupFailed)
        O8R_OUTCOME_NAME(UpdateTimeOut)
        O8R_OUTCOME_NAME(UpdateCanNotConnect)
        O8R_OUTCOME_NAME(UpdateIdCodeError)
        O8R_OUTCOME_NAME(UpdateBlock0EraseError)
        O8R_OUTCOME_NAME(UpdateBlock1EraseError)
        O8R_OUTCOME_NAME(UpdateProgramError)
#undef O8R_OUTCOME_NAME
    }
    return "Unknown";
}

}  // namespace o8r
