#if !defined(_WIN32)

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "cli/ChildProcess.h"

extern char** environ;

namespace o8r::cli {

namespace {

std::atomic<int> g_interrupts{0};

// SIGTERM and SIGHUP (a shutdown, a closed terminal) are a Ctrl-C too: every
// box cancels through its own path and writes its record, and the gang
// removes its temporary folder, instead of dying with the boxes half done.
constexpr int kGangSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void OnGangInterrupt(int) {
    g_interrupts.fetch_add(1);
}

class PosixChild final : public ChildProcess {
  public:
    PosixChild(pid_t pid, int out, int err) : m_pid(pid), m_fds{out, err} {}
    ~PosixChild() override {
        for (int& fd : m_fds)
            Close(fd);
        if (!m_ended) {
            // Left behind only when the gang itself fails: not a zombie.
            ::kill(m_pid, SIGKILL);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
        }
    }
    PosixChild(const PosixChild&) = delete;
    PosixChild& operator=(const PosixChild&) = delete;

    void Interrupt() override {
        if (!m_ended)
            ::kill(m_pid, SIGINT);
    }
    bool Ended() const override { return m_ended; }
    int ExitStatus() const override { return m_status; }

    int Fd(std::size_t which) const { return m_fds[which]; }
    static void Close(int& fd) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
    void Closed(std::size_t which) { Close(m_fds[which]); }

    // Once both pipes are closed the child has ended or is about to.
    void ReapIfDone() {
        if (m_ended || m_fds[0] >= 0 || m_fds[1] >= 0)
            return;
        int status = 0;
        pid_t got = 0;
        do {
            got = ::waitpid(m_pid, &status, 0);
        } while (got < 0 && errno == EINTR);
        m_ended = true;
        m_status = got == m_pid && WIFEXITED(status) ? WEXITSTATUS(status) : 1;
    }

  private:
    pid_t m_pid;
    int m_fds[2];
    bool m_ended = false;
    int m_status = 1;
};

}  // namespace

std::string ChildProcessesUnavailable() {
    return {};
}

std::unique_ptr<ChildProcess> StartChild(const std::string& program,
                                         const std::vector<std::string>& arguments,
                                         std::string& error) {
    int out[2] = {-1, -1};
    int err[2] = {-1, -1};
    if (::pipe(out) != 0 || ::pipe(err) != 0) {
        error = std::string("can not make a pipe: ") + std::strerror(errno);
        for (int fd : {out[0], out[1], err[0], err[1]})
            if (fd >= 0)
                ::close(fd);
        return nullptr;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    for (int fd : {out[0], out[1], err[0], err[1]})
        posix_spawn_file_actions_addclose(&actions, fd);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setpgroup(&attributes, 0);
    // The child starts with Ctrl-C at its default, whatever the gang does with it.
    sigset_t defaults;
    sigemptyset(&defaults);
    for (int number : kGangSignals)
        sigaddset(&defaults, number);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    std::vector<std::string> all{program};
    all.insert(all.end(), arguments.begin(), arguments.end());
    for (std::string& argument : all)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int result =
        ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(out[1]);
    ::close(err[1]);
    if (result != 0) {
        error = "can not start " + program + ": " + std::strerror(result);
        ::close(out[0]);
        ::close(err[0]);
        return nullptr;
    }
    return std::make_unique<PosixChild>(pid, out[0], err[0]);
}

void PumpChildren(const std::vector<ChildProcess*>& children, int timeoutMs,
                  const ChildOutput& output) {
    std::vector<pollfd> fds;
    std::vector<std::pair<std::size_t, std::size_t>> owners;  // child index, pipe
    for (std::size_t i = 0; i < children.size(); ++i) {
        auto* child = static_cast<PosixChild*>(children[i]);
        for (std::size_t which = 0; which < 2; ++which) {
            if (child->Fd(which) >= 0) {
                fds.push_back(pollfd{child->Fd(which), POLLIN, 0});
                owners.emplace_back(i, which);
            }
        }
    }
    if (fds.empty()) {
        for (ChildProcess* child : children)
            static_cast<PosixChild*>(child)->ReapIfDone();
        return;
    }
    // A Ctrl-C cuts the wait short (EINTR): the gang looks at it at once.
    if (::poll(fds.data(), fds.size(), timeoutMs) <= 0)
        return;
    char buffer[4096];
    for (std::size_t k = 0; k < fds.size(); ++k) {
        if (fds[k].revents == 0)
            continue;
        auto* child = static_cast<PosixChild*>(children[owners[k].first]);
        const ssize_t got = ::read(fds[k].fd, buffer, sizeof buffer);
        if (got > 0) {
            output(owners[k].first, owners[k].second == 1,
                   std::string_view(buffer, static_cast<std::size_t>(got)));
        } else if (got == 0 || errno != EINTR) {
            child->Closed(owners[k].second);
            child->ReapIfDone();
        }
    }
}

void InstallGangInterrupt() {
    g_interrupts = 0;
    struct sigaction action {};
    action.sa_handler = OnGangInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART: poll returns at once
    for (int number : kGangSignals)
        ::sigaction(number, &action, nullptr);
}

void RemoveGangInterrupt() {
    for (int number : kGangSignals)
        ::signal(number, SIG_DFL);
}

int GangInterrupts() {
    return g_interrupts.load();
}

std::string MakeTemporaryFolder(std::string& error) {
    std::error_code ec;
    std::string pattern =
        (std::filesystem::temp_directory_path(ec) / "o8rprog-gang.XXXXXX").string();
    if (ec || ::mkdtemp(pattern.data()) == nullptr) {
        error = std::string("can not make a temporary folder: ") + std::strerror(errno);
        return {};
    }
    return pattern;
}

}  // namespace o8r::cli

#endif
