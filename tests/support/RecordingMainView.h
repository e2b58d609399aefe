#pragma once

#include <ostream>

#include "core/model/Ids.h"
#include "core/operations/Prompts.h"

// A MainView fake that keeps the state of every control of the main window as
// a person would see it (shown, enabled, text, icon), the progress bar with
// every position it took, the MCU tree and list, and the window timers (run by
// a TimerSchedule). Each call is also logged as one line, for tests that care
// about order.

#include <map>
#include <string>
#include <vector>

#include "core/window/MainView.h"
#include "core/window/TimerSchedule.h"

namespace o8r {

// Ids print as their resource numbers in test failures.
inline std::ostream& operator<<(std::ostream& out, ControlId id) {
    return out << IdNumber(id);
}
inline std::ostream& operator<<(std::ostream& out, IconId id) {
    return out << IdNumber(id);
}
inline std::ostream& operator<<(std::ostream& out, TimerId id) {
    return out << IdNumber(id);
}
inline std::ostream& operator<<(std::ostream& out, DialogResult id) {
    return out << IdNumber(id);
}

}  // namespace o8r

namespace o8r::test {

struct ControlState {
    bool shown = true;
    bool enabled = true;
    std::string text;
    IconId icon{};  // 0 = none set
};

class RecordingMainView : public MainView {
  public:
    // Controls start as the window template creates them: command buttons,
    // labels, tree and progress bar hidden; picture, status line and list
    // shown; the list disabled; the labels with their captions.
    RecordingMainView();
    explicit RecordingMainView(Clock& clock);

    void ShowControl(ControlId id, bool show) override;
    void EnableControl(ControlId id, bool enable) override;
    void SetControlText(ControlId id, const std::string& text) override;
    void SetButtonIcon(ControlId id, IconId icon) override;
    void SetProgress(int percent) override;
    int Progress() const override { return m_progress; }
    void StartTimer(TimerId timerId, int periodMs) override;
    void StopTimer(TimerId timerId) override;
    void FillMcuTree(const std::vector<McuTreeGroup>& groups) override;
    void SetUpMcuListColumns() override;
    void SetMcuListRows(const std::vector<McuListRow>& rows) override;
    void SetBusy(bool on) override;
    void CloseWindow() override;

    const ControlState& Control(ControlId id) const;
    bool Shown(ControlId id) const { return Control(id).shown; }
    bool Enabled(ControlId id) const { return Control(id).enabled; }
    const std::string& Text(ControlId id) const { return Control(id).text; }
    IconId Icon(ControlId id) const { return Control(id).icon; }
    std::string StatusText() const;

    // Every position the progress bar was set to, in order.
    std::vector<int> progressHistory;
    std::vector<McuTreeGroup> tree;
    bool listColumnsSetUp = false;
    bool busy = false;
    int closeRequests = 0;
    std::vector<McuListRow> listRows;
    TimerSchedule timers;
    // One line per call: "show 1020 1", "enable 1001 0", "text 1024 Please select MCU",
    // "icon 1001 160", "progress 25", "start 112 1", "stop 112", "tree 2", "columns", "rows 3",
    // "busy 1", "close".
    std::vector<std::string> log;

    void ClearLog() { log.clear(); }
    void ClearProgressHistory() { progressHistory.clear(); }

  private:
    ControlState& Mutable(ControlId id);

    std::map<ControlId, ControlState> m_controls;
    int m_progress = 0;
};

}  // namespace o8r::test
