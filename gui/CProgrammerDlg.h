#pragma once

// The main window (template 102): five icon command buttons with their labels,
// the MCU tree, the property list, the status line, the progress bar and the
// background picture. ProgrammerController decides everything; this window
// shows what it is told and passes on what the user does.

#include <QDialog>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "core/window/MainView.h"
#include "core/window/ProgrammerController.h"
#include "gui/QtBusyClock.h"
#include "gui/QtWindowTimers.h"

class QAction;
class QLabel;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QTreeWidget;

namespace o8r {

class OperatorWindow;
class QtPicture;
class QtPrompts;

class CProgrammerDlg : public QDialog, public MainView {
    Q_OBJECT

  public:
    // `programDirectory` is where MCUType.mcu is read from. With a VirtualClock
    // the window timers run on virtual time (see QtWindowTimers).
    CProgrammerDlg(Bridge& bridge, Clock& clock, QtPrompts& prompts, std::string programDirectory,
                   QWidget* parent = nullptr);
    ~CProgrammerDlg() override;

    // The window's initialisation: the catalogue into the tree, then the
    // programmer poll. Runs once; call it before the window is used.
    void InitDialog();
    // The catalogue found at start-up; without it MCUType.mcu in the program directory.
    void SetCataloguePath(std::string path) { m_cataloguePath = std::move(path); }

    ProgrammerController& Controller() { return m_controller; }
    QtWindowTimers& Timers() { return m_timers; }
    QtBusyClock& BusyClock() { return m_busyClock; }
    // A control by its id (1001 to 1005, 1020, 1023, 1024, 1027 to 1033).
    // By resource number, as the window's own tables hold them.
    QWidget* Control(int id) const;
    QPushButton* Button(int id) const;
    QLabel* Label(int id) const;
    int ButtonIcon(int id) const;
    QWidget* Control(ControlId id) const { return Control(IdNumber(id)); }
    QPushButton* Button(ControlId id) const { return Button(IdNumber(id)); }
    QLabel* Label(ControlId id) const { return Label(IdNumber(id)); }
    QTreeWidget* Tree() const { return m_tree; }
    QTreeWidget* List() const { return m_list; }
    QProgressBar* ProgressBar() const { return m_progress; }
    // The icon resource last put on a command button.
    IconId ButtonIcon(ControlId id) const { return static_cast<IconId>(ButtonIcon(IdNumber(id))); }

    // MainView
    void ShowControl(ControlId id, bool show) override;
    void EnableControl(ControlId id, bool enable) override;
    void SetControlText(ControlId id, const std::string& text) override;
    void SetButtonIcon(ControlId id, IconId icon) override;
    void SetProgress(int percent) override;
    int Progress() const override;
    void StartTimer(TimerId timerId, int periodMs) override;
    void StopTimer(TimerId timerId) override;
    void FillMcuTree(const std::vector<McuTreeGroup>& groups) override;
    void SetUpMcuListColumns() override;
    void SetMcuListRows(const std::vector<McuListRow>& rows) override;
    void SetBusy(bool busy) override;
    void CloseWindow() override;

    // Makes the bridge of a box a job names ("sim:2", a port), or nullptr with
    // the reason. A job of one unnamed box runs on the window's own bridge.
    using BoxMaker =
        std::function<std::unique_ptr<Bridge>(const std::string& name, std::string& error)>;
    void SetBoxMaker(BoxMaker maker) { m_boxMaker = std::move(maker); }
    // File > Open job: reads, checks and plans the job, then runs the operator
    // view over its boxes until the user leaves it. False (after a message)
    // when the job cannot run.
    bool OpenJobFile(const std::string& path);
    // Called with the operator view once it is built, before it runs (tests).
    void SetOperatorViewHook(std::function<void(OperatorWindow&)> hook) {
        m_operatorViewHook = std::move(hook);
    }
    QWidget* Client() const { return m_client; }
    QMenuBar* MenuBar() const { return m_menuBar; }

    // Ends the window at once, a running operation with it (on a signal).
    void CloseWithoutAsking();

  protected:
    // Escape and the close box release the programmer, then end the window;
    // while an operation runs they ask first.
    void reject() override;
    // Enter does nothing here: the window has no default command.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void CreateControls();
    void OnTreeSelectionChanged();
    void OnListClick();
    void OnListDoubleClick();
    int FirstSelectedListRow() const;
    void RefreshToolTip(int buttonId);
    void ReleaseLink();
    void ChooseJob();
    void ShowJobProblem(const std::string& text);
    void ResumeAfterJob();

    QtWindowTimers m_timers;
    QtBusyClock m_busyClock;
    ProgrammerController m_controller;
    std::string m_programDirectory;
    std::string m_cataloguePath;
    bool m_initialised = false;
    bool m_linkReleased = false;
    bool m_busyCursor = false;
    Bridge& m_bridge;
    QtPrompts& m_prompts;
    BoxMaker m_boxMaker;
    std::function<void(OperatorWindow&)> m_operatorViewHook;
    OperatorWindow* m_operatorView = nullptr;
    QWidget* m_client = nullptr;
    QMenuBar* m_menuBar = nullptr;
    QAction* m_openJob = nullptr;

    std::map<int, QWidget*> m_controls;
    std::map<int, int> m_buttonIcons;
    QtPicture* m_picture = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_status = nullptr;
    QTreeWidget* m_tree = nullptr;
    QTreeWidget* m_list = nullptr;
};

}  // namespace o8r
