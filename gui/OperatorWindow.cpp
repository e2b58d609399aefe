#include "gui/OperatorWindow.h"

#include <QAction>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/QtResources.h"

namespace o8r {

namespace {

// The banner's colours: a pass, a failure, and a box waiting.
const QColor kPassColour(0x1b, 0x7f, 0x3b);
const QColor kFailColour(0xb7, 0x1c, 0x1c);
const QColor kIdleColour(0x5f, 0x6b, 0x73);
const QColor kRunningColour(0x1f, 0x4e, 0x8c);

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QFont Sized(QFont font, double factor, bool bold) {
    font.setPointSizeF(font.pointSizeF() * factor);
    font.setBold(bold);
    return font;
}

// A failure's text may hold a path or a checksum longer than a tile is wide:
// long words may break after every sixteenth character.
QString Breakable(const QString& text) {
    QString out;
    int run = 0;
    for (const QChar c : text) {
        run = c.isSpace() ? 0 : run + 1;
        if (run > 16) {
            out += QChar(0x200B);
            run = 1;
        }
        out += c;
    }
    return out;
}

void Paint(QLabel* label, QColor& shown, const QColor& background) {
    // A style sheet is costly to apply: only when the colour changes.
    if (shown == background)
        return;
    shown = background;
    label->setStyleSheet(QStringLiteral("QLabel { background: %1; color: white; padding: 4px; }")
                             .arg(background.name()));
}

}  // namespace

OperatorWindow::OperatorWindow(OperatorSetup setup, Clock& clock, QWidget* parent)
    : QDialog(parent), m_setup(std::move(setup)), m_timers(clock) {
    const OperatorJobFacts& facts = m_setup.controller->Facts();
    setWindowTitle(QStringLiteral("Operator view - ") + FromUtf8(facts.name));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    Build();
    Refresh();
    m_timers.Start(this, TIMER_DEVICE_POLL, 200, [this](TimerId id) { OnTimer(id); });
}

OperatorWindow::~OperatorWindow() {
    m_timers.Stop(TIMER_DEVICE_POLL);
    m_timers.Stop(TIMER_OPERATION);
}

void OperatorWindow::Build() {
    const OperatorJobFacts& facts = m_setup.controller->Facts();
    auto* layout = new QVBoxLayout(this);

    auto* menus = new QMenuBar(this);
    QMenu* job = menus->addMenu(QStringLiteral("&Job"));
    m_leave = job->addAction(QStringLiteral("&Leave operator view"));
    connect(m_leave, &QAction::triggered, this, [this] {
        if (!m_setup.controller->Running())
            accept();
    });
    layout->setMenuBar(menus);

    // What the operator checks against the traveller.
    auto* name = new QLabel(FromUtf8(facts.name), this);
    name->setFont(Sized(font(), 1.6, true));
    layout->addWidget(name);
    auto* facts1 = new QLabel(
        QStringLiteral("Part %1     Image %2").arg(FromUtf8(facts.part), FromUtf8(facts.imageName)),
        this);
    layout->addWidget(facts1);
    auto* sums = new QHBoxLayout;
    sums->addWidget(new QLabel(QStringLiteral("Image SHA-256"), this));
    const QString sha = FromUtf8(facts.imageSha256).toUpper();
    m_checksum = new QLabel(sha.left(8), this);
    m_checksum->setFont(Sized(FixedPitchFont(10), 2.0, true));
    m_checksum->setTextInteractionFlags(Qt::TextSelectableByMouse);
    sums->addWidget(m_checksum);
    auto* rest = new QLabel(sha.mid(8), this);
    rest->setFont(FixedPitchFont(8));
    rest->setTextInteractionFlags(Qt::TextSelectableByMouse);
    sums->addWidget(rest, 1);
    layout->addLayout(sums);
    m_nextSerial = new QLabel(this);
    m_nextSerial->setFont(Sized(font(), 1.3, true));
    layout->addWidget(m_nextSerial);

    m_start = new QPushButton(QStringLiteral("Start"), this);
    m_start->setFont(Sized(font(), 2.4, true));
    m_start->setMinimumHeight(m_start->fontMetrics().height() * 3 / 2);
    m_start->setAutoDefault(false);
    m_start->setToolTip(QStringLiteral("Program the next board (Space, Enter or F5)"));
    connect(m_start, &QPushButton::clicked, this, [this] { OnStart(); });
    layout->addWidget(m_start);
    // The keys reach the window: no control takes the focus from it.
    m_start->setFocusPolicy(Qt::NoFocus);
    // A tile per box: up to four in a row, so that four boxes fit a short screen.
    auto* tiles = new QGridLayout;
    const auto& states = m_setup.controller->Tiles();
    const int columns =
        states.size() <= 4 ? static_cast<int>(states.size()) : (states.size() <= 8 ? 4 : 6);
    for (std::size_t i = 0; i < states.size(); ++i) {
        auto* frame = new QFrame(this);
        frame->setFrameShape(QFrame::StyledPanel);
        auto* inside = new QVBoxLayout(frame);
        TileWidgets tile;
        tile.title = new QLabel(
            states[i].box.empty() ? QStringLiteral("Programmer") : FromUtf8(states[i].box), frame);
        tile.title->setFont(Sized(font(), 1.2, true));
        tile.banner = new QLabel(frame);
        tile.banner->setFont(Sized(font(), states.size() > 1 ? 1.8 : 2.6, true));
        tile.banner->setAlignment(Qt::AlignCenter);
        tile.banner->setWordWrap(true);
        tile.banner->setMinimumHeight(tile.banner->fontMetrics().height() * 3 / 2);
        tile.reason = new QLabel(frame);
        tile.reason->setWordWrap(true);
        tile.reason->setAlignment(Qt::AlignTop | Qt::AlignLeft);
        tile.reason->setMinimumHeight(tile.reason->fontMetrics().lineSpacing() * 3);
        tile.reason->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        tile.progress = new QProgressBar(frame);
        tile.progress->setRange(0, 100);
        tile.detail = new QLabel(frame);
        inside->addWidget(tile.title);
        inside->addWidget(tile.banner);
        inside->addWidget(tile.reason);
        inside->addWidget(tile.progress);
        inside->addWidget(tile.detail);
        tiles->addWidget(frame, static_cast<int>(i) / columns, static_cast<int>(i) % columns);
        m_tiles.push_back(tile);
    }
    layout->addLayout(tiles);

    m_counters = new QLabel(this);
    m_counters->setFont(Sized(font(), 1.3, true));
    layout->addWidget(m_counters);
    m_notice = new QLabel(this);
    m_notice->setWordWrap(true);
    layout->addWidget(m_notice);

    layout->addWidget(new QLabel(QStringLiteral("Log"), this));
    m_log = new QPlainTextEdit(this);
    m_log->setReadOnly(true);
    m_log->setFont(FixedPitchFont(9));
    m_log->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_log->setFocusPolicy(Qt::NoFocus);
    m_log->setMinimumHeight(m_log->fontMetrics().lineSpacing() * 4);
    layout->addWidget(m_log, 1);
}

void OperatorWindow::OnStart() {
    OperatorController& controller = *m_setup.controller;
    if (controller.Running())
        return;
    if (controller.Start() > 0)
        m_timers.Start(this, TIMER_OPERATION, 1, [this](TimerId id) { OnTimer(id); });
    Refresh();
}

void OperatorWindow::OnTimer(TimerId id) {
    OperatorController& controller = *m_setup.controller;
    if (id == TIMER_DEVICE_POLL) {
        const bool wasRunning = controller.Running();
        controller.Poll();
        if (!wasRunning && controller.Running())
            m_timers.Start(this, TIMER_OPERATION, 1, [this](TimerId timer) { OnTimer(timer); });
    } else if (id == TIMER_OPERATION) {
        controller.Tick();
        if (!controller.Running())
            m_timers.Stop(TIMER_OPERATION);
    }
    Refresh();
}

void OperatorWindow::Refresh() {
    const OperatorController& controller = *m_setup.controller;
    const bool running = controller.Running();
    m_start->setEnabled(!running);
    m_leave->setEnabled(!running);
    if (const auto next = controller.NextSerial()) {
        m_nextSerial->setText(QStringLiteral("Next serial %1").arg(*next));
    } else {
        m_nextSerial->setText(QStringLiteral("No serial numbers"));
    }
    using State = OperatorController::TileState;
    const auto& states = controller.Tiles();
    for (std::size_t i = 0; i < states.size() && i < m_tiles.size(); ++i) {
        const auto& state = states[i];
        TileWidgets& tile = m_tiles[i];
        switch (state.state) {
            case State::Idle:
                tile.banner->setText(state.attached ? QStringLiteral("Ready")
                                                    : QStringLiteral("No programmer"));
                Paint(tile.banner, tile.shown, kIdleColour);
                break;
            case State::Running:
                tile.banner->setText(QStringLiteral("Working..."));
                Paint(tile.banner, tile.shown, kRunningColour);
                break;
            case State::Passed:
                tile.banner->setText(QStringLiteral("PASS"));
                Paint(tile.banner, tile.shown, kPassColour);
                break;
            case State::Failed:
                tile.banner->setText(QStringLiteral("FAIL"));
                Paint(tile.banner, tile.shown, kFailColour);
                break;
        }
        tile.reason->setText(state.state == State::Failed ? Breakable(FromUtf8(state.banner))
                                                          : QString());
        tile.progress->setValue(state.percent);
        QString detail = state.serial ? QStringLiteral("Serial %1").arg(*state.serial) : QString();
        if (!state.activity.empty())
            detail +=
                (detail.isEmpty() ? QString() : QStringLiteral("   ")) + FromUtf8(state.activity);
        tile.detail->setText(detail);
    }
    m_counters->setText(QStringLiteral("Passed %1     Failed %2     This session %3")
                            .arg(controller.Passed())
                            .arg(controller.Failed())
                            .arg(controller.Passed() + controller.Failed()));
    m_notice->setText(FromUtf8(controller.Notice()));
    QStringList lines;
    for (const std::string& line : controller.LogTail())
        lines << FromUtf8(line);
    const QString text = lines.join(QLatin1Char('\n'));
    if (m_log->toPlainText() != text)
        m_log->setPlainText(text);
}

void OperatorWindow::keyPressEvent(QKeyEvent* event) {
    // A foot switch types one of these keys; a key held down starts one board.
    switch (event->key()) {
        case Qt::Key_Space:
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_F5:
            if (!event->isAutoRepeat())
                OnStart();
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void OperatorWindow::reject() {
    // Leaving takes the Job menu; a stray Escape or the close box does nothing.
    m_notice->setText(
        QStringLiteral("To leave the operator view, choose Job > Leave operator view."));
}

}  // namespace o8r
