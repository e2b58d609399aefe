#pragma once

// The operator view of a production job: the job's name, part, image and
// checksum (its first eight digits large, to compare with the traveller), the
// next serial number, one large Start (also Space, Enter and F5, so that a
// foot switch that types a key works), a tile per box with its progress and
// a PASS or failure banner, the counters and the last records of the job's
// log. The job cannot be changed here; the view is left only through its
// Job menu, never by a stray key or the close box.

#include <QColor>
#include <QDialog>
#include <memory>
#include <vector>

#include "core/protocol/Bridge.h"
#include "core/window/JobBoards.h"
#include "core/window/OperatorController.h"
#include "gui/QtWindowTimers.h"

class QAction;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace o8r {

// A job ready to run: the job, its boxes' bridges (owned or lent) and the
// controller over them.
struct OperatorSetup {
    std::unique_ptr<PlannedJob> job;
    std::vector<std::unique_ptr<Bridge>> ownedBridges;
    std::unique_ptr<OperatorController> controller;
};

class OperatorWindow : public QDialog {
    Q_OBJECT

  public:
    OperatorWindow(OperatorSetup setup, Clock& clock, QWidget* parent = nullptr);
    ~OperatorWindow() override;

    OperatorController& Controller() { return *m_setup.controller; }
    QPushButton* StartButton() const { return m_start; }
    QAction* LeaveAction() const { return m_leave; }
    QtWindowTimers& Timers() { return m_timers; }
    // The widgets of box `index`'s tile.
    QLabel* Banner(std::size_t index) const { return m_tiles.at(index).banner; }
    QLabel* Reason(std::size_t index) const { return m_tiles.at(index).reason; }
    QProgressBar* TileProgress(std::size_t index) const { return m_tiles.at(index).progress; }
    QLabel* Counters() const { return m_counters; }
    QLabel* NextSerial() const { return m_nextSerial; }
    QLabel* Checksum() const { return m_checksum; }
    QPlainTextEdit* Log() const { return m_log; }

    // Start, as the button and its keys do.
    void OnStart();

  protected:
    // Escape and the close box do not leave the view.
    void reject() override;
    // Space, Enter and F5 press Start.
    void keyPressEvent(QKeyEvent* event) override;

  private:
    struct TileWidgets {
        QLabel* title = nullptr;
        QLabel* banner = nullptr;
        QLabel* reason = nullptr;  // a failure's text, under its banner
        QProgressBar* progress = nullptr;
        QLabel* detail = nullptr;
        QColor shown;  // the banner's colour as last painted
    };
    void Build();
    void Refresh();
    void OnTimer(TimerId id);

    OperatorSetup m_setup;
    QtWindowTimers m_timers;
    QPushButton* m_start = nullptr;
    QAction* m_leave = nullptr;
    QLabel* m_checksum = nullptr;
    QLabel* m_nextSerial = nullptr;
    QLabel* m_counters = nullptr;
    QLabel* m_notice = nullptr;
    QPlainTextEdit* m_log = nullptr;
    std::vector<TileWidgets> m_tiles;
};

}  // namespace o8r
