#pragma once

// The main window's logic: programmer detection, the connect sequence, the
// operation engine and every button handler. The desktop program, the command
// line and the tests drive it through MainView and Prompts; it reaches the box
// only through the Bridge and lets time pass only through the Clock.

#include <cstdint>
#include <string>
#include <vector>

#include "app/MainView.h"
#include "app/Prompts.h"
#include "link/Bridge.h"
#include "link/Clock.h"

namespace o8r {

class ProgrammerController {
  public:
    ProgrammerController(Bridge& bridge, Clock& clock, MainView& view, Prompts& prompts);

    // Window initialisation: the button icons, g_mcuFilePath (`cataloguePath`
    // when given, else MCUType.mcu in the program directory, with or without
    // its closing separator), the MCU tree, the list columns, then
    // TIMER_DEVICE_POLL.
    void OnInitDialog(const std::string& programDirectory, const std::string& cataloguePath = {});
    // Timer dispatch: 111 to PollProgrammer, 112 to OnOperationTimer, others ignored.
    void OnTimer(int timerId);

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
    bool ResetProgrammer();
    bool ConfigureLine(std::uint32_t baud);
    bool WaitBoxReady(int maxPolls);
    bool ConnectProgrammer();

    // Command buttons.
    void OnProgram();
    void OnErase();
    void OnRead();
    void OnLoadButton();
    void OnBlankCheck();
    void OnOperationTimer();

    bool SelectAndLoadFile();
    void EnableCommandButtons(bool enable);
    void ShowCommandButtons(int show);

    // Engine state, readable by front ends and tests.
    bool m_operationRunning = false;
    bool m_bUpdateMode = false;
    bool m_waitingReply = false;
    std::int32_t m_timeoutTicks = 0;
    int m_operationType = 0;
    std::int32_t m_pageIndex = 0;
    std::int32_t m_progressPercent = 0;
    bool m_blankSoFar = false;
    std::uint32_t m_firstFilledAddress = 0;

    // The 16-byte name field of the Load header for a file path: the file name
    // (after the last '/' or '\\') without its last four characters, cut to 16
    // and filled up with spaces.
    static std::string LoadNameField(const std::string& path);

  private:
    // Link helpers: a failed modem-status query reads as busy (CTS high); a
    // read that returns no byte gives -1, which no answer byte equals.
    std::uint8_t QueryModemStatus();
    bool CtsHigh() { return (QueryModemStatus() & kModemCts) != 0; }
    int ReadAnswerByte();
    std::uint32_t WriteBytes(const std::uint8_t* data, std::uint32_t count);
    bool WriteExactly(const std::uint8_t* data, std::uint32_t count);
    void SetFlow(std::uint8_t rts, std::uint8_t dtr);
    void ShowMessage(const std::string& text, const std::string& caption, MsgIcon icon,
                     MsgButtons buttons = MsgButtons::Ok);
    bool FailAfterReset(const std::string& text);

    // Operation start, pause and resume around a question.
    void StartOperationTimer();
    void PauseOperation();
    void ResumeOperation();
    MsgAnswer AskToCancel(const char* question);

    void ArmReplyWait(std::int32_t ticks);
    bool ReplyTimedOut();
    void SendPageRecord(bool withCommandByte, std::int32_t ticks);
    static std::int32_t PageRecordCount();
    void ProgramStep();
    void EraseStep();
    void LoadStep();
    void BlankCheckStep();
    bool EvaluateBlankPage();  // false when the check has ended on a short page
    void EndWithMessage(const std::string& text, const std::string& caption, MsgIcon icon,
                        bool setFailureStatus);
    void CancelProgram();
    void CancelBlankCheck();
    void RunFirmwareUpdate();
    void StartLoad();
    void CancelLoad();

    Bridge& m_bridge;
    Clock& m_clock;
    MainView& m_view;
    Prompts& m_prompts;
    std::vector<McuListRow> m_listRows;
    std::uint64_t m_replyDeadline = 0;  // Clock time at which the awaited answer is late
    std::uint64_t m_pausedAt = 0;       // when TIMER_OPERATION was stopped for a question
};

}  // namespace o8r
