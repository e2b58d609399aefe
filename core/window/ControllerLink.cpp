// The main window's side of programmer detection, the release on exit, the
// reset and the connect sequence: the link does the talking, the window shows
// where things stand.

#include "core/model/Ids.h"
#include "core/model/Messages.h"
#include "core/window/ProgrammerController.h"
#include "core/window/SharedState.h"

namespace o8r {

void ProgrammerController::PollProgrammer() {
    std::uint32_t count = 0;
    // A failed count leaves the count it reported; the next poll asks again.
    (void)m_bridge.GetDeviceCount(count);
    if (count == static_cast<std::uint32_t>(static_cast<std::int32_t>(g_lastDeviceCount)))
        return;
    g_lastDeviceCount = static_cast<std::int8_t>(count & 0xFF);

    if (count == 0) {
        ShowCommandButtons(0);
        m_view.ShowControl(IDC_PICTURE, true);
        m_view.ShowControl(IDC_STATUS, false);
        m_view.ShowControl(IDC_PROGRESS, false);
        m_view.ShowControl(IDC_MCU_LIST, false);
        m_view.ShowControl(IDC_MCU_TREE, false);
        if (m_link.IsOpen())
            m_link.CloseHandle();
        return;
    }
    if (count != 1) {
        m_view.ShowControl(IDC_PICTURE, true);
        ShowMessage(text::kMoreThanOneProgrammer, text::kCaptionError, MsgIcon::Error);
        return;
    }
    if (!m_link.OpenFirstDevice())
        return;

    m_view.ShowControl(IDC_PICTURE, false);
    ShowCommandButtons(1);
    m_view.ShowControl(IDC_STATUS, true);
    m_view.EnableControl(IDC_MCU_TREE, true);
    // A box that keeps CTS high after its reset runs its firmware loader.
    if (m_link.StartOpenedBox()) {
        m_updateMode = true;
        SetMemoryMap(kFirmwareUpdateMap);
        EnableCommandButtons(false);
        m_view.SetControlText(IDC_LOAD_LABEL, text::kLabelUpdate);
        m_view.EnableControl(IDC_LOAD_LABEL, true);
        m_view.EnableControl(IDC_LOAD, true);
        m_view.ShowControl(IDC_MCU_TREE, false);
        m_view.ShowControl(IDC_MCU_LIST, false);
        m_view.SetControlText(IDC_STATUS, text::kStatusClickToUpdate);
    } else {
        m_updateMode = false;
        m_view.SetControlText(IDC_LOAD_LABEL, text::kLabelLoad);
        EnableCommandButtons(true);
        m_view.ShowControl(IDC_MCU_TREE, true);
        m_view.ShowControl(IDC_MCU_LIST, true);
        m_view.SetControlText(IDC_STATUS, text::kStatusSelectMcu);
    }
}

void ProgrammerController::CloseLink() {
    // The window's timers end with it; a host that keeps running (the command
    // line) must not tick an engine on a closed handle.
    StopOperationTimer();
    m_view.StopTimer(TIMER_DEVICE_POLL);
    m_link.Release();
}

bool ProgrammerController::ResetProgrammer(bool askWhenStuck) {
    m_link.HoldReset();
    RestoreIdleView();
    if (m_link.FinishReset())
        return true;
    if (askWhenStuck)
        ShowOutcome(m_operation, Outcome::ResetFailed);
    return false;
}

void ProgrammerController::RestoreIdleView() {
    m_operationRunning = false;
    EnableCommandButtons(true);
    m_view.SetProgress(0);
    m_view.ShowControl(IDC_PROGRESS, false);
    m_view.ShowControl(IDC_STATUS, true);
    m_view.SetButtonIcon(IDC_PROGRAM, IDI_PROGRAM);
    m_view.SetButtonIcon(IDC_LOAD, IDI_LOAD);
    m_view.SetButtonIcon(IDC_BLANK_CHECK, IDI_BLANK_CHECK);
    m_view.SetControlText(IDC_PROGRAM_LABEL, text::kLabelProgram);
    m_view.SetControlText(IDC_LOAD_LABEL, text::kLabelLoad);
    m_view.SetControlText(IDC_BLANK_CHECK_LABEL, text::kLabelBlankCheck);
}

bool ProgrammerController::WaitBoxReady(int maxPolls) {
    return m_link.WaitReady(maxPolls, m_updateMode);
}

bool ProgrammerController::ConnectProgrammer(Handshake kind) {
    if (!ResetProgrammer())
        return false;
    StoreHeaderFields store;
    if (kind == Handshake::Store)
        store = {g_pageCount, LoadNameField(g_filePath)};
    const HandshakeResult result = m_link.Connect(kind, g_idCode, store);
    if (result.outcome == Outcome::Completed)
        return true;
    if (result.resetAfter)
        ResetProgrammer();
    ShowOutcome(m_operation, result.outcome);
    return false;
}

}  // namespace o8r
