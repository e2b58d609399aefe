// Blank Check: the range is read page by page ('R') and each page is checked
// here for a byte other than 0xFF; the check stops at the first one.

#include <array>

#include "app/Ids.h"
#include "app/Messages.h"
#include "app/ProgrammerController.h"
#include "app/SharedState.h"
#include "operations/AddressSettingDialog.h"

namespace o8r {

namespace {
constexpr std::int32_t kReadPageTicks = 50;
}  // namespace

void ProgrammerController::OnBlankCheck() {
    if (m_operationRunning) {
        CancelBlankCheck();
        return;
    }
    if (g_selectedMcu.empty()) {
        ShowMessage(text::kNoMcuSelected, text::kCaptionWarning, MsgIcon::Exclamation);
        return;
    }
    g_rangePrompt = text::kPromptCheckRange;
    AddressSettingDialog dialog(m_prompts);
    m_operationType = OP_BLANK_CHECK;
    m_progressPercent = 0;
    if (!ConnectProgrammer())
        return;
    if (m_prompts.RunAddressDialog(dialog) != IDOK) {
        ResetProgrammer();
        return;
    }
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
    if (AskToCancel(text::kCancelCheckingQuestion) != MsgAnswer::Yes)
        return;
    ResetProgrammer();
    m_view.SetButtonIcon(IDC_BLANK_CHECK, IDI_BLANK_CHECK);
    m_view.SetProgress(0);
    m_view.ShowControl(IDC_PROGRESS, false);
    m_view.ShowControl(IDC_STATUS, true);
    m_operationRunning = false;
    ShowMessage(
        text::CanceledText(text::kCheckingCanceled, m_progressPercent, text::kPercentChecked),
        text::kCaptionInfo, MsgIcon::None);
}

void ProgrammerController::BlankCheckStep() {
    if (!m_blankSoFar) {
        // The one ending that shows its message first: while it is up the
        // window still shows the running check.
        m_view.StopTimer(TIMER_OPERATION);
        ShowMessage(text::CheckAreaNotEmptyText(m_firstFilledAddress), text::kCaptionInfo,
                    MsgIcon::Exclamation);
        ResetProgrammer();
        return;
    }
    if (g_currentPage > (g_rangeEnd >> 8)) {
        EndWithMessage(text::kCheckAreaEmpty, text::kCaptionInfo, MsgIcon::None, false);
        return;
    }
    const std::uint8_t command = 'R';
    WriteBytes(&command, 1);
    const std::uint8_t pageBytes[2] = {static_cast<std::uint8_t>(g_currentPage & 0xFF),
                                       static_cast<std::uint8_t>(g_currentPage >> 8)};
    WriteBytes(pageBytes, 2);
    ArmReplyWait(kReadPageTicks);
}

bool ProgrammerController::EvaluateBlankPage() {
    std::array<std::uint8_t, kPageSize> page{};
    std::uint32_t got = 0;
    if (m_bridge.Read(g_hDevice, page.data(), static_cast<std::uint32_t>(page.size()), got) !=
            kBridgeOk ||
        got != page.size()) {
        // Bytes that never came must not pass for erased ones.
        EndWithMessage(text::kTimeOutError, text::kCaptionError, MsgIcon::Error, true);
        return false;
    }

    const std::uint32_t firstPage = g_rangeStart >> 8;
    const std::uint32_t lastPage = g_rangeEnd >> 8;
    std::uint32_t from = 0;
    std::uint32_t to = 0xFF;
    if (firstPage == lastPage) {
        from = g_rangeStart & 0xFF;
        to = g_rangeEnd & 0xFF;
    } else if (g_currentPage == firstPage) {
        from = g_rangeStart & 0xFF;
    } else if (g_currentPage == lastPage) {
        to = g_rangeEnd & 0xFF;
    }
    for (std::uint32_t offset = from; offset <= to; ++offset) {
        if (page[offset] != 0xFF) {
            m_blankSoFar = false;
            m_firstFilledAddress = static_cast<std::uint32_t>(g_currentPage) * 256 + offset;
            return true;
        }
    }
    const std::uint32_t pages = g_rangePageCount == 0 ? 1 : g_rangePageCount;
    m_progressPercent = static_cast<std::int32_t>((g_currentPage - firstPage + 1) * 100 / pages);
    m_view.SetProgress(m_progressPercent);
    ++g_currentPage;
    return true;
}

}  // namespace o8r
