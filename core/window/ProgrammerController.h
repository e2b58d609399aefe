#pragma once

// The main window's logic: programmer detection, the connect sequence, the
// operation engine and every button handler. The desktop program, the command
// line and the tests drive it through MainView and Prompts; it reaches the box
// only through the Bridge and lets time pass only through the Clock.

#include <cstdint>
#include <string>
#include <vector>

#include "core/link/BoxLink.h"
#include "core/model/Ids.h"
#include "core/model/Outcome.h"
#include "core/operations/Prompts.h"
#include "core/protocol/Bridge.h"
#include "core/protocol/Clock.h"
#include "core/window/MainView.h"

namespace o8r {

class AddressRangeEntry;

class ProgrammerController {
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
    bool UpdateMode() const { return m_bUpdateMode; }
    bool WaitingReply() const { return m_waitingReply; }
    OperationType CurrentOperation() const { return m_operationType; }
    std::int32_t PageIndex() const { return m_pageIndex; }
    std::int32_t ProgressPercent() const { return m_progressPercent; }

  private:
    friend class ControllerTestAccess;  // tests put the engine into chosen states

    void ShowMessage(const std::string& text, const std::string& caption, MsgIcon icon,
                     MsgButtons buttons = MsgButtons::Ok);
    // The messages of an outcome (the reset request is ResetProgrammer's own).
    void ShowOutcome(Operation operation, Outcome outcome);
    void ShowResult(const OperationResult& result);
    Operation CurrentOperationKind() const;

    // Operation start, pause and resume around a question.
    void StartOperationTimer();
    void PauseOperation();
    void ResumeOperation();
    MsgAnswer AskToCancel(Operation operation);

    void ArmReplyWait(std::int32_t ticks);
    bool ReplyTimedOut();
    void SendPageRecord(bool withCommandByte, std::int32_t ticks);
    static std::int32_t PageRecordCount();
    void ProgramStep();
    void EraseStep();
    void LoadStep();
    void BlankCheckStep();
    bool EvaluateBlankPage();  // false when the check has ended on a short page
    // Stops the engine, resets the box (restoring the idle window) and shows the outcome.
    void EndWith(const OperationResult& result, bool setFailureStatus);
    void CancelProgram();
    void CancelBlankCheck();
    void RunFirmwareUpdate();
    void StartLoad();
    void CancelLoad();

    bool m_operationRunning = false;
    bool m_resetRequested = false;  // "Please reset programmer!" shown since it was cleared
    bool m_bUpdateMode = false;
    bool m_waitingReply = false;
    std::int32_t m_timeoutTicks = 0;
    OperationType m_operationType = OP_PROGRAM;
    std::int32_t m_pageIndex = 0;
    std::int32_t m_progressPercent = 0;
    bool m_blankSoFar = false;
    std::uint32_t m_firstFilledAddress = 0;

    Bridge& m_bridge;
    Clock& m_clock;
    BoxLink m_link;
    MainView& m_view;
    Prompts& m_prompts;
    std::vector<McuListRow> m_listRows;
    std::uint64_t m_replyDeadline = 0;  // Clock time at which the awaited answer is late
    std::uint64_t m_pausedAt = 0;       // when TIMER_OPERATION was stopped for a question
};

}  // namespace o8r
