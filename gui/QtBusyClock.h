#pragma once

// The clock the main window's logic runs on. Time passes through to the
// program's clock. While a handler holds the window's thread with a long
// exchange with the box (the firmware update runs inside its click; every
// connect waits for the box), its pauses also let the windows repaint, once
// per kRepaintEveryNs of the clock's time: pending events are handled with the
// window timers held and every input event and close request dropped. So the
// window shows its progress and answers the desktop, yet nothing the user
// does reaches it and no timer handler runs in the middle of the exchange.

#include <QObject>
#include <QPointer>
#include <cstdint>

#include "core/protocol/Clock.h"

class QWidget;

namespace o8r {

class QtWindowTimers;

class QtBusyClock : public QObject, public Clock {
  public:
    static constexpr std::uint64_t kRepaintEveryNs = 20 * kNsPerMs;

    QtBusyClock(Clock& clock, QtWindowTimers& timers, QWidget& window);

    std::uint64_t Now() override;
    void SleepFor(std::uint64_t ns) override;

    // The window is busy while one of these lives. When the last one ends,
    // input that came in meanwhile is dropped, so that it does not act late.
    class Busy {
      public:
        explicit Busy(QtBusyClock& clock);
        ~Busy();
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;

      private:
        QtBusyClock& m_clock;
    };
    bool IsBusy() const { return m_busyDepth > 0; }

    // Handles what is pending as described above, now. Does nothing while a
    // dialog or message box runs its own loop over the window.
    void Repaint();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    Clock& m_clock;
    QtWindowTimers& m_timers;
    QPointer<QWidget> m_window;
    int m_busyDepth = 0;
    bool m_repainting = false;
    std::uint64_t m_lastRepaint = 0;
};

}  // namespace o8r
