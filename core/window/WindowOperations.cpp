// The window's side of Program, Load, Erase and Blank Check: each button
// begins its operation on the session, TIMER_OPERATION steps it (one command
// or one look at the box's answer per tick), the window's dialogs answer its
// questions, and the listener calls show where it stands.

#include "core/model/Ids.h"
#include "core/model/Messages.h"
#include "core/operations/AddressRangeEntry.h"
#include "core/operations/EraseBlockChoice.h"
#include "core/window/ProgrammerController.h"
#include "core/window/SharedState.h"

namespace o8r {

namespace {
constexpr std::size_t kEraseGroupLength = 4;  // one block: its page number in 4 hex digits
}  // namespace

void ProgrammerController::OnProgram() {
    if (m_operationRunning) {
        CancelRunning();
        return;
    }
    BeginOperation(Operation::Program);
}

void ProgrammerController::OnErase() {
    // Erase has no Cancel: every command control stays disabled while it runs.
    BeginOperation(Operation::Erase);
}

void ProgrammerController::OnBlankCheck() {
    if (m_operationRunning) {
        CancelRunning();
        return;
    }
    BeginOperation(Operation::BlankCheck);
}

void ProgrammerController::OnLoadButton() {
    if (m_updateMode) {
        RunFirmwareUpdate();
    } else if (m_operationRunning) {
        CancelRunning();
    } else {
        BeginOperation(Operation::Load);
    }
}

void ProgrammerController::BeginOperation(Operation operation) {
    m_operation = operation;
    m_progressPercent = 0;
    m_phaseRan = false;
    m_shownEnding.reset();
    m_session.SetTarget({g_selectedMcu, CurrentMemoryMap(), g_idCode});
    m_session.Begin(operation, {this, nullptr, nullptr});
    Drive(m_session.Step());
}

void ProgrammerController::OnOperationTimer() {
    // A tick already queued when the operation ended changes nothing.
    if (!m_session.Running())
        return;
    Drive(m_session.Step());
}

void ProgrammerController::Drive(Pending pending) {
    EndConnecting();
    while (pending == Pending::Question)
        pending = AnswerQuestion();
    if (pending == Pending::Ended) {
        OperationEnded();
        return;
    }
    if (m_operation == Operation::Read) {
        RunReadWindow();
        return;
    }
    // The next command, or the next look at the answer, comes with the next tick.
    StartOperationTimer();
}

Pending ProgrammerController::AnswerQuestion() {
    switch (m_session.Asked()) {
        case Question::ImageFile: {
            // Program counts as running from its connect on.
            if (m_operation == Operation::Program)
                m_operationRunning = true;
            const bool loaded = SelectAndLoadFile();
            return m_session.AnswerImageLoaded(g_filePath, loaded);
        }
        case Question::ReplaceStoredImage: {
            const MsgAnswer reply =
                m_prompts.ShowMessage(StoredImageQuestion(m_session.StoredName()));
            return m_session.AnswerReplaceStoredImage(reply == MsgAnswer::Yes);
        }
        case Question::EraseBlocks: {
            EraseBlockChoice dialog(m_prompts);
            if (!dialog.Fill(g_cataloguePath, g_selectedMcu) ||
                m_prompts.RunEraseDialog(dialog) != DialogResult::Ok) {
                return m_session.AnswerEraseBlocks(std::nullopt);
            }
            g_eraseList = dialog.EraseList();
            g_eraseBlockCount = dialog.BlockCount();
            return m_session.AnswerEraseBlocks(ErasePagesOfList(g_eraseList));
        }
        case Question::Range: {
            g_rangePrompt =
                m_operation == Operation::Read ? text::kPromptReadRange : text::kPromptCheckRange;
            AddressRangeEntry dialog(m_prompts, CurrentMemoryMap(), g_rangePrompt);
            if (m_prompts.RunAddressDialog(dialog) != DialogResult::Ok)
                return m_session.AnswerRange(std::nullopt);
            TakeRange(dialog);
            g_currentPage = static_cast<std::uint16_t>(g_rangeStart >> 8);
            return m_session.AnswerRange(AddressRange{g_rangeStart, g_rangeEnd});
        }
    }
    return m_session.Step();
}

void ProgrammerController::PhaseStarted(Phase phase) {
    m_phaseRan = true;
    // The button of a cancellable operation becomes its Cancel button.
    auto cancelButton = [this](ControlId button, ControlId label) {
        m_view.EnableControl(button, true);
        m_view.EnableControl(label, true);
        m_operationRunning = true;
        m_view.SetButtonIcon(button, IDI_CANCEL);
        m_view.SetControlText(label, text::kLabelCancel);
    };
    switch (phase) {
        case Phase::Program:
            cancelButton(IDC_PROGRAM, IDC_PROGRAM_LABEL);
            break;
        case Phase::Load:
            EnableCommandButtons(false);
            cancelButton(IDC_LOAD, IDC_LOAD_LABEL);
            break;
        case Phase::BlankCheck:
            EnableCommandButtons(false);
            cancelButton(IDC_BLANK_CHECK, IDC_BLANK_CHECK_LABEL);
            break;
        case Phase::Erase:
            EnableCommandButtons(false);
            break;
        default:
            m_phaseRan = false;
            return;
    }
    m_view.ShowControl(IDC_PROGRESS, true);
    m_view.ShowControl(IDC_STATUS, false);
}

void ProgrammerController::Progress(int percent) {
    // A read shows its progress in its own window.
    if (m_operation == Operation::Read)
        return;
    m_progressPercent = percent;
    m_view.SetProgress(percent);
    // The window's model follows the walk: the erase list keeps the blocks not
    // yet sent, and the current page is the next one to check.
    if (m_operation == Operation::Erase) {
        g_eraseList.erase(0, kEraseGroupLength);
    } else if (m_operation == Operation::BlankCheck) {
        g_currentPage = static_cast<std::uint16_t>(m_session.RangePage());
    }
}

void ProgrammerController::Resetting() {
    StopOperationTimer();
    RestoreIdleView();
    // A reset before the exchanges begins a connect, which takes a slow box
    // seconds: the window says so and takes no clicks meanwhile.
    if (!m_phaseRan && m_session.Running())
        ShowConnecting();
}

void ProgrammerController::ShowConnecting() {
    m_connecting = true;
    m_view.SetBusy(true);
    EnableCommandButtons(false);
    m_view.SetControlText(IDC_STATUS, text::kStatusConnecting);
}

void ProgrammerController::EndConnecting() {
    if (!m_connecting)
        return;
    m_connecting = false;
    m_view.SetBusy(false);
    EnableCommandButtons(true);
    m_view.SetControlText(IDC_STATUS, text::SelectedStatus(g_selectedMcu));
}

void ProgrammerController::Finished(const OperationResult& result) {
    // While the ending is shown nothing more is stepped; an ending shown before
    // the closing reset still shows the running operation around it.
    StopOperationTimer();
    EndConnecting();
    m_shownEnding = result;
    ShowResult(result);
}

void ProgrammerController::OperationEnded() {
    StopOperationTimer();
    EndConnecting();
    m_operationRunning = false;
    if (m_closeWhenEnded) {
        m_closeWhenEnded = false;
        m_view.CloseWindow();
    }
    const OperationResult& result = m_session.Result();
    // A reset that found the box busy after the ending was shown (or after
    // the read window closed) asks for a reset by hand, once.
    const bool resetAsked = m_shownEnding && (m_shownEnding->resetFailed ||
                                              m_shownEnding->outcome == Outcome::ResetFailed);
    if (result.resetFailed && !resetAsked)
        ShowOutcome(m_operation, Outcome::ResetFailed);
    m_shownEnding.reset();
    if (!m_phaseRan)
        return;
    switch (result.outcome) {
        case Outcome::Cancelled:
            if (m_operation == Operation::Program)
                m_view.SetControlText(IDC_STATUS, text::kStatusClickList);
            break;
        case Outcome::TimeOut:
        case Outcome::VerifyError:
        case Outcome::EraseError:
            m_view.SetControlText(IDC_STATUS, text::kStatusClickListAfterFailure);
            break;
        default:
            break;
    }
}

void ProgrammerController::CancelRunning() {
    if (AskToCancel(m_operation) != MsgAnswer::Yes)
        return;
    if (m_session.Cancel())
        OperationEnded();
}

ProgrammerController::CloseAnswer ProgrammerController::OnCloseRequested() {
    if (!m_session.Running() || m_closeWhenEnded)
        return m_closeWhenEnded ? CloseAnswer::Stay : CloseAnswer::CloseNow;
    const bool timer = m_operationTimer;
    StopOperationTimer();
    m_pausedAt = m_clock.Now();
    const MsgAnswer answer =
        m_prompts.ShowMessage(Message{text::kCloseWhileRunning, text::kCaptionWarning,
                                      MsgIcon::Question, MsgButtons::YesNo, Owner::MainWindow});
    if (answer == MsgAnswer::Yes && m_session.Cancel()) {
        OperationEnded();
        return CloseAnswer::CloseNow;
    }
    // Time spent on the question is not the box's.
    m_session.DiscountWait(m_clock.Now() - m_pausedAt);
    if (timer)
        StartOperationTimer();
    if (answer != MsgAnswer::Yes)
        return CloseAnswer::Stay;
    // An erase or a verify read-back runs to its end; then the window closes.
    m_closeWhenEnded = true;
    return CloseAnswer::CloseWhenEnded;
}

void ProgrammerController::StartOperationTimer() {
    if (m_operationTimer)
        return;
    m_operationTimer = true;
    m_view.StartTimer(TIMER_OPERATION, 1);
}

void ProgrammerController::StopOperationTimer() {
    m_operationTimer = false;
    m_view.StopTimer(TIMER_OPERATION);
}

MsgAnswer ProgrammerController::AskToCancel(Operation operation) {
    StopOperationTimer();
    m_pausedAt = m_clock.Now();
    const MsgAnswer answer = m_prompts.ShowMessage(CancelQuestionFor(operation));
    if (answer != MsgAnswer::Yes) {
        // Time spent on the question is not the box's.
        m_session.DiscountWait(m_clock.Now() - m_pausedAt);
        StartOperationTimer();
    }
    return answer;
}

}  // namespace o8r
