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
    m_progress = percent;
    if (m_progressShown) {
        m_bar.Update(percent);
    }
}

std::string TerminalView::ControlText(int id) const {
    const auto it = m_texts.find(id);
    return it == m_texts.end() ? std::string() : it->second;
}

bool TerminalView::Enabled(int id) const {
    const auto it = m_enabled.find(id);
    return it != m_enabled.end() && it->second;
}

}  // namespace o8r::cli
