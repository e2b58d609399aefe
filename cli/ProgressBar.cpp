#include "cli/ProgressBar.h"

#include <algorithm>
#include <cstdio>
#include <ostream>

namespace o8r::cli {

namespace {
constexpr int kBarWidth = 20;
}

ProgressBar::ProgressBar(std::ostream& out, bool enabled, std::function<std::uint64_t()> now)
    : m_out(out), m_enabled(enabled), m_now(std::move(now)) {}

std::string ProgressBar::Render(const std::string& label, int percent, double seconds) {
    percent = std::clamp(percent, 0, 100);
    const int filled = percent * kBarWidth / 100;
    std::string line =
        label + " |" + std::string(filled, '#') + std::string(kBarWidth - filled, ' ') + "| ";
    char tail[48];
    std::snprintf(tail, sizeof tail, "%3d%%  %.1f s", percent, seconds);
    return line + tail;
}

void ProgressBar::Begin() {
    m_active = true;
    m_percent = 0;
    m_start = m_now();
    m_lastLine.clear();
    Draw();
}

void ProgressBar::Update(int percent) {
    if (!m_active) {
        Begin();
    }
    m_percent = percent;
    Draw();
}

void ProgressBar::End() {
    Suspend();
    m_active = false;
}

void ProgressBar::Suspend() {
    if (m_enabled && m_drawn) {
        // Back to the start of the line and clear it.
        if (m_lineClearing)
            m_out << "\r\x1b[K" << std::flush;
        else
            m_out << '\r' << std::string(m_lastLine.size(), ' ') << '\r' << std::flush;
    }
    m_drawn = false;
    m_lastLine.clear();
}

void ProgressBar::Draw() {
    if (!m_enabled || !m_active) {
        return;
    }
    const double seconds = static_cast<double>(m_now() - m_start) / 1e9;
    std::string line = Render(m_label, m_percent, seconds);
    if (line == m_lastLine) {
        return;
    }
    if (m_lineClearing) {
        m_out << '\r' << line << "\x1b[K" << std::flush;
    } else {
        // Blanks over whatever the longer last line left.
        const std::size_t width = std::max(line.size(), m_lastLine.size());
        m_out << '\r' << line << std::string(width - line.size(), ' ') << std::flush;
    }
    m_lastLine = std::move(line);
    m_drawn = true;
}

}  // namespace o8r::cli
