#pragma once

// The "Read data" window (template 167): the target's memory read page by page
// into a hex dump, with a progress bar, and one button that cancels the read
// and afterwards saves the data. ReadSession runs the read; this window shows it.

#include <QDialog>
#include <QMargins>
#include <QSize>

#include "core/operations/ReadSession.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QTreeView;

namespace o8r {

class QtHexDumpModel;
class QtWindowTimers;

class ReadDataWindow : public QDialog, public ReadView {
    Q_OBJECT

  public:
    ReadDataWindow(ReadSession& session, QtWindowTimers& timers, QWidget* parent = nullptr);
    ~ReadDataWindow() override;

    QPushButton* Button() const { return m_button; }
    QTreeView* Dump() const { return m_dump; }
    QProgressBar* ProgressBar() const { return m_progress; }
    QLabel* StatusText() const { return m_status; }
    int ButtonIcon() const { return m_buttonIcon; }

    // ReadView
    void SetButtonIcon(IconId icon) override;
    void SetStatusText(const std::string& text) override;
    void ShowStatus(bool show) override;
    void ShowProgress(bool show) override;
    void SetProgress(int percent) override;
    void StartTimer(TimerId timerId, int periodMs) override;
    void StopTimer(TimerId timerId) override;
    void RowsChanged(std::size_t firstChanged) override;
    void Close(DialogResult result) override;

    // The window within `available` (a screen's available geometry): its
    // template size where that fits, else as much as fits, the dump taking
    // the room; placed so that its frame lies inside.
    void FitInto(const QRect& available);

  protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // Escape and the close box: the session decides whether the window closes.
    void reject() override;

  private:
    ReadSession& m_session;
    QtWindowTimers& m_timers;
    QPushButton* m_button;
    QTreeView* m_dump;
    QtHexDumpModel* m_model;
    QProgressBar* m_progress;
    QLabel* m_status;
    int m_buttonIcon = 0;
    // The template's size and the distances the layout keeps when resized.
    QSize m_templateSize;
    QMargins m_dumpMargins;  // right and bottom: from the dump to the window's edges
    int m_buttonFromRight = 0;
    int m_barGap = 0;  // from the progress bar's right end to the button
    bool m_fitted = false;
};

}  // namespace o8r
