#pragma once

// SIGTERM and SIGINT end the desktop program as closing its window does: the
// signal handler only writes the signal's number into a pipe, and the main
// thread's event loop (a nested one of a message box too) hears it through a
// QSocketNotifier and emits Terminating, from ordinary code. On Windows the
// window is closed by the system's own messages, and nothing is installed.

#include <QObject>

namespace o8r {

class TerminationNotifier : public QObject {
    Q_OBJECT

  public:
    explicit TerminationNotifier(QObject* parent = nullptr);
    ~TerminationNotifier() override;
    TerminationNotifier(const TerminationNotifier&) = delete;
    TerminationNotifier& operator=(const TerminationNotifier&) = delete;

    // Ends the process by `signalNumber` with the system's default action, as
    // if it had never been caught (the parent sees the signal).
    [[noreturn]] static void EndBySignal(int signalNumber);

  Q_SIGNALS:
    void Terminating(int signalNumber);

  private:
    void OnReadable();
};

}  // namespace o8r
