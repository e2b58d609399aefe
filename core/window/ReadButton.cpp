#include "core/model/Ids.h"
#include "core/model/Messages.h"
#include "core/model/SharedState.h"
#include "core/operations/AddressRangeEntry.h"
#include "core/operations/ReadSession.h"
#include "core/window/ProgrammerController.h"

namespace o8r {

void ProgrammerController::OnRead() {
    if (g_selectedMcu.empty()) {
        ShowMessage(text::kNoMcuSelected, text::kCaptionWarning, MsgIcon::Exclamation);
        return;
    }
    AddressRangeEntry rangeDialog(m_prompts);
    m_operationType = OP_READ;
    if (!ConnectProgrammer())
        return;

    g_rangePrompt = text::kPromptReadRange;
    if (m_prompts.RunAddressDialog(rangeDialog) == DialogResult::Ok) {
        EnableCommandButtons(false);
        g_currentPage = static_cast<std::uint16_t>(g_rangeStart >> 8);
        ReadSession session(m_bridge, m_clock, m_prompts);
        // The window ends with OK only when a page never came.
        if (m_prompts.RunReadWindow(session) == DialogResult::Ok) {
            m_view.SetControlText(IDC_STATUS, text::kStatusClickList);
        }
    }
    ResetProgrammer();
}

}  // namespace o8r
