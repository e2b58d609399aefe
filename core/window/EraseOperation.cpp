// Erase: one 'E' command per flash block chosen in the Erase setting dialog.

#include "core/model/HexText.h"
#include "core/model/Ids.h"
#include "core/model/Messages.h"
#include "core/operations/EraseBlockChoice.h"
#include "core/window/ProgrammerController.h"
#include "core/window/SharedState.h"

namespace o8r {

namespace {
constexpr std::size_t kGroupLength = 4;  // one block: its page number in 4 hex digits
}  // namespace

void ProgrammerController::OnErase() {
    if (g_selectedMcu.empty()) {
        ShowOutcome(Operation::Erase, Outcome::NoMcuSelected);
        return;
    }
    EraseBlockChoice dialog(m_prompts);
    m_operationType = OP_ERASE;
    if (!ConnectProgrammer())
        return;
    if (!dialog.Fill(g_cataloguePath, g_selectedMcu) ||
        m_prompts.RunEraseDialog(dialog) != DialogResult::Ok) {
        ResetProgrammer();
        return;
    }
    g_eraseList = dialog.EraseList();
    g_eraseBlockCount = dialog.BlockCount();
    // Erase has no Cancel: every command control stays disabled while it runs.
    EnableCommandButtons(false);
    m_view.ShowControl(IDC_PROGRESS, true);
    m_view.ShowControl(IDC_STATUS, false);
    StartOperationTimer();
}

void ProgrammerController::EraseStep() {
    if (g_eraseList.size() < kGroupLength) {
        EndWith({Operation::Erase, Outcome::Completed}, false);
        return;
    }
    // The list holds only the dialog's four-digit groups.
    const auto page =
        static_cast<std::uint16_t>(ParseHex(g_eraseList.substr(0, kGroupLength)).value_or(0xFFFF));
    // A command the box did not take shows as its silence: the wait times out.
    (void)m_link.SendPageCommand(cmd::kEraseBlock, page);
    g_eraseList.erase(0, kGroupLength);
    if (g_eraseBlockCount > 0)
        m_view.SetProgress(m_view.Progress() + 100 / g_eraseBlockCount);
    ArmReplyWait(kEraseBlockTicks);
}

}  // namespace o8r
