#include "gui/QtWindowTimers.h"

#include <limits>

namespace o8r {

QtWindowTimers::QtWindowTimers(Clock& clock, QObject* parent)
    : QObject(parent), m_clock(clock), m_virtual(dynamic_cast<VirtualClock*>(&clock)) {
    m_pump.setInterval(0);
    QObject::connect(&m_pump, &QTimer::timeout, this, [this] { PumpVirtual(); });
}

QtWindowTimers::~QtWindowTimers() = default;

void QtWindowTimers::Start(QObject* owner, TimerId id, int periodMs, Handler handler) {
    Entry& entry = m_entries[id];
    entry.owner = owner;
    entry.periodMs = periodMs < 1 ? 1 : periodMs;
    entry.handler = std::move(handler);
    entry.sequence = ++m_sequence;
    if (m_virtual) {
        entry.due = m_virtual->Now() + static_cast<std::uint64_t>(entry.periodMs) * kNsPerMs;
        if (!m_pump.isActive())
            m_pump.start();
        return;
    }
    if (!entry.timer) {
        entry.timer = std::make_unique<QTimer>();
        QObject::connect(entry.timer.get(), &QTimer::timeout, this, [this, id] { Fire(id); });
    }
    // A 1 ms timer must not be rounded to the coarse timer's 5 % slack.
    entry.timer->setTimerType(entry.periodMs < 20 ? Qt::PreciseTimer : Qt::CoarseTimer);
    entry.timer->start(entry.periodMs);
}

void QtWindowTimers::Stop(TimerId id) {
    auto it = m_entries.find(id);
    if (it == m_entries.end())
        return;
    // A timer may be stopped from inside its own tick: its QTimer goes later.
    if (it->second.timer) {
        it->second.timer->stop();
        it->second.timer.release()->deleteLater();
    }
    m_entries.erase(it);
    if (m_entries.empty())
        m_pump.stop();
}

bool QtWindowTimers::IsRunning(TimerId id) const {
    return m_entries.count(id) != 0;
}

int QtWindowTimers::Period(TimerId id) const {
    auto it = m_entries.find(id);
    return it == m_entries.end() ? 0 : it->second.periodMs;
}

void QtWindowTimers::Fire(TimerId id) {
    auto it = m_entries.find(id);
    if (it == m_entries.end() || m_held)
        return;
    if (!it->second.owner) {
        Stop(id);
        return;
    }
    // Copy the handler: it may stop or restart its own timer.
    Handler handler = it->second.handler;
    handler(id);
}

void QtWindowTimers::PumpVirtual() {
    if (m_held)
        return;
    TimerId nextId{};
    std::uint64_t nextDue = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t nextSequence = 0;
    for (auto& [id, entry] : m_entries) {
        if (entry.due < nextDue || (entry.due == nextDue && entry.sequence < nextSequence)) {
            nextId = id;
            nextDue = entry.due;
            nextSequence = entry.sequence;
        }
    }
    if (m_entries.empty()) {
        m_pump.stop();
        return;
    }
    const std::uint64_t now = m_virtual->Now();
    if (nextDue > now)
        m_virtual->Advance(nextDue - now);
    // Like window timers, a late timer fires once: ticks missed while a handler
    // blocked do not pile up.
    Entry& entry = m_entries[nextId];
    entry.due = m_virtual->Now() + static_cast<std::uint64_t>(entry.periodMs) * kNsPerMs;
    Fire(nextId);
}

}  // namespace o8r
