// Load: the image goes into the box's own store with its name and the ID code,
// after the box has said which file it holds already.

#include "core/model/Ids.h"
#include "core/model/Messages.h"
#include "core/window/ProgrammerController.h"
#include "core/window/SharedState.h"

namespace o8r {

void ProgrammerController::OnLoadButton() {
    if (m_bUpdateMode) {
        RunFirmwareUpdate();
    } else if (m_operationRunning) {
        CancelLoad();
    } else {
        StartLoad();
    }
}

void ProgrammerController::StartLoad() {
    if (g_selectedMcu.empty()) {
        ShowOutcome(Operation::Load, Outcome::NoMcuSelected);
        return;
    }
    const StoreQuery query = m_link.QueryStore();
    if (query.outcome != Outcome::Completed) {
        if (query.resetAfter)
            ResetProgrammer();
        ShowOutcome(Operation::Load, query.outcome);
        return;
    }
    if (query.storedName) {
        const MsgAnswer reply = m_prompts.ShowMessage(StoredImageQuestion(*query.storedName));
        if (reply != MsgAnswer::Yes) {
            ResetProgrammer();
            return;
        }
    }

    m_operationType = OP_LOAD;
    m_progressPercent = 0;
    if (!SelectAndLoadFile()) {
        ResetProgrammer();
        return;
    }
    m_resetRequested = false;
    if (!ConnectProgrammer(Handshake::Store)) {
        // Once more after a failed connect; a box that stayed in its reset
        // has been asked about already (one fault, one request).
        ResetProgrammer(!m_resetRequested);
        return;
    }
    EnableCommandButtons(false);
    m_view.EnableControl(IDC_LOAD, true);
    m_view.EnableControl(IDC_LOAD_LABEL, true);
    m_operationRunning = true;
    m_view.SetButtonIcon(IDC_LOAD, IDI_CANCEL);
    m_view.SetControlText(IDC_LOAD_LABEL, text::kLabelCancel);
    m_view.ShowControl(IDC_PROGRESS, true);
    m_view.ShowControl(IDC_STATUS, false);
    StartOperationTimer();
}

void ProgrammerController::CancelLoad() {
    if (AskToCancel(Operation::Load) != MsgAnswer::Yes)
        return;
    ResetProgrammer();
    OperationResult cancelled{Operation::Load, Outcome::Cancelled};
    cancelled.percent = m_progressPercent;
    ShowResult(cancelled);
}

void ProgrammerController::LoadStep() {
    if (m_pageIndex >= PageRecordCount()) {
        EndWith({Operation::Load, Outcome::Completed}, false);
        return;
    }
    SendPageRecord(false, kStoreRecordTicks);
}

}  // namespace o8r
