// The operation engine: one small step of the running operation per tick of
// TIMER_OPERATION, either the next command or a look at the box's answer.

#include "core/model/Ids.h"
#include "core/model/Messages.h"
#include "core/window/ProgrammerController.h"
#include "core/window/SharedState.h"

namespace o8r {

void ProgrammerController::StartOperationTimer() {
    m_view.StartTimer(TIMER_OPERATION, 1);
}

void ProgrammerController::PauseOperation() {
    m_view.StopTimer(TIMER_OPERATION);
    m_pausedAt = m_clock.Now();
}

void ProgrammerController::ResumeOperation() {
    // Time spent on the question is not the box's: the allowance of an
    // answer still awaited counts only the ticks the engine ran.
    if (m_waitingReply)
        m_replyDeadline += m_clock.Now() - m_pausedAt;
    StartOperationTimer();
}

MsgAnswer ProgrammerController::AskToCancel(Operation operation) {
    PauseOperation();
    const MsgAnswer answer = m_prompts.ShowMessage(CancelQuestionFor(operation));
    if (answer != MsgAnswer::Yes)
        ResumeOperation();
    return answer;
}

void ProgrammerController::ArmReplyWait(std::int32_t ticks) {
    m_timeoutTicks = ticks;
    m_waitingReply = true;
    m_replyDeadline = m_clock.DeadlineAfter(TickAllowance(ticks));
}

bool ProgrammerController::ReplyTimedOut() {
    // The tick count is kept for what it tells (ticks seen busy); the decision
    // is on elapsed time, so a fast timer never cuts a slow box short.
    if (m_timeoutTicks > 0)
        --m_timeoutTicks;
    return m_clock.Now() >= m_replyDeadline;
}

void ProgrammerController::EndWith(const OperationResult& result, bool setFailureStatus) {
    m_view.StopTimer(TIMER_OPERATION);
    // A box left in its reset has asked to be reset by hand: no success is
    // announced after that.
    if (ResetProgrammer() || !result.Succeeded())
        ShowResult(result);
    if (setFailureStatus)
        m_view.SetControlText(IDC_STATUS, text::kStatusClickListAfterFailure);
}

void ProgrammerController::OnOperationTimer() {
    if (m_waitingReply) {
        if (m_link.Busy()) {
            if (ReplyTimedOut())
                EndWith({CurrentOperationKind(), Outcome::TimeOut}, true);
            return;
        }
        m_waitingReply = false;
        if (m_operationType == OP_BLANK_CHECK) {
            if (!EvaluateBlankPage())
                return;
        } else if (m_link.ReadAnswer() != answer::kOk) {
            EndWith({CurrentOperationKind(),
                     m_operationType == OP_ERASE ? Outcome::EraseError : Outcome::VerifyError},
                    true);
            return;
        }
        // A good answer: the next command goes out in this same tick rather
        // than the next one, so a page costs the box's time and not a tick more.
    }

    switch (m_operationType) {
        case OP_PROGRAM:
            ProgramStep();
            break;
        case OP_ERASE:
            EraseStep();
            break;
        case OP_LOAD:
            LoadStep();
            break;
        case OP_BLANK_CHECK:
            BlankCheckStep();
            break;
        default:
            break;  // Read runs in its own window; nothing to do here
    }
}

std::int32_t ProgrammerController::PageRecordCount() {
    // Never more records than their array holds, whatever the count says.
    return static_cast<std::int32_t>(g_pageCount < kMaxPageRecords ? g_pageCount : kMaxPageRecords);
}

void ProgrammerController::SendPageRecord(bool withCommandByte, std::int32_t ticks) {
    const std::int32_t count = PageRecordCount();
    // A write the box did not take shows as its silence: the wait times out.
    (void)m_link.SendPageRecord(g_pageRecords[static_cast<std::size_t>(m_pageIndex)],
                                withCommandByte);
    ArmReplyWait(ticks);
    m_progressPercent = m_pageIndex * 100 / count;
    m_view.SetProgress(m_progressPercent);
    ++m_pageIndex;
}

}  // namespace o8r
