#include "core/model/Ids.h"
#include "core/model/Messages.h"
#include "core/operations/AddressRangeEntry.h"
#include "core/operations/ReadSession.h"
#include "core/window/ProgrammerController.h"
#include "core/window/SharedState.h"

namespace o8r {

void ProgrammerController::OnRead() {
    if (g_selectedMcu.empty()) {
        ShowMessage(text::kNoMcuSelected, text::kCaptionWarning, MsgIcon::Exclamation);
        return;
    }
    AddressRangeEntry rangeDialog(m_prompts, CurrentMemoryMap(), text::kPromptReadRange);
    m_operation = Operation::Read;
    if (!ConnectProgrammer())
        return;

    g_rangePrompt = text::kPromptReadRange;
    if (m_prompts.RunAddressDialog(rangeDialog) == DialogResult::Ok) {
        TakeRange(rangeDialog);
        EnableCommandButtons(false);
        g_currentPage = static_cast<std::uint16_t>(g_rangeStart >> 8);
        ReadSession session(m_link, m_prompts, AddressRange{g_rangeStart, g_rangeEnd});
        // The window ends with OK only when a page never came.
        if (m_prompts.RunReadWindow(session) == DialogResult::Ok) {
            m_view.SetControlText(IDC_STATUS, text::kStatusClickList);
        }
    }
    ResetProgrammer();
}

}  // namespace o8r
