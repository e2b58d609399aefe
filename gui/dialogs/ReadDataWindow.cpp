#include "gui/dialogs/ReadDataWindow.h"

#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTreeView>
#include <algorithm>

#include "core/model/Ids.h"
#include "core/model/Messages.h"
#include "gui/QtDialogUnits.h"
#include "gui/QtPrompts.h"
#include "gui/QtResources.h"
#include "gui/QtTextFit.h"
#include "gui/QtWindowTimers.h"
#include "gui/dialogs/QtHexDumpModel.h"

namespace o8r {

namespace {

QString ButtonToolTip(int icon) {
    switch (icon) {
        case IdNumber(IDI_CANCEL):
            return QStringLiteral("Cancel reading");
        case IdNumber(IDI_SAVE):
            return QStringLiteral("Save the data as an S-record file");
        case IdNumber(IDI_SAVED):
            return QStringLiteral("Save the data again");
        default:
            return QString();
    }
}

}  // namespace

ReadDataWindow::ReadDataWindow(ReadSession& session, QtWindowTimers& timers, QWidget* parent)
    : QDialog(parent), m_session(session), m_timers(timers) {
    const QFont dialogFont = DialogFont(QStringLiteral("Microsoft Sans Serif"), 9);
    const DialogUnits du = ApplyDialogTemplate(*this, QString::fromLatin1(text::kReadDataCaption),
                                               dialogFont, 337, 348);

    // The Enter key presses this button.
    m_button = new QPushButton(this);
    PlaceControl(m_button, IdNumber(IDC_READ_BUTTON), du, 311, 5, 21, 20);
    m_button->setIconSize(QSize(32, 32).boundedTo(m_button->size() - QSize(4, 4)));
    m_button->setDefault(true);

    m_model = new QtHexDumpModel(m_session.Rows(), this);
    m_dump = new QTreeView(this);
    PlaceControl(m_dump, IdNumber(IDC_READ_LIST), du, 5, 29, 327, 314);
    m_dump->setModel(m_model);
    m_dump->setRootIsDecorated(false);
    m_dump->setItemsExpandable(false);
    m_dump->setUniformRowHeights(true);
    m_dump->setSortingEnabled(false);
    m_dump->setSelectionMode(QAbstractItemView::SingleSelection);
    m_dump->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_dump->setFont(FixedPitchFont(9));
    m_dump->header()->setFont(dialogFont);
    m_dump->header()->setSectionsClickable(false);
    m_dump->header()->setSectionsMovable(false);
    m_dump->header()->setStretchLastSection(false);
    m_dump->header()->setMinimumSectionSize(QtHexDumpModel::kByteWidth);
    m_dump->header()->resizeSection(0, QtHexDumpModel::kAddressWidth);
    for (int c = 1; c < QtHexDumpModel::kColumns; ++c) {
        m_dump->header()->resizeSection(c, QtHexDumpModel::kByteWidth);
    }
    SetViewColours(m_dump, DumpBackground(), DumpText());

    m_progress = new QProgressBar(this);
    PlaceControl(m_progress, IdNumber(IDC_READ_PROGRESS), du, 5, 11, 296, 8);
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setTextVisible(false);
    QPalette bar = m_progress->palette();
    bar.setColor(QPalette::Base, Qt::black);
    bar.setColor(QPalette::Window, Qt::black);
    m_progress->setPalette(bar);

    m_status = new QLabel(QStringLiteral("All data read ok."), this);
    PlaceControl(m_status, IdNumber(IDC_READ_STATUS), du, 5, 11, 297, 8);
    m_status->setAlignment(Qt::AlignCenter);
    m_status->hide();

    FitColumnsToContents(*m_dump);
    FitControlsToText(*this);

    // The template's size is where the window starts; it may be made smaller
    // (a screen too short for it) or larger, the dump taking the room.
    m_templateSize = size();
    m_dumpMargins = QMargins(0, 0, width() - m_dump->geometry().right() - 1,
                             height() - m_dump->geometry().bottom() - 1);
    m_buttonFromRight = width() - m_button->x();
    m_barGap = m_button->x() - m_progress->geometry().right() - 1;
    setMinimumSize(m_templateSize.width() / 2, m_dump->y() + m_templateSize.height() / 4);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);

    connect(m_button, &QPushButton::clicked, this, [this] { m_session.OnButton(); });

    // Opening: icon 160, progress 0, and the read timer starts.
    m_session.Open(*this);
}

ReadDataWindow::~ReadDataWindow() {
    m_timers.Stop(TIMER_READ);
}

void ReadDataWindow::SetButtonIcon(IconId iconId) {
    const int icon = IdNumber(iconId);
    m_buttonIcon = icon;
    m_button->setIcon(IconById(icon));
    m_button->setToolTip(ButtonToolTip(icon));
}

void ReadDataWindow::SetStatusText(const std::string& text) {
    m_status->setText(FromLocal(text));
    FitControlToText(m_status);
}

void ReadDataWindow::ShowStatus(bool show) {
    m_status->setVisible(show);
}

void ReadDataWindow::ShowProgress(bool show) {
    m_progress->setVisible(show);
}

void ReadDataWindow::SetProgress(int percent) {
    m_progress->setValue(percent);
}

void ReadDataWindow::StartTimer(TimerId timerId, int periodMs) {
    m_timers.Start(this, timerId, periodMs, [this](TimerId id) { m_session.OnTimer(id); });
}

void ReadDataWindow::StopTimer(TimerId timerId) {
    m_timers.Stop(timerId);
}

void ReadDataWindow::RowsChanged(std::size_t firstChanged) {
    m_model->RowsChanged(firstChanged);
}

void ReadDataWindow::Close(DialogResult dialogResult) {
    const int result = IdNumber(dialogResult);
    done(result);
}

void ReadDataWindow::FitInto(const QRect& available) {
    // The frame around the window: as the window system has it once shown,
    // else as the style draws one.
    QSize frame = frameGeometry().size() - size();
    if (isVisible() == false || frame.isEmpty()) {
        const int border = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
        const int title = style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, this);
        frame = frame.expandedTo(QSize(2 * border, title + 2 * border));
    }
    const QSize room = (available.size() - frame).expandedTo(minimumSize());
    resize(m_templateSize.boundedTo(room));
    const QSize outer = size() + frame;
    QPoint at = frameGeometry().topLeft();
    at.setX(std::clamp(at.x(), available.left(),
                       std::max(available.left(), available.right() + 1 - outer.width())));
    at.setY(std::clamp(at.y(), available.top(),
                       std::max(available.top(), available.bottom() + 1 - outer.height())));
    move(at);
}

void ReadDataWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_fitted)
        return;
    m_fitted = true;
    if (QScreen* where = screen())
        FitInto(where->availableGeometry());
}

void ReadDataWindow::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    if (m_templateSize.isEmpty())
        return;
    // The button keeps to the right edge, the bar and the status text reach
    // up to it, and the dump fills the rest.
    m_button->move(width() - m_buttonFromRight, m_button->y());
    const int barWidth = std::max(1, m_button->x() - m_barGap - m_progress->x());
    m_progress->resize(barWidth, m_progress->height());
    m_status->resize(std::max(m_status->width(), barWidth), m_status->height());
    m_dump->resize(std::max(1, width() - m_dumpMargins.right() - m_dump->x()),
                   std::max(1, height() - m_dumpMargins.bottom() - m_dump->y()));
}

void ReadDataWindow::reject() {
    m_session.OnCancelCommand();
}

}  // namespace o8r
