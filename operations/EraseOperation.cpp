// Erase: one 'E' command per flash block chosen in the Erase setting dialog.

#include "app/Ids.h"
#include "app/Messages.h"
#include "app/ProgrammerController.h"
#include "app/SharedState.h"
#include "operations/EraseSettingDialog.h"

namespace o8r {

namespace {
constexpr std::int32_t kEraseTicks = 200;
constexpr std::size_t kGroupLength = 4;  // one block: its page number in 4 hex digits
}  // namespace

void ProgrammerController::OnErase() {
    if (g_selectedMcu.empty()) {
        ShowMessage(text::kNoMcuSelectedErase, text::kCaptionWarning, MsgIcon::Exclamation);
        return;
    }
    EraseSettingDialog dialog(m_prompts);
    m_operationType = OP_ERASE;
    if (!ConnectProgrammer())
        return;
    dialog.Fill();
    if (m_prompts.RunEraseDialog(dialog) != IDOK) {
        ResetProgrammer();
        return;
    }
    // Erase has no Cancel: every command control stays disabled while it runs.
    EnableCommandButtons(false);
    m_view.ShowControl(IDC_PROGRESS, true);
    m_view.ShowControl(IDC_STATUS, false);
    StartOperationTimer();
}

void ProgrammerController::EraseStep() {
    if (g_eraseList.size() < kGroupLength) {
        EndWithMessage(text::kEraseCompleted, text::kCaptionInfo, MsgIcon::None, false);
        return;
    }
    const std::uint8_t command = 'E';
    WriteBytes(&command, 1);
    const auto page = static_cast<std::uint16_t>(ParseHex(g_eraseList.substr(0, kGroupLength)));
    const std::uint8_t pageBytes[2] = {static_cast<std::uint8_t>(page & 0xFF),
                                       static_cast<std::uint8_t>(page >> 8)};
    WriteBytes(pageBytes, 2);
    g_eraseList.erase(0, kGroupLength);
    if (g_eraseBlockCount > 0)
        m_view.SetProgress(m_view.Progress() + 100 / g_eraseBlockCount);
    ArmReplyWait(kEraseTicks);
}

}  // namespace o8r
