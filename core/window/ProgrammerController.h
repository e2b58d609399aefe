#pragma once

// The main window's logic: programmer detection, every button handler, and the
// window's side of the operations, which it steps on the session's one engine
// from its 1 ms operation timer. The desktop program and the tests drive it
// through MainView and Prompts; it reaches the box only through the Bridge and
// lets time pass only through the Clock.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/link/BoxLink.h"
#include "core/model/Ids.h"
#include "core/model/Outcome.h"
#include "core/operations/BoxSession.h"
#include "core/operations/Prompts.h"
#include "core/protocol/Bridge.h"
#include "core/protocol/Clock.h"
#include "core/window/MainView.h"

namespace o8r {

class AddressRangeEntry;

class ProgrammerController : private OperationListener {
  public:
    ProgrammerController(Bridge& bridge, Clock& clock, MainView& view, Prompts& prompts);

    // Window initialisation: the button icons, g_cataloguePath (`cataloguePath`
    // when given, else MCUType.mcu in the program directory, with or without
    // its closing separator), the MCU tree, the list columns, then
    // TIMER_DEVICE_POLL.
    void OnInitDialog(const std::string& programDirectory, const std::string& cataloguePath = {});
    // Timer dispatch: 111 to PollProgrammer, 112 to OnOperationTimer, others ignored.
    void OnTimer(TimerId timerId);

    // MCU tree and property list.
    void OnTreeSelectionChanged(const std::string& itemText);
    void OnListClick(int row);        // first selected row, -1 for none
    void OnListDoubleClick(int row);  // opens the ID code dialog
    const std::vector<McuListRow>& ListRows() const { return m_listRows; }

    // Programmer link.
    void PollProgrammer();
    // Escape or the close box: holds the box in reset, closes it and stops the
    // window's timers; the host then ends the window. The only way out.
    void CloseLink();
    // The close box while an operation may run. CloseNow: nothing runs, or the
    // user agreed to stop it and it was cancelled; Stay: the user said No;
    // CloseWhenEnded: it cannot be cancelled, and the view's CloseWindow()
    // comes when it has ended.
    enum class CloseAnswer { CloseNow, Stay, CloseWhenEnded };
    [[nodiscard]] CloseAnswer OnCloseRequested();
    // Holds the box in reset, restores the idle window and waits for the box;
    // false when it stays busy, after "Please reset programmer!" when asked to.
    bool ResetProgrammer(bool askWhenStuck = true);
    bool WaitBoxReady(int maxPolls);
    // The reset and the handshake that start an operation: 'C' and 'U' to the
    // target, or the Load header to the box's store. False after the message.
    bool ConnectProgrammer(Handshake kind = Handshake::Target);

    // Command buttons.
    void OnProgram();
    void OnErase();
    void OnRead();
    void OnLoadButton();
    void OnBlankCheck();
    void OnOperationTimer();

    bool SelectAndLoadFile();
    // The range the address dialog accepted becomes the window's range.
    void TakeRange(const AddressRangeEntry& dialog);
    void EnableCommandButtons(bool enable);
    void ShowCommandButtons(int show);

    // Engine state, readable by front ends and tests.
    bool OperationRunning() const { return m_operationRunning; }
    // An operation is under way on the box (Erase included), or waits to close the window.
    bool Busy() const { return m_session.Running(); }
    bool UpdateMode() const { return m_updateMode; }
    bool WaitingReply() const { return m_session.AwaitingAnswer(); }
    Operation CurrentOperation() const { return m_operation; }
    // Page records or erase commands sent by the running operation.
    std::int32_t PageIndex() const { return m_session.CommandsSent(); }
    std::int32_t ProgressPercent() const { return m_progressPercent; }

  private:
    friend class ControllerTestAccess;  // tests put the engine into chosen states

    void ShowMessage(const std::string& text, const std::string& caption, MsgIcon icon,
                     MsgButtons buttons = MsgButtons::Ok);
    // The messages of an outcome (the reset request is ResetProgrammer's own).
    void ShowOutcome(Operation operation, Outcome outcome);
    void ShowResult(const OperationResult& result);
    // The look of the idle window: what every reset of the box restores.
    void RestoreIdleView();

    // The operations stepped on the session: begun by a button, driven by
    // TIMER_OPERATION, their questions answered with the window's dialogs.
    void BeginOperation(Operation operation);
    // Answers questions until the operation waits for the box (the timer
    // then steps it) or has ended.
    void Drive(Pending pending);
    [[nodiscard]] Pending AnswerQuestion();
    void OperationEnded();
    // The button of the running operation pressed again: the cancel question.
    void CancelRunning();
    void StartOperationTimer();
    void StopOperationTimer();
    // Stops TIMER_OPERATION for a question, and restarts it after a No.
    MsgAnswer AskToCancel(Operation operation);
    void RunFirmwareUpdate();
    // A failed firmware update leaves the box's loader in an unknown state:
    // the message asks for a replug, and the window shows its start view
    // until the box is detected afresh.
    void UpdateFailed(Outcome outcome);
    // The busy look while the box is reset and the handshake runs.
    void ShowConnecting();
    void EndConnecting();
    // Read: the read-data window steps the read, then the box is reset.
    void RunReadWindow();

    // OperationListener: the running operation as the window shows it.
    void PhaseStarted(Phase phase) override;
    void Progress(int percent) override;
    void Resetting() override;
    void Finished(const OperationResult& result) override;

    bool m_operationRunning = false;
    bool m_updateMode = false;
    bool m_operationTimer = false;  // TIMER_OPERATION runs
    Operation m_operation = Operation::Program;
    std::int32_t m_progressPercent = 0;
    bool m_phaseRan = false;                       // the operation reached its exchanges
    bool m_connecting = false;                     // the busy look of a connect is shown
    bool m_closeWhenEnded = false;                 // the window closes when the operation ends
    std::optional<OperationResult> m_shownEnding;  // shown as the operation ended

    Bridge& m_bridge;
    Clock& m_clock;
    BoxSession m_session;
    BoxLink& m_link;  // the session's: polls, resets and the read window share its handle
    MainView& m_view;
    Prompts& m_prompts;
    std::vector<McuListRow> m_listRows;
    std::uint64_t m_pausedAt = 0;  // when TIMER_OPERATION was stopped for a question
};

}  // namespace o8r
