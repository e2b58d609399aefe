#include "gui/QtBusyClock.h"

#include <QApplication>
#include <QEvent>
#include <QWidget>
#include <QWindow>

#include "gui/QtWindowTimers.h"

namespace o8r {

QtBusyClock::QtBusyClock(Clock& clock, QtWindowTimers& timers, QWidget& window)
    : m_clock(clock), m_timers(timers), m_window(&window) {}

std::uint64_t QtBusyClock::Now() {
    return m_clock.Now();
}

void QtBusyClock::SleepFor(std::uint64_t ns) {
    m_clock.SleepFor(ns);
    if (m_busyDepth > 0 && m_clock.Now() - m_lastRepaint >= kRepaintEveryNs)
        Repaint();
}

QtBusyClock::Busy::Busy(QtBusyClock& clock) : m_clock(clock) {
    if (m_clock.m_busyDepth++ == 0)
        m_clock.m_lastRepaint = m_clock.m_clock.Now();
}

QtBusyClock::Busy::~Busy() {
    if (m_clock.m_busyDepth == 1)
        m_clock.Repaint();
    --m_clock.m_busyDepth;
}

void QtBusyClock::Repaint() {
    m_lastRepaint = m_clock.Now();
    // A dialog or message box on top runs its own loop, with the timers.
    QWidget* modal = QApplication::activeModalWidget();
    if (m_repainting || (modal && modal != m_window))
        return;
    m_repainting = true;
    const bool held = m_timers.Held();
    m_timers.Hold(true);
    qApp->installEventFilter(this);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    qApp->removeEventFilter(this);
    m_timers.Hold(held);
    m_repainting = false;
}

bool QtBusyClock::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::Close:
            // The close box of any window.
            if (watched->isWindowType() ||
                (watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow())) {
                event->ignore();
                return true;
            }
            break;
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::Drop:
        case QEvent::DragEnter:
        case QEvent::DragMove:
            return true;
        default:
            if (event->isInputEvent())
                return true;
            break;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace o8r
