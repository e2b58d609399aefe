#include "cli/Terminal.h"

#if defined(_WIN32)
#include <windows.h>

#include <shellapi.h>

#include <filesystem>
#else
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#endif

namespace o8r::cli {

namespace {

#if defined(_WIN32)
// _isatty is true for any character device, the NUL device included; only a
// console has a console mode.
bool IsTerminal(DWORD which) {
    DWORD mode = 0;
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           GetConsoleMode(handle, &mode) != 0;
}
#endif

}  // namespace

bool StdinIsTerminal() {
#if defined(_WIN32)
    return IsTerminal(STD_INPUT_HANDLE);
#else
    return isatty(0) != 0;
#endif
}
bool StdoutIsTerminal() {
#if defined(_WIN32)
    return IsTerminal(STD_OUTPUT_HANDLE);
#else
    return isatty(1) != 0;
#endif
}
bool StderrIsTerminal() {
#if defined(_WIN32)
    return IsTerminal(STD_ERROR_HANDLE);
#else
    return isatty(2) != 0;
#endif
}

std::vector<std::string> Utf8Arguments(int argc, char** argv) {
#if defined(_WIN32)
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide != nullptr) {
        std::vector<std::string> arguments;
        for (int i = 0; i < count; ++i) {
            const std::u8string text = std::filesystem::path(wide[i]).u8string();
            arguments.emplace_back(text.begin(), text.end());
        }
        LocalFree(wide);
        return arguments;
    }
#endif
    return std::vector<std::string>(argv, argv + argc);
}

ClosedStreams HoldStandardStreams() {
    ClosedStreams closed;
#if !defined(_WIN32)
    bool* flags[] = {&closed.in, &closed.out, &closed.err};
    for (int fd = 0; fd < 3; ++fd) {
        if (::fcntl(fd, F_GETFD) >= 0 || errno != EBADF)
            continue;
        *flags[fd] = true;
        // open takes the lowest free number: this one.
        const int held = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (held >= 0 && held != fd) {
            ::dup2(held, fd);
            ::close(held);
        }
    }
    std::signal(SIGPIPE, SIG_IGN);
#endif
    return closed;
}

std::size_t TerminalRows() {
#if defined(_WIN32)
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info))
        return 0;
    return static_cast<std::size_t>(info.srWindow.Bottom - info.srWindow.Top + 1);
#else
    winsize size{};
    if (::ioctl(2, TIOCGWINSZ, &size) != 0)
        return 0;
    return size.ws_row;
#endif
}

void PrepareConsole() {
#if defined(_WIN32)
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
#endif
}

bool EnableLineClearing() {
#if defined(_WIN32)
    const HANDLE handle = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (!GetConsoleMode(handle, &mode))
        return false;
    return (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0 ||
           SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
#else
    return true;
#endif
}

}  // namespace o8r::cli
