#include "core/window/ProgrammerController.h"

#include "core/catalogue/Catalogue.h"
#include "core/catalogue/CatalogueLocation.h"
#include "core/model/Ids.h"
#include "core/model/Messages.h"
#include "core/operations/AddressRangeEntry.h"
#include "core/operations/IdCodeEntry.h"
#include "core/window/SharedState.h"

namespace o8r {

namespace {

// The five command buttons and their labels, in the order the window switches them.
constexpr ControlId kCommandControls[] = {
    IDC_PROGRAM,       IDC_ERASE,       IDC_READ,       IDC_LOAD,       IDC_BLANK_CHECK,
    IDC_PROGRAM_LABEL, IDC_ERASE_LABEL, IDC_READ_LABEL, IDC_LOAD_LABEL, IDC_BLANK_CHECK_LABEL};

}  // namespace

ProgrammerController::ProgrammerController(Bridge& bridge, Clock& clock, MainView& view,
                                           Prompts& prompts)
    : m_bridge(bridge),
      m_clock(clock),
      m_session(bridge, clock, &g_state.image),
      m_link(m_session.Link()),
      m_view(view),
      m_prompts(prompts) {}

void ProgrammerController::OnInitDialog(const std::string& programDirectory,
                                        const std::string& cataloguePath) {
    m_view.SetButtonIcon(IDC_PROGRAM, IDI_PROGRAM);
    m_view.SetButtonIcon(IDC_ERASE, IDI_ERASE);
    m_view.SetButtonIcon(IDC_READ, IDI_READ);
    m_view.SetButtonIcon(IDC_LOAD, IDI_LOAD);
    m_view.SetButtonIcon(IDC_BLANK_CHECK, IDI_BLANK_CHECK);

    std::string directory = programDirectory;
    if (!directory.empty() && directory.back() != '/' && directory.back() != '\\') {
        directory += '/';
    }
    g_cataloguePath = cataloguePath.empty() ? directory + kCatalogueFileName : cataloguePath;

    if (const CatalogueRead file = ReadCatalogueFile(g_cataloguePath);
        file.error == CatalogueFileError::None) {
        m_view.FillMcuTree(BuildMcuTree(file.lines));
        m_view.SetUpMcuListColumns();
    } else {
        ShowMessage(CatalogueFileProblem(file.error, g_cataloguePath), text::kCaptionError,
                    MsgIcon::Error);
    }
    m_view.StartTimer(TIMER_DEVICE_POLL, 200);
}

void ProgrammerController::OnTimer(TimerId timerId) {
    if (timerId == TIMER_DEVICE_POLL) {
        PollProgrammer();
    } else if (timerId == TIMER_OPERATION) {
        OnOperationTimer();
    }
}

void ProgrammerController::OnTreeSelectionChanged(const std::string& itemText) {
    // The part chosen goes with the list that showed it: after a switch of
    // series nothing is selected until a part of the new list is clicked, and
    // the status line asks for that click.
    g_selectedMcu.clear();
    SetMemoryMap(MemoryMap{});
    m_listRows.clear();
    m_view.SetMcuListRows(m_listRows);
    const CatalogueRead file = ReadCatalogueFile(g_cataloguePath);
    if (file.error != CatalogueFileError::None) {
        ShowMessage(CatalogueFileProblem(file.error, g_cataloguePath), text::kCaptionError,
                    MsgIcon::Error);
        return;
    }
    TreeItemRows found = RowsForTreeItem(file.lines, itemText);
    if (found.listEnabled)
        m_view.EnableControl(IDC_MCU_LIST, *found.listEnabled);
    m_listRows = std::move(found.rows);
    m_view.SetMcuListRows(m_listRows);
    m_view.SetControlText(IDC_STATUS, text::kStatusClickList);
}

void ProgrammerController::OnListClick(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= m_listRows.size())
        return;
    g_selectedMcu = m_listRows[static_cast<std::size_t>(row)].part;
    m_view.SetControlText(IDC_STATUS, text::SelectedStatus(g_selectedMcu));
    // Without the file, or without the part in it, the map stays empty and
    // refuses every address.
    SetMemoryMap(MemoryMap{});
    auto lines = ReadCatalogueLines(g_cataloguePath);
    if (!lines)
        return;
    if (auto map = MemoryMapForPart(*lines, g_selectedMcu))
        SetMemoryMap(*map);
}

void ProgrammerController::OnListDoubleClick(int row) {
    if (row < 0 || static_cast<std::size_t>(row) >= m_listRows.size())
        return;
    g_selectedMcu = m_listRows[static_cast<std::size_t>(row)].part;
    m_view.SetControlText(IDC_STATUS, text::SelectedStatus(g_selectedMcu));
    g_idCode.fill(0xFF);
    IdCodeEntry dialog(m_prompts, g_idCode);
    m_prompts.RunIdCodeDialog(dialog);
}

void ProgrammerController::TakeRange(const AddressRangeEntry& dialog) {
    g_rangeStart = dialog.Start();
    g_rangeEnd = dialog.End();
    g_rangePageCount = dialog.PageCount();
}

void ProgrammerController::EnableCommandButtons(bool enable) {
    for (ControlId id : kCommandControls)
        m_view.EnableControl(id, enable);
}

void ProgrammerController::ShowCommandButtons(int show) {
    for (ControlId id : kCommandControls)
        m_view.ShowControl(id, show != 0);
}

void ProgrammerController::ShowMessage(const std::string& text, const std::string& caption,
                                       MsgIcon icon, MsgButtons buttons) {
    m_prompts.ShowMessage(Message{text, caption, icon, buttons, Owner::MainWindow});
}

void ProgrammerController::ShowResult(const OperationResult& result) {
    for (const Message& message : MessagesFor(result))
        m_prompts.ShowMessage(message);
}

void ProgrammerController::ShowOutcome(Operation operation, Outcome outcome) {
    OperationResult result;
    result.operation = operation;
    result.outcome = outcome;
    ShowResult(result);
}

}  // namespace o8r
