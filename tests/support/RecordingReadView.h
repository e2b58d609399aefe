#pragma once

// A ReadView fake: keeps what the read-data window shows (button icon, status
// text, which of progress bar and status text is visible, every progress
// position) and how it ended, and runs its timer 114 on a Clock.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/model/Ids.h"
#include "core/operations/ReadSession.h"
#include "core/protocol/Clock.h"
#include "core/window/TimerSchedule.h"
#include "support/ControllerHarness.h"

namespace o8r::test {

class RecordingReadView : public ReadView {
  public:
    explicit RecordingReadView(Clock& clock) : timers(clock), m_clock(clock) {}

    void SetButtonIcon(IconId id) override;
    void SetStatusText(const std::string& text) override;
    void ShowStatus(bool show) override;
    void ShowProgress(bool show) override;
    void SetProgress(int percent) override;
    void StartTimer(TimerId timerId, int periodMs) override;
    void StopTimer(TimerId timerId) override;
    void RowsChanged(std::size_t firstChanged) override;
    void Close(DialogResult result) override;

    bool TimerRunning() const { return timers.IsRunning(TIMER_READ); }
    bool Closed() const { return closedWith.has_value(); }

    // Delivers the window's timer ticks to `session` until the window closes,
    // its timer stops (the read ended or waits for a person), or `limitNs` of
    // clock time has passed. True unless the limit was reached.
    bool RunTimer(ReadSession& session, std::uint64_t limitNs = 60'000'000'000ULL);
    // Delivers at most `count` ticks (fewer when the timer stops or the window closes).
    void RunTicks(ReadSession& session, int count);

    IconId icon{};
    std::string statusText;
    bool statusShown = false;
    bool progressShown = true;
    int progress = 0;
    std::vector<int> progressHistory;
    std::vector<std::size_t> rowsChanged;
    std::optional<DialogResult> closedWith;
    int timerStarts = 0;
    int timerPeriodMs = 0;
    TimerSchedule timers;

  private:
    Clock& m_clock;
};

// The read-data window over a harness whose box is connected to the target,
// as the Read button leaves things just before the window opens.
struct ReadWindowRig {
    static constexpr char kPart[] = "R5F212A8SN";  // region 2 = [0x4000, 0x14000)

    explicit ReadWindowRig(SimOptions options = {});

    // The range as the address dialog accepts it, and the first page to read.
    void SetRange(std::uint32_t start, std::uint32_t end);
    // Target flash bytes of [start, end] set to byteAt(address).
    void Fill(std::uint32_t start, std::uint32_t end,
              const std::function<std::uint8_t(std::uint32_t)>& byteAt);
    void Open() { Session().Open(window); }
    // The read window's session, over the range SetRange gave (0-0 until then).
    ReadSession& Session() { return *m_session; }
    // Opens the window and lets its timer run until it stops.
    bool ReadAll();
    // The pages requested since the rig was made, from the 'R' writes.
    std::vector<std::uint16_t> RequestedPages() const;

    ControllerHarness h;
    RecordingReadView window;

  private:
    std::optional<ReadSession> m_session;
};

// A message box as the read-data window shows it.
Message ReadMsg(std::string text, std::string caption, MsgIcon icon,
                MsgButtons buttons = MsgButtons::Ok);

}  // namespace o8r::test
