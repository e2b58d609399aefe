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

ReadSession::ReadSession(BoxSession& session, Prompts& prompts, const AddressRange& range)
    : m_session(session), m_clock(session.Link().GetClock()), m_prompts(prompts), m_range(range) {}

void ReadSession::Open(ReadView& view) {
    m_view = &view;
    m_session.SetListener(this);
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
    // The ending comes back through Finished.
    (void)m_session.Step();
}

void ReadSession::Progress(int percent) {
    // Rows for the bytes of the page just read; a page that did not arrive
    // whole is never shown as if it had.
    const std::vector<std::uint8_t>& data = m_session.Result().data;
    if (data.size() > m_data.size()) {
        const std::size_t firstNew = m_data.size();
        m_data.insert(m_data.end(), data.begin() + static_cast<std::ptrdiff_t>(firstNew),
                      data.end());
        const std::size_t firstChanged = m_rows.size();
        AppendReadRows(m_rows, m_range.start, m_data, firstNew);
        m_view->RowsChanged(firstChanged);
    }
    m_view->SetProgress(percent);
}

void ReadSession::Finished(const OperationResult& result) {
    StopReadTimer();
    switch (result.outcome) {
        case Outcome::Completed:
            m_view->SetButtonIcon(IDI_SAVE);
            for (const Message& message : MessagesFor(result))
                m_prompts.ShowMessage(message);
            m_view->SetStatusText(text::kReadCompleted);
            m_view->ShowStatus(true);
            m_view->ShowProgress(false);
            m_readFinished = true;
            break;
        case Outcome::Cancelled:
            // What was read stays, to be saved.
            m_view->SetStatusText(text::kReadCanceled);
            m_view->ShowStatus(true);
            m_view->ShowProgress(false);
            m_view->SetButtonIcon(IDI_SAVE);
            m_readFinished = true;
            break;
        default:
            // The box has stopped answering.
            for (const Message& message : MessagesFor(result))
                m_prompts.ShowMessage(message);
            m_closed = true;
            m_view->Close(DialogResult::Ok);
            break;
    }
}

bool ReadSession::ConfirmCancelReading() {
    StopReadTimer();
    m_stoppedAt = m_clock.Now();
    if (Ask(text::kCancelReadingQuestion, text::kCaptionWarning, MsgIcon::Question,
            MsgButtons::YesNo) == MsgAnswer::Yes) {
        return true;
    }
    // The question's time does not count against the outstanding request.
    m_session.DiscountWait(m_clock.Now() - m_stoppedAt);
    StartReadTimer();
    return false;
}

void ReadSession::OnButton() {
    if (m_view == nullptr || m_closed)
        return;
    if (!m_readFinished) {
        if (ConfirmCancelReading())
            (void)m_session.Cancel();
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
        (void)m_session.Cancel();
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
                        std::span<const std::uint8_t> data, std::optional<ImageFormat> format) {
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
    if (std::string reason; !WriteFileReplacing(
            path, BuildImageFile(format.value_or(SaveFormatFor(path)), start, data), &reason))
        return refuse(reason);
    return SaveResult::Saved;
}

void ReadSession::Save() {
    if (m_data.empty()) {
        Ask(text::kNoDataToSave, text::kCaptionWarning, MsgIcon::Exclamation, MsgButtons::Ok);
        return;
    }
    const auto chosen = m_prompts.ChooseSaveFile(
        Owner::ReadData,
        FileDialogSpec{text::kSaveFileTitle,
                       text::kMotFilterLabel,
                       text::kMotPattern,
                       text::kMotDefaultExtension,
                       {{text::kIntelHexFilterLabel, text::kIntelHexPattern, ".hex"},
                        {text::kBinaryFilterLabel, text::kBinaryPattern, ".bin"}},
                       FileKind::ReadData});
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
