#pragma once

// The main window's controller wired to a simulated box on a virtual clock,
// with a tracing bridge in between, a recording view and scripted prompts:
// everything an operation test needs, running in milliseconds.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/link/TracingBridge.h"
#include "core/operations/BoxSession.h"
#include "core/protocol/Clock.h"
#include "core/window/ProgrammerController.h"
#include "core/window/SharedState.h"
#include "core/window/TimerSchedule.h"
#include "sim/SimulatedBox.h"
#include "support/RecordingMainView.h"
#include "support/RecordingPrompts.h"
#include "support/ScratchDir.h"

namespace o8r {

// Tests put the window's engine into chosen states and look at it.
class ControllerTestAccess {
  public:
#define O8R_ENGINE_FIELD(name)                  \
    template <typename Controller>              \
    static auto& name(Controller& controller) { \
        return controller.name;                 \
    }
    O8R_ENGINE_FIELD(m_operationRunning)
    O8R_ENGINE_FIELD(m_updateMode)
    O8R_ENGINE_FIELD(m_operation)
    O8R_ENGINE_FIELD(m_progressPercent)
    O8R_ENGINE_FIELD(m_link)
    O8R_ENGINE_FIELD(m_session)
#undef O8R_ENGINE_FIELD
};

}  // namespace o8r

namespace o8r::test {

// Sits between the tracing bridge and the box and bends chosen calls, for the
// failures a healthy simulated box never shows on cue. Calls are matched by
// their description, the left side of a trace line: "baud 500000", "line 0800",
// "write 43", "write 55", "modem", "read 1", "flow 0 0 1 0 0 0", "count" ...
class FaultInjector final : public Bridge, public ViolationSource {
  public:
    using Match = std::function<bool(const std::string& call)>;

    explicit FaultInjector(Bridge& inner) : m_inner(inner) {}

    // Matching calls fail with status 1 and never reach the box.
    Match failWhen;
    // Matching writes report one byte fewer written and deliver one fewer.
    Match shortWriteWhen;
    // From a matching call on, the modem status reads CTS high until the box
    // is next held in reset (DTR asserted).
    Match holdCtsAfter;
    // After a matching call, the next read returns these bytes instead of the
    // box's (which are still taken from it); an empty list is a read that
    // returns nothing.
    Match replyAfter;
    std::vector<std::uint8_t> reply;
    // The bridge cannot wait on the line: callers look again after short sleeps.
    bool cannotWait = false;

    // Descriptions of every call, in order.
    std::vector<std::string> calls;

    BridgeStatus GetDeviceCount(std::uint32_t& count) override;
    BridgeStatus Open(std::uint32_t deviceIndex, DeviceHandle& handle) override;
    BridgeStatus Close(DeviceHandle handle) override;
    BridgeStatus Read(DeviceHandle handle, std::uint8_t* buffer, std::uint32_t wanted,
                      std::uint32_t& got) override;
    BridgeStatus Write(DeviceHandle handle, const std::uint8_t* buffer, std::uint32_t count,
                       std::uint32_t& written) override;
    BridgeStatus FlushBuffers(DeviceHandle handle, std::uint8_t flushTransmit,
                              std::uint8_t flushReceive) override;
    BridgeStatus SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) override;
    BridgeStatus CheckRxQueue(DeviceHandle handle, std::uint32_t& bytesQueued,
                              std::uint32_t& queueStatus) override;
    BridgeStatus SetBaudRate(DeviceHandle handle, std::uint32_t baud) override;
    BridgeStatus SetLineControl(DeviceHandle handle, std::uint16_t lineControl) override;
    BridgeStatus SetFlowControl(DeviceHandle handle, std::uint8_t ctsMask, std::uint8_t rtsMask,
                                std::uint8_t dtrMask, std::uint8_t dsrMask, std::uint8_t dcdMask,
                                bool xonXoff) override;
    BridgeStatus GetModemStatus(DeviceHandle handle, std::uint8_t& status) override;
    BridgeStatus WaitForAnswer(DeviceHandle handle, AnswerSignal signal,
                               std::uint64_t maxWaitNs) override;
    // The box's violations, so that they reach the trace.
    std::vector<std::string> TakeNewViolations() override;

  private:
    // Records the call and arms the rules it matches; true when it must fail.
    bool Enter(const std::string& call);

    Bridge& m_inner;
    bool m_holdingCts = false;
    bool m_replyArmed = false;
};

// Matches one exact call description, or any call starting with a prefix.
FaultInjector::Match CallIs(std::string call);
FaultInjector::Match CallStartsWith(std::string prefix);

class ControllerHarness {
  public:
    // Starts from the shared state of a fresh process.
    explicit ControllerHarness(SimOptions options = SimOptions{});
    // Fails the test for every protocol violation left in the box's list.
    ~ControllerHarness();
    ControllerHarness(const ControllerHarness&) = delete;
    ControllerHarness& operator=(const ControllerHarness&) = delete;

