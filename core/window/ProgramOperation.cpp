// Program: the loaded image goes to the box page by page ('V' and a page
// record), which programs and verifies each page in the target.

#include "core/model/Ids.h"
#include "core/model/Messages.h"
#include "core/window/ProgrammerController.h"
#include "core/window/SharedState.h"

namespace o8r {

void ProgrammerController::OnProgram() {
    if (m_operationRunning) {
        CancelProgram();
        return;
    }
    if (g_selectedMcu.empty()) {
        ShowOutcome(Operation::Program, Outcome::NoMcuSelected);
        return;
    }
    m_operationType = OP_PROGRAM;
    m_progressPercent = 0;
    if (!ConnectProgrammer())
        return;
    m_operationRunning = true;
    if (!SelectAndLoadFile()) {
        ResetProgrammer();
        return;
    }
    m_view.EnableControl(IDC_PROGRAM, true);
    m_view.EnableControl(IDC_PROGRAM_LABEL, true);
    m_view.SetButtonIcon(IDC_PROGRAM, IDI_CANCEL);
    m_view.SetControlText(IDC_PROGRAM_LABEL, text::kLabelCancel);
    m_view.ShowControl(IDC_PROGRESS, true);
    m_view.ShowControl(IDC_STATUS, false);
    StartOperationTimer();
}

void ProgrammerController::CancelProgram() {
    if (AskToCancel(Operation::Program) != MsgAnswer::Yes)
        return;
    m_progressPercent = m_view.Progress();
    ResetProgrammer();
    m_view.SetButtonIcon(IDC_PROGRAM, IDI_PROGRAM);
    m_operationRunning = false;
    OperationResult cancelled{Operation::Program, Outcome::Cancelled};
    cancelled.percent = m_progressPercent;
    ShowResult(cancelled);
    m_view.SetControlText(IDC_STATUS, text::kStatusClickList);
}

void ProgrammerController::ProgramStep() {
    if (m_pageIndex >= PageRecordCount()) {
        EndWith({Operation::Program, Outcome::Completed}, false);
        return;
    }
    SendPageRecord(true, kProgramPageTicks);
}

}  // namespace o8r
