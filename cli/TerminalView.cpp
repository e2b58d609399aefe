#include "cli/TerminalView.h"

#include "app/Ids.h"
#include "cli/ProgressBar.h"

namespace o8r::cli {

void TerminalView::ShowControl(int id, bool show) {
    if (id != IDC_PROGRESS || show == m_progressShown) {
        return;
    }
    m_progressShown = show;
    if (show) {
        m_bar.Begin();
        m_bar.Update(m_progress);
    } else {
        m_bar.End();
    }
}

void TerminalView::SetProgress(int percent) {
    // An operation's bar only moves forward; the drop to 0 comes with the
    // reset that ends it, just before the bar is hidden.
    if (m_progressShown && percent >= m_progress) {
        m_bar.Update(percent);
    }
    m_progress = percent;
}

}  // namespace o8r::cli
