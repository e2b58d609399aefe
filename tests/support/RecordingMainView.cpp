#include "support/RecordingMainView.h"

#include <stdexcept>

#include "core/model/Ids.h"

namespace o8r::test {

namespace {

struct InitialControl {
    ControlId id;
    bool shown;
    bool enabled;
    const char* text;
};

constexpr InitialControl kInitialControls[] = {
    {IDC_PROGRAM, false, true, ""},
    {IDC_PROGRAM_LABEL, false, true, "Program"},
    {IDC_ERASE, false, true, ""},
    {IDC_READ, false, true, ""},
    {IDC_ERASE_LABEL, false, true, "Erase"},
    {IDC_BLANK_CHECK_LABEL, false, true, "Blank Check"},
    {IDC_BLANK_CHECK, false, true, ""},
    {IDC_READ_LABEL, false, true, "Read"},
    {IDC_PROGRESS, false, true, ""},
    {IDC_STATUS, true, true, ""},
    {IDC_LOAD, false, true, ""},
    {IDC_LOAD_LABEL, false, true, "Load"},
    {IDC_MCU_LIST, true, false, ""},
    {IDC_MCU_TREE, false, true, ""},
    {IDC_PICTURE, true, true, ""},
};

}  // namespace

RecordingMainView::RecordingMainView() {
    for (const auto& c : kInitialControls) {
        m_controls[c.id] = ControlState{c.shown, c.enabled, c.text, IconId{}};
    }
}

RecordingMainView::RecordingMainView(Clock& clock) : RecordingMainView() {
    timers = TimerSchedule(clock);
}

ControlState& RecordingMainView::Mutable(ControlId id) {
    auto it = m_controls.find(id);
    if (it == m_controls.end()) {
        throw std::out_of_range("the main window has no control " + std::to_string(IdNumber(id)));
    }
    return it->second;
}

const ControlState& RecordingMainView::Control(ControlId id) const {
    auto it = m_controls.find(id);
    if (it == m_controls.end()) {
        throw std::out_of_range("the main window has no control " + std::to_string(IdNumber(id)));
    }
    return it->second;
}

std::string RecordingMainView::StatusText() const {
    return Text(IDC_STATUS);
}

void RecordingMainView::ShowControl(ControlId id, bool show) {
    Mutable(id).shown = show;
    log.push_back("show " + std::to_string(IdNumber(id)) + (show ? " 1" : " 0"));
}

void RecordingMainView::EnableControl(ControlId id, bool enable) {
    Mutable(id).enabled = enable;
    log.push_back("enable " + std::to_string(IdNumber(id)) + (enable ? " 1" : " 0"));
}

void RecordingMainView::SetControlText(ControlId id, const std::string& text) {
    Mutable(id).text = text;
    log.push_back("text " + std::to_string(IdNumber(id)) + " " + text);
}

void RecordingMainView::SetButtonIcon(ControlId id, IconId icon) {
    Mutable(id).icon = icon;
    log.push_back("icon " + std::to_string(IdNumber(id)) + " " + std::to_string(IdNumber(icon)));
}

void RecordingMainView::SetProgress(int percent) {
    // The bar's range is 0 to 100; it clamps whatever it is given.
    m_progress = percent < 0 ? 0 : (percent > 100 ? 100 : percent);
    progressHistory.push_back(percent);
    log.push_back("progress " + std::to_string(percent));
}

void RecordingMainView::StartTimer(TimerId timerId, int periodMs) {
    timers.Start(timerId, periodMs);
    log.push_back("start " + std::to_string(IdNumber(timerId)) + " " + std::to_string(periodMs));
}

void RecordingMainView::StopTimer(TimerId timerId) {
    timers.Stop(timerId);
    log.push_back("stop " + std::to_string(IdNumber(timerId)));
}

void RecordingMainView::FillMcuTree(const std::vector<McuTreeGroup>& groups) {
    tree = groups;
    log.push_back("tree " + std::to_string(groups.size()));
}

void RecordingMainView::SetUpMcuListColumns() {
    listColumnsSetUp = true;
    log.push_back("columns");
}

void RecordingMainView::SetMcuListRows(const std::vector<McuListRow>& rows) {
    listRows = rows;
    log.push_back("rows " + std::to_string(rows.size()));
}

void RecordingMainView::SetBusy(bool on) {
    busy = on;
    log.push_back(std::string("busy ") + (on ? "1" : "0"));
}

void RecordingMainView::CloseWindow() {
    ++closeRequests;
    log.push_back("close");
}

}  // namespace o8r::test
