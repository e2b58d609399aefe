#include "operations/ReadSession.h"

#include <filesystem>
#include <system_error>

#include "app/Ids.h"
#include "app/Messages.h"
#include "app/SharedState.h"
#include "srec/SRecordWriter.h"

namespace o8r {

namespace {

constexpr std::uint8_t kCmdReadPage = 0x52;  // 'R'
// A page request may keep CTS high for this many ticks of 15.625 ms.
constexpr std::uint64_t kPageTicks = 50;
// The short reset pulse that tells the box the read is over.
constexpr std::uint64_t kEndPulsePause = 10'000;

char HexDigit(unsigned value) {
    return "0123456789ABCDEF"[value & 0xF];
}

std::string HexByte(std::uint8_t value) {
    return {HexDigit(value >> 4), HexDigit(value)};
}

// " 0" + four digits of the row index + "0": the row address in six digits.
std::string RowLabel(std::uint16_t rowIndex) {
    std::string label = " 0";
    for (int shift = 12; shift >= 0; shift -= 4)
        label += HexDigit(rowIndex >> shift);
    label += '0';
    return label;
}

// Whether anything (a file, a directory, a dangling link) already has this name.
bool PathTaken(const std::string& path) {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path, ec));
}

}  // namespace

ReadSession::ReadSession(Bridge& bridge, Clock& clock, Prompts& prompts)
    : m_bridge(bridge), m_clock(clock), m_prompts(prompts) {}

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

void ReadSession::OnTimer(int timerId) {
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
    if (static_cast<std::uint32_t>(g_currentPage) > (g_rangeEnd >> 8)) {
        StopReadTimer();
        m_bridge.SetFlowControl(g_hDevice, 0, 0, 1, 0, 0, false);
        m_clock.Pause(kEndPulsePause);
        m_bridge.SetFlowControl(g_hDevice, 0, 0, 0, 0, 0, false);
        m_view->SetButtonIcon(IDI_SAVE);
        Ask(text::kReadCompleted, text::kCaptionInfo, MsgIcon::None, MsgButtons::Ok);
        m_view->SetStatusText(text::kReadCompleted);
        m_view->ShowStatus(true);
        m_view->ShowProgress(false);
        m_readFinished = true;
        return;
    }
    const std::uint8_t command = kCmdReadPage;
    const std::uint8_t page[2] = {static_cast<std::uint8_t>(g_currentPage & 0xFF),
                                  static_cast<std::uint8_t>(g_currentPage >> 8)};
    std::uint32_t written = 0;
    m_bridge.Write(g_hDevice, &command, 1, written);
    m_bridge.Write(g_hDevice, page, 2, written);
    m_deadline = m_clock.Now() + kPageTicks * kTickAllowanceNs;
    m_pageRequested = true;
}

void ReadSession::ReceivePage() {
    std::uint8_t status = kModemCts;  // a query that writes nothing reads as busy
    m_bridge.GetModemStatus(g_hDevice, status);
    if (status & kModemCts) {
        if (m_clock.Now() >= m_deadline)
            EndWithTimeOut();
        return;
    }
    m_pageRequested = false;
    std::array<std::uint8_t, kPageSize> page{};
    std::uint32_t got = 0;
    const BridgeStatus result =
        m_bridge.Read(g_hDevice, page.data(), static_cast<std::uint32_t>(page.size()), got);
    // A page that does not arrive whole is never shown as if it had: the box
    // has stopped answering, which is what a time-out reports.
    if (result != kBridgeOk || got != page.size()) {
        EndWithTimeOut();
        return;
    }
    AddPageRows(page.data());
    ++g_currentPage;
    if (g_rangePageCount != 0) {
        const int received = g_currentPage - static_cast<int>(g_rangeStart >> 8);
        m_view->SetProgress(received * 100 / g_rangePageCount);
    }
}

void ReadSession::AddPageRows(const std::uint8_t* page) {
    const std::uint32_t start = g_rangeStart;
    const std::uint32_t end = g_rangeEnd;
    const std::uint32_t pageNumber = g_currentPage;
    const bool firstPage = pageNumber == (start >> 8);
    const bool lastPage = pageNumber == (end >> 8);

    unsigned firstRow = 0;
    unsigned lastRow = 15;
    if (firstPage)
        firstRow = (start >> 4) & 0xF;
    if (lastPage)
        lastRow = (end >> 4) & 0xF;
    auto rowIndex = static_cast<std::uint16_t>(pageNumber * 16 + firstRow);

    const std::size_t firstChanged = m_rows.size();
    for (unsigned r = firstRow; r <= lastRow; ++r, ++rowIndex) {
        ReadRow row;
        row[0] = RowLabel(rowIndex);
        for (unsigned k = 0; k < 16; ++k)
            row[k + 1] = HexByte(page[r * 16 + k]);
        m_rows.push_back(std::move(row));
    }
    // Bytes outside the range stay blank: before the start in the first row,
    // after the end in the last.
    if (firstPage) {
        for (unsigned k = 1; k <= (start & 0xF); ++k)
            m_rows.front()[k].clear();
    }
    if (lastPage) {
        for (unsigned k = (end & 0xF) + 2; k <= 16; ++k)
            m_rows.back()[k].clear();
    }
    m_view->RowsChanged(firstChanged);
}

void ReadSession::EndWithTimeOut() {
    StopReadTimer();
    Ask(text::kReadTimeOut, text::kCaptionError, MsgIcon::Error, MsgButtons::Ok);
    m_closed = true;
    m_view->Close(IDOK);
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
    m_view->Close(IDCANCEL);
}

void ReadSession::Save() {
    if (m_rows.empty()) {
        Ask(text::kNoDataToSave, text::kCaptionWarning, MsgIcon::Exclamation, MsgButtons::Ok);
        return;
    }
    const auto chosen = m_prompts.ChooseSaveFile(
        Owner::ReadData, FileDialogSpec{text::kSaveFileTitle, text::kMotFilterLabel,
                                        text::kMotPattern, text::kMotDefaultExtension});
    if (!chosen || chosen->empty())
        return;
    const std::string& path = *chosen;
    if (PathTaken(path) && Ask(text::kOverwriteQuestion, text::kCaptionWarning,
                               MsgIcon::Exclamation, MsgButtons::YesNo) != MsgAnswer::Yes) {
        return;
    }
    // The old file stays as it was until the new one is complete.
    if (!WriteFileReplacing(path, BuildSRecordFile(m_rows, g_rangeStart))) {
        Ask(std::string(text::kCanNotSaveFile) + path, text::kCaptionError, MsgIcon::Error,
            MsgButtons::Ok);
        return;
    }
    m_dataSaved = true;
    m_view->SetStatusText(text::kReadDataSavedStatus);
    m_view->ShowStatus(true);
    m_view->SetButtonIcon(IDI_SAVED);
    Ask(text::kReadDataSaved, text::kCaptionInfo, MsgIcon::None, MsgButtons::Ok);
}

}  // namespace o8r
