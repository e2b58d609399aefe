// Load: the image goes into the box's own store with its name and the ID code,
// after the box has said which file it holds already.

#include <array>
#include <optional>
#include <string>

#include "app/Ids.h"
#include "app/Messages.h"
#include "app/ProgrammerController.h"
#include "app/SharedState.h"

namespace o8r {

namespace {

constexpr std::int32_t kStoreRecordTicks = 50;
constexpr std::size_t kStoredNameSize = 16;

// The name of the file in the box's store, or nothing when the store is
// empty. An answer that came short is taken for an empty store.
std::optional<std::string> StoredFileName(const std::uint8_t* answer, std::uint32_t got) {
    if (got != kStoredNameSize)
        return std::nullopt;
    std::string name;
    for (std::size_t i = 0; i < kStoredNameSize; ++i) {
        if (answer[i] >= 0x80)
            return std::nullopt;
        name += static_cast<char>(answer[i]);
    }
    const auto last = name.find_last_not_of(' ');
    name.erase(last == std::string::npos ? 0 : last + 1);
    return name;
}

}  // namespace

void ProgrammerController::OnLoadButton() {
    if (m_bUpdateMode) {
        RunFirmwareUpdate();
    } else if (m_operationRunning) {
        CancelLoad();
    } else {
        StartLoad();
    }
}

void ProgrammerController::StartLoad() {
    if (g_selectedMcu.empty()) {
        ShowMessage(text::kNoMcuSelected, text::kCaptionWarning, MsgIcon::Exclamation);
        return;
    }
    if (!ConfigureLine(500000)) {
        ShowMessage(text::kCanNotOpenTarget, text::kCaptionError, MsgIcon::Error);
        return;
    }
    m_clock.Pause(10'000);
    if (!WaitBoxReady(100)) {
        FailAfterReset(text::kTimeOutError);
        return;
    }
    m_clock.Pause(10'000);
    const std::uint8_t query = '?';
    if (!WriteExactly(&query, 1)) {
        ShowMessage(text::kConnectionBroken, text::kCaptionError, MsgIcon::None);
        return;
    }
    m_clock.Pause(100'000);
    if (!WaitBoxReady(2000)) {
        FailAfterReset(text::kTimeOutError);
        return;
    }
    std::array<std::uint8_t, kStoredNameSize> answer{};
    std::uint32_t got = 0;
    if (m_bridge.Read(g_hDevice, answer.data(), static_cast<std::uint32_t>(answer.size()), got) !=
        kBridgeOk) {
        got = 0;
    }
    if (auto stored = StoredFileName(answer.data(), got)) {
        const MsgAnswer reply =
            m_prompts.ShowMessage(Message{text::StoredFileQuestion(*stored), text::kCaptionInfo,
                                          MsgIcon::Question, MsgButtons::YesNo, Owner::MainWindow});
        if (reply != MsgAnswer::Yes) {
            ResetProgrammer();
            return;
        }
    }

    m_operationType = OP_LOAD;
    m_progressPercent = 0;
    if (!SelectAndLoadFile()) {
        ResetProgrammer();
        return;
    }
    if (!ConnectProgrammer()) {
        ResetProgrammer();
        return;
    }
    EnableCommandButtons(false);
    m_view.EnableControl(IDC_LOAD, true);
    m_view.EnableControl(IDC_LOAD_LABEL, true);
    m_operationRunning = true;
    m_view.SetButtonIcon(IDC_LOAD, IDI_CANCEL);
    m_view.SetControlText(IDC_LOAD_LABEL, text::kLabelCancel);
    m_view.ShowControl(IDC_PROGRESS, true);
    m_view.ShowControl(IDC_STATUS, false);
    StartOperationTimer();
}

void ProgrammerController::CancelLoad() {
    if (AskToCancel(text::kCancelLoadingQuestion) != MsgAnswer::Yes)
        return;
    ResetProgrammer();
    ShowMessage(
        text::CanceledText(text::kLoadingCanceled, m_progressPercent, text::kPercentFinished),
        text::kCaptionInfo, MsgIcon::None);
}

void ProgrammerController::LoadStep() {
    if (m_pageIndex >= PageRecordCount()) {
        EndWithMessage(text::kLoadCompleted, text::kCaptionInfo, MsgIcon::None, false);
        return;
    }
    SendPageRecord(false, kStoreRecordTicks);
}

}  // namespace o8r
