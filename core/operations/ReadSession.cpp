#include "core/operations/ReadSession.h"

#include <filesystem>
#include <system_error>

#include "core/image/SRecordWriter.h"
#include "core/model/Ids.h"
#include "core/model/Messages.h"
#include "platform/NewFile.h"
#include "platform/Utf8Path.h"

namespace o8r {

namespace {

// Whether a file already has this name (a link counts as the file it leads to).
bool PathTaken(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::status(PathFromUtf8(path), ec));
}

}  // namespace

ReadSession::ReadSession(BoxLink& link, Prompts& prompts, const AddressRange& range)
    : m_link(link),
      m_clock(link.GetClock()),
      m_prompts(prompts),
      m_range(range),
      m_page(range.FirstPage()) {}

void ReadSession::Open(ReadView& view) {
    m_view = &view;
    m_view->SetButtonIcon(IDI_CANCEL);
    m_view->ShowStatus(false);
    m_view->SetProgress(0);
    m_view->ShowProgress(true);
    StartReadTimer();
}

void ReadSession::StartReadTimer() {
    m_timerRunning = true;
    m_view->StartTimer(TIMER_READ, 1);
}

void ReadSession::StopReadTimer() {
    m_timerRunning = false;
    m_view->StopTimer(TIMER_READ);
}

MsgAnswer ReadSession::Ask(const std::string& text, const std::string& caption, MsgIcon icon,
                           MsgButtons buttons) {
    return m_prompts.ShowMessage(Message{text, caption, icon, buttons, Owner::ReadData});
}

void ReadSession::OnTimer(TimerId timerId) {
    // A tick that was already queued when the timer stopped changes nothing.
    if (timerId != TIMER_READ || m_view == nullptr || !m_timerRunning || m_closed)
        return;
    if (m_pageRequested) {
        ReceivePage();
    } else {
        RequestOrFinish();
    }
}

void ReadSession::RequestOrFinish() {
    if (m_page > m_range.LastPage()) {
        StopReadTimer();
        // A short reset pulse tells the box the read is over.
        m_link.HoldReset();
        m_clock.Pause(kReadEndPulse);
        m_link.ReleaseReset();
        m_view->SetButtonIcon(IDI_SAVE);
        Ask(text::kReadCompleted, text::kCaptionInfo, MsgIcon::None, MsgButtons::Ok);
        m_view->SetStatusText(text::kReadCompleted);
        m_view->ShowStatus(true);
        m_view->ShowProgress(false);
        m_readFinished = true;
        return;
    }
    // A request the box did not take shows as its silence: the wait times out.
    (void)m_link.SendPageCommand(cmd::kReadPage, static_cast<std::uint16_t>(m_page));
    m_deadline = m_clock.DeadlineAfter(TickAllowance(kReadPageTicks));
    m_pageRequested = true;
}

void ReadSession::ReceivePage() {
    if (m_link.Busy()) {
        if (m_clock.Now() >= m_deadline)
            EndWithTimeOut();
        return;
    }
    m_pageRequested = false;
    PageBytes page{};
    // A page that does not arrive whole is never shown as if it had: the box
    // has stopped answering, which is what a time-out reports.
    if (!m_link.ReadExactly(page)) {
        EndWithTimeOut();
        return;
    }
    AddPage(page);
    ++m_page;
    const auto received = static_cast<int>(m_page - m_range.FirstPage());
    m_view->SetProgress(RangePercent(static_cast<std::uint32_t>(received), m_range.PageCount()));
}

void ReadSession::AddPage(const PageBytes& page) {
    const PageSpan span = BytesInRange(m_page, m_range.start, m_range.end);
    const std::size_t firstNew = m_data.size();
    m_data.insert(m_data.end(), page.begin() + span.from, page.begin() + span.to + 1);
    const std::size_t firstChanged = m_rows.size();
    AppendReadRows(m_rows, m_range.start, m_data, firstNew);
    m_view->RowsChanged(firstChanged);
}

