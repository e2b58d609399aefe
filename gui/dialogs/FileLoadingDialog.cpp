#include "gui/dialogs/FileLoadingDialog.h"

#include <QLabel>
#include <QProgressBar>

#include "core/model/Ids.h"
#include "core/model/Messages.h"
#include "gui/QtDialogUnits.h"
#include "gui/QtPrompts.h"
#include "gui/QtResources.h"
#include "gui/QtTextFit.h"
#include "gui/QtWindowTimers.h"

namespace o8r {

FileLoadingDialog::FileLoadingDialog(FileLoadJob& job, QtWindowTimers& timers, QWidget* parent)
    : QDialog(parent), m_job(job), m_timers(timers) {
    const DialogUnits du =
        ApplyDialogTemplate(*this, QString::fromLatin1(text::kFileLoadingCaption),
                            DialogFont(QStringLiteral("MS Shell Dlg"), 8), 186, 55);

    m_progress = new QProgressBar(this);
    PlaceControl(m_progress, IdNumber(IDC_LOAD_PROGRESS), du, 5, 17, 176, 10);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);

    m_text = new QLabel(QString::fromLatin1(text::kLoadingFile), this);
    PlaceControl(m_text, IdNumber(IDC_LOAD_TEXT), du, 13, 33, 159, 8);
    FitControlToText(m_text);

    m_timers.Start(this, TIMER_FILE_LOAD, 100, [this](TimerId id) { OnTimer(id); });
}

FileLoadingDialog::~FileLoadingDialog() {
    m_timers.Stop(TIMER_FILE_LOAD);
}

void FileLoadingDialog::SetText(const std::string& text) {
    m_text->setText(FromLocal(text));
    FitControlToText(m_text);
    m_text->repaint();
}

void FileLoadingDialog::SetProgress(int percent) {
    m_progress->setValue(percent);
    // The load holds the thread; paint the bar now rather than after it.
    m_progress->repaint();
}

void FileLoadingDialog::OnTimer(TimerId timerId) {
    if (timerId != TIMER_FILE_LOAD)
        return;
    m_timers.Stop(TIMER_FILE_LOAD);
    done(IdNumber(m_job.Run(*this) ? DialogResult::Ok : DialogResult::Cancel));
}

}  // namespace o8r
