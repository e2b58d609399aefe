#pragma once

// The main window on a terminal: the progress bar 1020 becomes the terminal's
// progress line and the timers run on a TimerSchedule. Buttons, labels, the
// status line and the MCU tree have no place on a terminal: the commands say
// what happened through the messages instead.

#include <string>

#include "app/MainView.h"
#include "app/TimerSchedule.h"

namespace o8r::cli {

class ProgressBar;

class TerminalView : public MainView {
  public:
    TerminalView(ProgressBar& bar, TimerSchedule& timers) : m_bar(bar), m_timers(timers) {}

    void ShowControl(int id, bool show) override;
    void EnableControl(int, bool) override {}
    void SetControlText(int, const std::string&) override {}
    void SetButtonIcon(int, int) override {}
    void SetProgress(int percent) override;
    int Progress() const override { return m_progress; }

    void StartTimer(int timerId, int periodMs) override { m_timers.Start(timerId, periodMs); }
    void StopTimer(int timerId) override { m_timers.Stop(timerId); }

    void FillMcuTree(const std::vector<McuTreeGroup>&) override {}
    void SetUpMcuListColumns() override {}
    void SetMcuListRows(const std::vector<McuListRow>&) override {}

  private:
    ProgressBar& m_bar;
    TimerSchedule& m_timers;
    int m_progress = 0;
    bool m_progressShown = false;
};

}  // namespace o8r::cli