    VirtualClock clock;
    SimulatedBox box;
    FaultInjector faults;
    std::ostringstream traceOut;
    TracingBridge bridge;
    RecordingMainView view;
    RecordingPrompts prompts;
    ProgrammerController controller;
    // Every percentage the loading dialog's bar showed, and how often it ran.
    std::vector<int> loadProgress;
    int loadDialogRuns = 0;
    // Files the test writes (images), removed with the harness.
    ScratchDir scratch;

    // The window's initialisation with the catalogue in `directory` (the
    // shipped one by default).
    void InitWindow(const std::string& directory = ShippedDataDirectory());
    // One tick of the programmer poll.
    void Poll() { controller.OnTimer(TIMER_DEVICE_POLL); }
    // Window initialisation and the poll that finds the box.
    void Start();
    // The tree item of the part's series, then a click on its row; false when
    // the part is not in the catalogue.
    bool SelectPart(const std::string& part);
    // Start() and SelectPart() with the trace cleared afterwards: the box idle,
    // the window in its Normal view, the part chosen.
    bool StartWithPart(const std::string& part);

    // Delivers the window timers until TIMER_OPERATION has stopped (or the
    // limit of virtual time has passed).
    TimerSchedule::RunEnd RunUntilIdle(std::uint64_t limitNs = 600'000'000'000ull);
    // Runs `count` ticks of TIMER_OPERATION (and any poll falling due) at most.
    void RunTicks(int count);
    // Delivers the window timers until `done()` holds or the operation ends.
    void RunUntil(const std::function<bool()>& done);
    bool OperationTimerRunning() const { return view.timers.IsRunning(TIMER_OPERATION); }
    // Presses `button` and runs its operation until page `index` is reached,
    // then presses it again (now Cancel) with `answer` ready for the question.
    // Returns the data lines as they stood before the cancel.
    std::vector<std::string> CancelAtPage(void (ProgrammerController::*button)(), int index,
                                          MsgAnswer answer);

    // The trace of bridge calls, one line each.
    std::vector<std::string> TraceLines() const;
    // Only the lines that carry bytes to or from the box ("write ..." and "read ...").
    std::vector<std::string> DataLines() const;
    // The part, memory map and ID code the window has chosen, for a session.
    SessionTarget WindowTarget() const { return {g_selectedMcu, CurrentMemoryMap(), g_idCode}; }
    // The handle the controller's link holds open (0: none).
    std::uint32_t Handle() { return ControllerTestAccess::m_link(controller).Handle(); }
    void ClearTrace();

    // Scripts for the dialogs: the chooser picks `path`; the address dialog
    // gets the two texts; the erase dialog checks the rows given (in list
    // order) or all of them.
    void ChooseFile(const std::string& path) { prompts.openFiles.push_back(path); }
    void ScriptAddressRange(const std::string& start, const std::string& end);
    void ScriptEraseRows(const std::vector<std::size_t>& rows);
    void ScriptEraseAll();

    // An S-record image of `data` from `base`, written into the scratch
    // directory; returns its path.
    std::string WriteImage(const std::string& name, std::uint32_t base,
                           const std::vector<std::uint8_t>& data);
    // "image.mot" of `pages` pages of PatternBytes from `base`, written and
    // waiting in the file dialog; returns its bytes.
    std::vector<std::uint8_t> ChoosePatternImage(std::uint32_t base, std::size_t pages);

    // The window as every operation leaves it: command controls enabled, the
    // idle icons and labels, the progress bar hidden at 0, the status line
    // shown with `status`, no operation running and TIMER_OPERATION stopped.
    void ExpectIdleWindow(const std::string& status) const;
    // The window while an operation runs: `button` and its `label` enabled
    // and turned into Cancel, the controls in `disabled` disabled, the progress
    // bar shown instead of the status line, the operation timer running.
    void ExpectRunningWindow(ControlId button, ControlId label,
                             std::initializer_list<ControlId> disabled) const;

    static std::string ShippedDataDirectory();
};

// Trace helpers: the line of a 260-byte write of page record `index` as it
// stands in g_pageRecords; how many lines start with `prefix`; how often the
// box was held in reset (DTR asserted).
std::string RecordWriteLine(std::size_t index);
std::size_t CountStarting(const std::vector<std::string>& lines, const std::string& prefix);
std::size_t ResetsIn(const std::vector<std::string>& lines);
// The 260-byte writes of page records among `lines`, in order.
std::vector<std::string> RecordWrites(const std::vector<std::string>& lines);

// `size` bytes counting up from `seed`, so that every page differs.
std::vector<std::uint8_t> PatternBytes(std::size_t size, std::uint8_t seed = 0);

// A single message box as the main window shows it.
Message MainMsg(std::string text, std::string caption, MsgIcon icon,
                MsgButtons buttons = MsgButtons::Ok);

// A fresh window with the box found and no part chosen: pressing `button`
// shows the warning `text` alone and nothing reaches the box.
void ExpectRefusedWithoutPart(void (ProgrammerController::*button)(), const std::string& text);

}  // namespace o8r::test
