#pragma once

// What the core asks of the main window: its controls by id, its timers, the
// MCU tree and property list. The desktop program maps these to widgets, the
// tests and benchmarks to a recording fake.

#include <string>
#include <vector>

#include "core/catalogue/Catalogue.h"
#include "core/model/Ids.h"

namespace o8r {

class MainView {
  public:
    virtual ~MainView() = default;

    virtual void ShowControl(ControlId id, bool show) = 0;
    virtual void EnableControl(ControlId id, bool enable) = 0;
    virtual void SetControlText(ControlId id, const std::string& text) = 0;
    virtual void SetButtonIcon(ControlId id, IconId icon) = 0;
    // The progress bar, range 0 to 100.
    virtual void SetProgress(int percent) = 0;
    virtual int Progress() const = 0;

    virtual void StartTimer(TimerId timerId, int periodMs) = 0;
    virtual void StopTimer(TimerId timerId) = 0;

    virtual void FillMcuTree(const std::vector<McuTreeGroup>& groups) = 0;
    // Inserts the property list's two columns (empty headings, 100 pixels each).
    virtual void SetUpMcuListColumns() = 0;
    virtual void SetMcuListRows(const std::vector<McuListRow>& rows) = 0;

    // The window waits for the box and takes no clicks (a busy cursor).
    virtual void SetBusy(bool /*busy*/) {}
    // Ends the window as its close box does, once the running handler has returned.
    virtual void CloseWindow() {}
};

}  // namespace o8r
