#pragma once

// One run's programmer box with the main window's logic around it: the clock,
// the bridge (real or simulated, traced on request), the terminal view and
// prompts, the window timers and the controller. Device commands drive the
// controller as the desktop program's buttons do and run its timers here.

#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "app/ProgrammerController.h"
#include "app/TimerSchedule.h"
#include "cli/CatalogueAccess.h"
#include "cli/Options.h"
#include "cli/ProgressBar.h"
#include "cli/TerminalPrompts.h"
#include "cli/TerminalView.h"
#include "link/Bridge.h"
#include "link/Clock.h"

namespace o8r::cli {

enum class BoxMode { Normal, FirmwareUpdate };

class BoxSession {
  public:
    // Throws UsageError for a --box or --sim-* choice that cannot be made, and
    // std::runtime_error when the box cannot be reached at all. A new simulated
    // target gets the flash blocks of `part` when one is given.
    BoxSession(const GlobalOptions& global, const McuRecord* part);
    // Releases the box as closing the window does (reset held, handle closed).
    ~BoxSession();
    BoxSession(const BoxSession&) = delete;
    BoxSession& operator=(const BoxSession&) = delete;

    // The first poll of the window: finds exactly one box, opens it and learns
    // its mode. On failure the reason has been shown and the result is empty.
    std::optional<BoxMode> Detect();
    // Detect, and refuse a box in the other mode with a message.
    bool Attach(BoxMode wanted);

    // The part chosen in the list: g_selectedMcu and the memory map.
    void SelectPart(const SelectedPart& part);
    // g_idCode: seven 0xFF (the erased state) unless --id or --id-text gives a
    // code, which goes through the ID code dialog's rules. False when refused.
    bool ApplyIdCode(const GlobalOptions& global);

    // Runs the window's timers until TIMER_OPERATION stops. On Ctrl-C, `cancel`
    // (the operation's Cancel button) is pressed with the --cancel-answer.
    void RunOperation(const std::function<void()>& cancel);
    // Presses an operation's button under the progress label `label` and runs
    // the operation; on Ctrl-C the same button, now its Cancel, is pressed.
    void RunButton(const std::string& label, const std::function<void()>& button);
    // Delivers the main window's timers (poll and engine) to the controller.
    void Dispatch(int timerId);

    // The progress line gets the operation's name.
    void Label(const std::string& label) { m_bar.SetLabel(label); }

    ProgrammerController& Controller() { return *m_controller; }
    TerminalPrompts& Prompts() { return m_prompts; }
    TerminalView& View() { return m_view; }
    ProgressBar& Bar() { return m_bar; }
    Clock& GetClock() { return *m_clock; }
    Bridge& GetBridge() { return *m_link; }
    TimerSchedule& Timers() { return m_timers; }

  private:
    std::unique_ptr<Clock> m_clock;
    std::unique_ptr<Bridge> m_box;  // the real or simulated box
    std::ofstream m_traceFile;
    std::unique_ptr<Bridge> m_tracing;
    Bridge* m_link = nullptr;  // what the controller talks to
    TimerSchedule m_timers;
    ProgressBar m_bar;
    TerminalView m_view;
    TerminalPrompts m_prompts;
    std::unique_ptr<ProgrammerController> m_controller;
    bool m_detected = false;
    std::string m_cancelAnswer;  // yes | no | ask
};

}  // namespace o8r::cli
