// The Read button: the range is asked once the box is connected, then the
// read-data window steps the read on its own timer, and the box is reset once
// that window has closed.

#include "core/model/Ids.h"
#include "core/model/Messages.h"
#include "core/operations/ReadSession.h"
#include "core/window/ProgrammerController.h"
#include "core/window/SharedState.h"

namespace o8r {

void ProgrammerController::OnRead() {
    BeginOperation(Operation::Read);
}

void ProgrammerController::RunReadWindow() {
    EnableCommandButtons(false);
    g_currentPage = static_cast<std::uint16_t>(g_rangeStart >> 8);
    ReadSession window(m_session, m_prompts, AddressRange{g_rangeStart, g_rangeEnd});
    const DialogResult closed = m_prompts.RunReadWindow(window);
    // The window ends with OK only when a page never came.
    if (closed == DialogResult::Ok)
        m_view.SetControlText(IDC_STATUS, text::kStatusClickList);
    // A read the window left unfinished ends without a word of its own.
    m_session.SetListener(nullptr);
    (void)m_session.Cancel();
    m_session.SetListener(this);
    Drive(m_session.Step());
}

}  // namespace o8r
