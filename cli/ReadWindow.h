#pragma once

// The read-data window on a terminal: runs the read session on the window
// timers until the read completes, is cancelled or times out, then prints the
// hex dump and/or saves the S-record file as its Save button would.

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "operations/ReadSession.h"
#include "srec/ReadRow.h"

namespace o8r {
class Clock;
class TimerSchedule;
}  // namespace o8r

namespace o8r::cli {

class ProgressBar;
class TerminalPrompts;

struct ReadActions {
    bool dump = false;  // print the rows on `dumpOut`
    bool save = false;  // save through the window's Save button (the save chooser gives the path)
};

class ReadWindow : public ReadView {
  public:
    ReadWindow(TimerSchedule& timers, Clock& clock, ProgressBar& bar, TerminalPrompts& prompts,
               std::function<void(int)> mainDispatch, std::ostream& dumpOut);

    // The modal run: IDOK when a page request timed out, IDCANCEL otherwise.
    int Run(ReadSession& session, const ReadActions& actions);
    // True once the read went through to its last page.
    bool Completed() const { return m_completed; }

    void SetButtonIcon(int) override {}
    void SetStatusText(const std::string& text) override;
    void ShowStatus(bool) override {}
    void ShowProgress(bool show) override;
    void SetProgress(int percent) override;
    void StartTimer(int timerId, int periodMs) override;
    void StopTimer(int timerId) override;
    void RowsChanged(std::size_t) override {}
    void Close(int result) override { m_result = result; }

    // The rows as the window's list shows them, with a heading line.
    static std::string FormatDump(const std::vector<ReadRow>& rows);

  private:
    TimerSchedule& m_timers;
    Clock& m_clock;
    ProgressBar& m_bar;
    TerminalPrompts& m_prompts;
    std::function<void(int)> m_mainDispatch;
    std::ostream& m_dumpOut;
    std::optional<int> m_result;
    bool m_completed = false;
    bool m_progressShown = false;
};

}  // namespace o8r::cli
