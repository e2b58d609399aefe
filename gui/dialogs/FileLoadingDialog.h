#pragma once

// The "File loading" dialog (template 168): a progress bar and a line of text
// while an S-record file is read. Its 100 ms timer 115 fires once and runs the
// load, which blocks until done; the dialog then ends with DialogResult::Ok or
// DialogResult::Cancel.

#include <QDialog>

#include "core/model/Ids.h"
#include "core/operations/FileLoadJob.h"

class QLabel;
class QProgressBar;

namespace o8r {

class QtWindowTimers;

class FileLoadingDialog : public QDialog, public FileLoadView {
    Q_OBJECT

  public:
    FileLoadingDialog(FileLoadJob& job, QtWindowTimers& timers, QWidget* parent = nullptr);
    ~FileLoadingDialog() override;

    QProgressBar* ProgressBar() const { return m_progress; }
    QLabel* Text() const { return m_text; }

    void SetText(const std::string& text) override;
    void SetProgress(int percent) override;

  private:
    void OnTimer(TimerId timerId);

    FileLoadJob& m_job;
    QtWindowTimers& m_timers;
    QProgressBar* m_progress;
    QLabel* m_text;
};

}  // namespace o8r