void ReadSession::EndWithTimeOut() {
    StopReadTimer();
    Ask(text::kReadTimeOut, text::kCaptionError, MsgIcon::Error, MsgButtons::Ok);
    m_closed = true;
    m_view->Close(DialogResult::Ok);
}

bool ReadSession::ConfirmCancelReading() {
    StopReadTimer();
    m_stoppedAt = m_clock.Now();
    if (Ask(text::kCancelReadingQuestion, text::kCaptionWarning, MsgIcon::Question,
            MsgButtons::YesNo) == MsgAnswer::Yes) {
        return true;
    }
    // The question's time does not count against the outstanding request.
    m_deadline += m_clock.Now() - m_stoppedAt;
    StartReadTimer();
    return false;
}

void ReadSession::CancelReading() {
    m_view->SetStatusText(text::kReadCanceled);
    m_view->ShowStatus(true);
    m_view->ShowProgress(false);
    m_view->SetButtonIcon(IDI_SAVE);
    m_pageRequested = false;
    m_readFinished = true;
}

void ReadSession::OnButton() {
    if (m_view == nullptr || m_closed)
        return;
    if (!m_readFinished) {
        if (ConfirmCancelReading())
            CancelReading();
        return;
    }
    Save();
}

void ReadSession::OnCancelCommand() {
    if (m_view == nullptr || m_closed)
        return;
    if (!m_readFinished) {
        if (!ConfirmCancelReading())
            return;
        CancelReading();
    } else {
        StopReadTimer();
    }
    if (!m_dataSaved && Ask(text::kUnsavedDataQuestion, text::kCaptionInfo, MsgIcon::Question,
                            MsgButtons::YesNo) != MsgAnswer::Yes) {
        return;
    }
    m_closed = true;
    m_view->Close(DialogResult::Cancel);
}

SaveResult SaveReadData(Prompts& prompts, const std::string& path, std::uint32_t start,
                        std::span<const std::uint8_t> data) {
    // The path, then why, each on a line of its own.
    const auto refuse = [&](const std::string& reason) {
        prompts.ShowMessage(Message{std::string(text::kCanNotSaveFile) + path + '\n' + reason,
                                    text::kCaptionError, MsgIcon::Error, MsgButtons::Ok,
                                    Owner::ReadData});
        return SaveResult::Failed;
    };
    // A folder, a device or a FIFO is refused before any question.
    if (const std::string problem = SaveTargetProblem(PathFromUtf8(path)); !problem.empty())
        return refuse(problem);
    if (PathTaken(path) &&
        prompts.ShowMessage(Message{text::kOverwriteQuestion, text::kCaptionWarning,
                                    MsgIcon::Exclamation, MsgButtons::YesNo, Owner::ReadData}) !=
            MsgAnswer::Yes) {
        return SaveResult::Declined;
    }
    // The old file stays as it was until the new one is complete.
    if (std::string reason; !WriteFileReplacing(path, BuildSRecordFile(start, data), &reason))
        return refuse(reason);
    return SaveResult::Saved;
}

void ReadSession::Save() {
    if (m_data.empty()) {
        Ask(text::kNoDataToSave, text::kCaptionWarning, MsgIcon::Exclamation, MsgButtons::Ok);
        return;
    }
    const auto chosen = m_prompts.ChooseSaveFile(
        Owner::ReadData, FileDialogSpec{text::kSaveFileTitle, text::kMotFilterLabel,
                                        text::kMotPattern, text::kMotDefaultExtension});
    if (!chosen || chosen->empty())
        return;
    if (SaveReadData(m_prompts, *chosen, m_range.start, m_data) != SaveResult::Saved)
        return;
    m_dataSaved = true;
    m_view->SetStatusText(text::kReadDataSavedStatus);
    m_view->ShowStatus(true);
    m_view->SetButtonIcon(IDI_SAVED);
    Ask(text::kReadDataSaved, text::kCaptionInfo, MsgIcon::None, MsgButtons::Ok);
}

}  // namespace o8r
