// Blank Check: the range is read page by page ('R') and each page is checked
// here for a byte other than 0xFF; the check stops at the first one.

#include <array>

#include "core/model/Ids.h"
#include "core/model/Messages.h"
#include "core/operations/AddressRangeEntry.h"
#include "core/operations/RangePages.h"
#include "core/window/ProgrammerController.h"
#include "core/window/SharedState.h"

namespace o8r {

void ProgrammerController::OnBlankCheck() {
    if (m_operationRunning) {
        CancelBlankCheck();
        return;
    }
    if (g_selectedMcu.empty()) {
        ShowOutcome(Operation::BlankCheck, Outcome::NoMcuSelected);
        return;
    }
    g_rangePrompt = text::kPromptCheckRange;
    AddressRangeEntry dialog(m_prompts, CurrentMemoryMap(), g_rangePrompt);
    m_operationType = OP_BLANK_CHECK;
    m_progressPercent = 0;
    if (!ConnectProgrammer())
        return;
    if (m_prompts.RunAddressDialog(dialog) != DialogResult::Ok) {
        ResetProgrammer();
        return;
    }
    TakeRange(dialog);
    g_currentPage = static_cast<std::uint16_t>(g_rangeStart >> 8);
    m_blankSoFar = true;
    EnableCommandButtons(false);
    m_view.EnableControl(IDC_BLANK_CHECK, true);
    m_view.EnableControl(IDC_BLANK_CHECK_LABEL, true);
    m_operationRunning = true;
    m_view.SetButtonIcon(IDC_BLANK_CHECK, IDI_CANCEL);
    m_view.SetControlText(IDC_BLANK_CHECK_LABEL, text::kLabelCancel);
    m_view.ShowControl(IDC_PROGRESS, true);
    m_view.ShowControl(IDC_STATUS, false);
    StartOperationTimer();
}

void ProgrammerController::CancelBlankCheck() {
    if (AskToCancel(Operation::BlankCheck) != MsgAnswer::Yes)
        return;
    ResetProgrammer();
    m_view.SetButtonIcon(IDC_BLANK_CHECK, IDI_BLANK_CHECK);
    m_view.SetProgress(0);
    m_view.ShowControl(IDC_PROGRESS, false);
    m_view.ShowControl(IDC_STATUS, true);
    m_operationRunning = false;
    OperationResult cancelled{Operation::BlankCheck, Outcome::Cancelled};
    cancelled.percent = m_progressPercent;
    ShowResult(cancelled);
}

void ProgrammerController::BlankCheckStep() {
    if (!m_blankSoFar) {
        // The one ending that shows its message first: while it is up the
        // window still shows the running check.
        m_view.StopTimer(TIMER_OPERATION);
        OperationResult found{Operation::BlankCheck, Outcome::CheckAreaNotEmpty};
        found.address = m_firstFilledAddress;
        ShowResult(found);
        ResetProgrammer();
        return;
    }
    if (g_currentPage > (g_rangeEnd >> 8)) {
        EndWith({Operation::BlankCheck, Outcome::Completed}, false);
        return;
    }
    // A request the box did not take shows as its silence: the wait times out.
    (void)m_link.SendPageCommand(cmd::kReadPage, g_currentPage);
    ArmReplyWait(kReadPageTicks);
}

bool ProgrammerController::EvaluateBlankPage() {
    PageBytes page{};
    if (!m_link.ReadExactly(page)) {
        // Bytes that never came must not pass for erased ones.
        EndWith({Operation::BlankCheck, Outcome::TimeOut}, true);
        return false;
    }
    if (auto filled = FirstFilledAddress(page, g_currentPage, g_rangeStart, g_rangeEnd)) {
        m_blankSoFar = false;
        m_firstFilledAddress = *filled;
        return true;
    }
    m_progressPercent = RangePercent(g_currentPage - (g_rangeStart >> 8) + 1u, g_rangePageCount);
    m_view.SetProgress(m_progressPercent);
    ++g_currentPage;
    return true;
}

}  // namespace o8r
