#pragma once

// The main window on a terminal: the progress bar 1020 becomes the terminal's
// progress line, the timers run on a TimerSchedule, and the rest is kept only
// so that a command can look at it (the status line, the view state).

#include <map>
#include <string>

#include "app/MainView.h"
#include "app/TimerSchedule.h"

namespace o8r::cli {

class ProgressBar;

class TerminalView : public MainView {
  public:
    TerminalView(ProgressBar& bar, TimerSchedule& timers) : m_bar(bar), m_timers(timers) {}

    void ShowControl(int id, bool show) override;
    void EnableControl(int id, bool enable) override { m_enabled[id] = enable; }
    void SetControlText(int id, const std::string& text) override { m_texts[id] = text; }
    void SetButtonIcon(int, int) override {}
    void SetProgress(int percent) override;
    int Progress() const override { return m_progress; }

    void StartTimer(int timerId, int periodMs) override { m_timers.Start(timerId, periodMs); }
    void StopTimer(int timerId) override { m_timers.Stop(timerId); }

    void FillMcuTree(const std::vector<McuTreeGroup>&) override {}
    void SetUpMcuListColumns() override {}
    void SetMcuListRows(const std::vector<McuListRow>&) override {}

    std::string ControlText(int id) const;
    bool Enabled(int id) const;

  private:
    ProgressBar& m_bar;
    TimerSchedule& m_timers;
    int m_progress = 0;
    bool m_progressShown = false;
    std::map<int, bool> m_enabled;
    std::map<int, std::string> m_texts;
};

}  // namespace o8r::cli
