#include "gui/QtTermination.h"

#include <csignal>
#include <cstdlib>

#if !defined(_WIN32)
#include <fcntl.h>
#include <unistd.h>
#include <QSocketNotifier>
#endif

namespace o8r {

#if defined(_WIN32)

TerminationNotifier::TerminationNotifier(QObject* parent) : QObject(parent) {}

TerminationNotifier::~TerminationNotifier() = default;

void TerminationNotifier::OnReadable() {}

void TerminationNotifier::EndBySignal(int signalNumber) {
    std::_Exit(128 + signalNumber);
}

#else

namespace {

int g_pipe[2] = {-1, -1};

extern "C" void OnTerminationSignal(int signalNumber) {
    // Only what is safe in a handler: one byte into the pipe.
    const auto byte = static_cast<unsigned char>(signalNumber);
    [[maybe_unused]] const ssize_t written = write(g_pipe[1], &byte, 1);
}

void Catch(int signalNumber, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(signalNumber, &action, nullptr);
}

}  // namespace

TerminationNotifier::TerminationNotifier(QObject* parent) : QObject(parent) {
    if (pipe(g_pipe) != 0)
        return;  // the signals keep their default action
    for (int fd : g_pipe) {
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &TerminationNotifier::OnReadable);
    Catch(SIGTERM, OnTerminationSignal);
    Catch(SIGINT, OnTerminationSignal);
}

TerminationNotifier::~TerminationNotifier() {
    if (g_pipe[0] < 0)
        return;
    Catch(SIGTERM, SIG_DFL);
    Catch(SIGINT, SIG_DFL);
    close(g_pipe[0]);
    close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void TerminationNotifier::OnReadable() {
    unsigned char byte = 0;
    if (read(g_pipe[0], &byte, 1) == 1)
        Q_EMIT Terminating(byte);
}

void TerminationNotifier::EndBySignal(int signalNumber) {
    Catch(signalNumber, SIG_DFL);
    std::raise(signalNumber);
    std::_Exit(128 + signalNumber);
}

#endif

}  // namespace o8r
