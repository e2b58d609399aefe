// The Update button in firmware-update mode: the new firmware is chosen and
// loaded, then written through the box's loader while the window shows where
// it stands.

#include "core/model/Ids.h"
#include "core/model/Messages.h"
#include "core/operations/LoaderExchange.h"
#include "core/window/ProgrammerController.h"
#include "core/window/SharedState.h"

namespace o8r {

void ProgrammerController::RunFirmwareUpdate() {
    if (!m_link.ConfigureLine(kLoaderBaud)) {
        ShowOutcome(Operation::Update, Outcome::UpdateLineSetupFailed);
        return;
    }
    if (!SelectAndLoadFile()) {
        m_view.EnableControl(IDC_LOAD, true);
        m_view.EnableControl(IDC_LOAD_LABEL, true);
        return;
    }

    LoaderCallbacks callbacks;
    callbacks.erasing = [this] { m_view.SetControlText(IDC_STATUS, text::kStatusWaitErasing); };
    callbacks.programming = [this] {
        m_view.ShowControl(IDC_STATUS, false);
        m_view.ShowControl(IDC_PROGRESS, true);
    };
    callbacks.progress = [this](int percent) { m_view.SetProgress(percent); };
    const Outcome outcome = RunLoaderExchange(m_link, g_state.image, callbacks);
    if (outcome != Outcome::Completed) {
        UpdateFailed(outcome);
        return;
    }

    m_view.SetProgress(100);
    ShowOutcome(Operation::Update, Outcome::Completed);
    m_view.SetProgress(0);
    m_view.ShowControl(IDC_PROGRESS, false);
    m_view.SetControlText(IDC_STATUS, text::kStatusUpdateCompleted);
    m_view.ShowControl(IDC_STATUS, true);
    m_view.EnableControl(IDC_LOAD, true);
    m_view.EnableControl(IDC_LOAD_LABEL, true);
}

void ProgrammerController::UpdateFailed(Outcome outcome) {
    OperationResult result;
    result.operation = Operation::Update;
    result.outcome = outcome;
    std::vector<Message> messages = MessagesFor(result);
    if (!messages.empty())
        messages.back().text += std::string("\n") + text::kReplugAfterUpdate;
    for (const Message& message : messages)
        m_prompts.ShowMessage(message);

    // The start view: the picture and an empty status line, nothing to press.
    // The handle is closed (the loader is not reset); unplugged and plugged in
    // again, the box is found anew by the poll.
    ShowCommandButtons(0);
    m_view.ShowControl(IDC_PICTURE, true);
    m_view.ShowControl(IDC_PROGRESS, false);
    m_view.SetProgress(0);
    m_view.SetControlText(IDC_STATUS, "");
    m_view.ShowControl(IDC_STATUS, true);
    m_view.ShowControl(IDC_MCU_TREE, false);
    m_view.ShowControl(IDC_MCU_LIST, false);
    m_link.CloseHandle();
}

}  // namespace o8r
