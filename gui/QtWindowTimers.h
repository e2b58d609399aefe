#pragma once

// The window timers of the program (111 poll, 112 engine, 114 read window,
// 115 loading dialog), by id. They are delivered by the Qt event loop, so they
// keep firing inside modal dialogs and message boxes, as window timers do.
//
// On the real clock each timer is a QTimer of its period. On a VirtualClock the
// timers run on virtual time instead: a zero-delay pump takes the timer that is
// due first, moves the clock on to its due time and fires it, so a whole
// operation against the simulated box passes in moments and always the same way.

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "core/model/Ids.h"
#include "core/protocol/Clock.h"

namespace o8r {

class QtWindowTimers : public QObject {
  public:
    using Handler = std::function<void(TimerId timerId)>;

    explicit QtWindowTimers(Clock& clock, QObject* parent = nullptr);
    ~QtWindowTimers() override;

    // Starts timer `id` (restarting it when it runs) for the window `owner`;
    // the timer stops by itself when that window is destroyed.
    void Start(QObject* owner, TimerId id, int periodMs, Handler handler);
    void Stop(TimerId id);
    bool IsRunning(TimerId id) const;
    int Period(TimerId id) const;

    // While held, no timer fires: ticks are dropped, not saved up, as window
    // timers' are while their thread is busy, and virtual time stands still.
    void Hold(bool held) { m_held = held; }
    bool Held() const { return m_held; }

    Clock& TheClock() const { return m_clock; }
    bool Virtual() const { return m_virtual != nullptr; }

  private:
    struct Entry {
        QPointer<QObject> owner;
        int periodMs = 0;
        std::uint64_t due = 0;       // virtual time of the next tick
        std::uint64_t sequence = 0;  // start order, to break ties
        Handler handler;
        std::unique_ptr<QTimer> timer;  // real clock only
    };

    void Fire(TimerId id);
    void PumpVirtual();

    Clock& m_clock;
    VirtualClock* m_virtual;
    std::map<TimerId, Entry> m_entries;
    std::uint64_t m_sequence = 0;
    bool m_held = false;
    QTimer m_pump;
};

}  // namespace o8r
