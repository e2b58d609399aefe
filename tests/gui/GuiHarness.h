#pragma once

// The desktop program's main window over a simulated box, both on one virtual
// clock, with a person's part scripted: message boxes answered from a list, a
// file chooser that returns the paths given, and a hook that drives each
// dialog's real widgets once the dialog is up.

#include <QDialog>
#include <QString>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "core/link/TracingBridge.h"
#include "core/operations/Prompts.h"
#include "core/protocol/Clock.h"
#include "gui/CProgrammerDlg.h"
#include "gui/QtPrompts.h"
#include "sim/SimulatedBox.h"
#include "support/ScratchDir.h"

class QSettings;

class QTreeWidgetItem;

namespace o8r::test {

struct ChosenFile {
    FileDialogSpec spec;
    Owner owner;
    bool forSaving;
};

class GuiHarness {
  public:
    // Starts from the shared state of a fresh process.
    explicit GuiHarness(SimOptions options = SimOptions{});
    ~GuiHarness();
    GuiHarness(const GuiHarness&) = delete;
    GuiHarness& operator=(const GuiHarness&) = delete;

    // No box attached until Plug().
    static SimOptions Unplugged();

    // Settings of this harness alone (the remembered folders of the file dialogs).
    ScratchDir settingsDir;
    std::unique_ptr<QSettings> SettingsFile() const;

    VirtualClock clock;
    SimulatedBox box;
    // The window reaches the box through this, one trace line per call.
    std::ostringstream trace;
    TracingBridge bridge{box, trace};
    QtPrompts prompts;

    // Every message box, in order, and the answers to Yes/No boxes (No when
    // none is left).
    std::vector<Message> messages;
    std::deque<MsgAnswer> answers;
    std::function<void(const Message&)> onMessage;
    // Paths the file choosers return; none left = the dialog was cancelled.
    std::deque<std::optional<std::string>> chosenFiles;
    std::vector<ChosenFile> fileDialogs;
    // Runs inside each dialog's modal loop. If it leaves the dialog open after
    // a failed check, the harness closes it so that no test hangs.
    std::function<void(QDialog&)> onDialog;

    // Builds the window, shows it and runs its initialisation with the
    // catalogue in `directory` (the one next to the built programs by default).
    CProgrammerDlg& Open(const std::string& directory = "");
    CProgrammerDlg& Window() { return *m_window; }
    // Opens the window, plugs the box in and chooses a part; true when all went.
    bool OpenWithPart(const QString& series, const QString& part);

    // Spins the event loop, and so the timers on virtual time, until `done`
    // holds; false when it still does not after `realMs` of real time.
    static bool WaitFor(const std::function<bool()>& done, int realMs = 20000);
    // Lets `ns` of virtual time pass with the window's timers running.
    bool RunFor(std::uint64_t ns);
    // Waits for the next message box with this text; true when it came.
    bool WaitForMessage(const std::string& text, int realMs = 20000);

    // Plugs the box in and waits until the poll has noticed it.
    bool PlugBox();
    // A click on a series in the MCU tree, then one on a part in the list.
    bool SelectSeries(const QString& series);
    bool ClickPart(const QString& part);
    bool DoubleClickPart(const QString& part);
    bool SelectPart(const QString& series, const QString& part);
    // A mouse click on a command button.
    void Click(ControlId buttonId);

    bool Shown(ControlId id) const;
    bool Enabled(ControlId id) const;
    QString Text(ControlId id) const;
    std::vector<std::string> Texts() const;
    std::vector<std::string> TraceLines() const;

  private:
    QTreeWidgetItem* FindListItem(const QString& part) const;

    std::unique_ptr<CProgrammerDlg> m_window;
};

// A double click as the platform delivers it: press, release, press, double
// click, release.
void DoubleClickAt(QWidget* widget, const QPoint& at);

// Saves a picture of `widget` as <name>: in docs/ of the source tree with
// O8R_UPDATE_DOCS=1, else in screenshots/ of the build tree.
bool SaveScreenshot(QWidget& widget, const std::string& name);

}  // namespace o8r::test
