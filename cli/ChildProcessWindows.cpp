#if defined(_WIN32)

// gang's boxes on Windows: each o8rprog started with CreateProcessW, in a
// console process group of its own (a Ctrl-C typed at the console reaches
// the gang alone) and in one job object that ends every box's program when
// the gang ends, however it ends. The gang's Ctrl-C reaches a box through an
// event of its own, handed down by its handle in O8R_CANCEL_EVENT: the box's
// o8rprog takes it as its Ctrl-C. A second Ctrl-C ends the boxes' programs.
// Anonymous pipes cannot be waited on together, so a thread per pipe reads
// and hands the bytes over under one lock.

#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>

#include "cli/ChildProcess.h"
#include "platform/SystemErrorText.h"
#include "platform/Utf8Path.h"

namespace o8r::cli {

namespace {

std::atomic<int> g_interrupts{0};

// What the reading threads have taken from every pipe, for PumpChildren.
struct Inbox {
    std::mutex lock;
    std::condition_variable arrived;
    struct Chunk {
        const void* child;
        bool fromStderr;
        std::string bytes;  // empty: the pipe closed
    };
    std::deque<Chunk> chunks;
};

Inbox& TheInbox() {
    static Inbox inbox;
    return inbox;
}

BOOL WINAPI OnGangControl(DWORD event) {
    // Ctrl-C, Ctrl-Break and a closed console window are a Ctrl-C for every box.
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT)
        return FALSE;
    g_interrupts.fetch_add(1);
    TheInbox().arrived.notify_all();
    return TRUE;
}

std::wstring Wide(const std::string& utf8) {
    return PathFromUtf8(utf8).wstring();
}

// One argument as the C runtime's parser reads it back: quoted when it holds
// a blank or a quote (or is empty), backslashes doubled before a quote.
void AppendArgument(std::wstring& line, const std::wstring& argument) {
    if (!line.empty())
        line += L' ';
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += argument;
        return;
    }
    line += L'"';
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        line.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        line += c;
    }
    line.append(backslashes * 2, L'\\');
    line += L'"';
}

// The job every box's program runs in: closing its last handle (the gang
// ending, or dying) ends them all.
HANDLE TheJob() {
    static const HANDLE job = [] {
        HANDLE made = CreateJobObjectW(nullptr, nullptr);
        if (made != nullptr) {
            JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
            limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
            SetInformationJobObject(made, JobObjectExtendedLimitInformation, &limits,
                                    sizeof limits);
        }
        return made;
    }();
    return job;
}

class WindowsChild final : public ChildProcess {
  public:
    WindowsChild(HANDLE process, HANDLE cancel, HANDLE out, HANDLE err)
        : m_process(process), m_cancel(cancel) {
        m_readers[0] = std::thread(&WindowsChild::ReadPipe, this, out, false);
        m_readers[1] = std::thread(&WindowsChild::ReadPipe, this, err, true);
    }
    ~WindowsChild() override {
        if (!m_ended) {
            // Left behind only when the gang itself fails: ended, not orphaned.
            TerminateProcess(m_process, 1);
        }
        for (std::thread& reader : m_readers)
            if (reader.joinable())
                reader.join();
        CloseHandle(m_cancel);
        CloseHandle(m_process);
        // Chunks of this child still waiting are dropped.
        Inbox& inbox = TheInbox();
        std::lock_guard<std::mutex> hold(inbox.lock);
        for (auto it = inbox.chunks.begin(); it != inbox.chunks.end();)
            it = it->child == this ? inbox.chunks.erase(it) : it + 1;
    }
    WindowsChild(const WindowsChild&) = delete;
    WindowsChild& operator=(const WindowsChild&) = delete;

    void Interrupt() override {
        if (m_ended)
            return;
        // The first is the box's Ctrl-C; a second ends its program at once.
        if (m_interrupted++ == 0)
            SetEvent(m_cancel);
        else
            TerminateProcess(m_process, 1);
    }
    bool Ended() const override { return m_ended; }
    int ExitStatus() const override { return m_status; }

    void Closed(bool fromStderr) { m_open[fromStderr ? 1 : 0] = false; }

    // Once both pipes are closed the program has ended or is about to.
    void ReapIfDone() {
        if (m_ended || m_open[0] || m_open[1])
            return;
        WaitForSingleObject(m_process, INFINITE);
        DWORD code = 1;
        GetExitCodeProcess(m_process, &code);
        m_ended = true;
        m_status = code <= 255 ? static_cast<int>(code) : 1;
    }

  private:
    void ReadPipe(HANDLE pipe, bool fromStderr) {
        Inbox& inbox = TheInbox();
        char buffer[4096];
        for (;;) {
            DWORD got = 0;
            const bool read = ReadFile(pipe, buffer, sizeof buffer, &got, nullptr) != FALSE;
            std::lock_guard<std::mutex> hold(inbox.lock);
            if (!read || got == 0) {
                inbox.chunks.push_back({this, fromStderr, {}});
                break;
            }
            inbox.chunks.push_back({this, fromStderr, std::string(buffer, got)});
            inbox.arrived.notify_all();
        }
        inbox.arrived.notify_all();
        CloseHandle(pipe);
    }

    HANDLE m_process;
    HANDLE m_cancel;
    std::thread m_readers[2];
    bool m_open[2] = {true, true};
    bool m_ended = false;
    int m_status = 1;
    int m_interrupted = 0;
};

// A pipe whose write end the child inherits; false with `error`.
bool MakePipe(HANDLE& read, HANDLE& write, std::string& error) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    if (!CreatePipe(&read, &write, &inherit, 0)) {
        error = "can not make a pipe: " + SystemErrorText(GetLastError());
        return false;
    }
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    return true;
}

}  // namespace

std::string ChildProcessesUnavailable() {
    return {};
}

std::unique_ptr<ChildProcess> StartChild(const std::string& program,
                                         const std::vector<std::string>& arguments,
                                         std::string& error) {
    HANDLE outRead = nullptr;
    HANDLE outWrite = nullptr;
    HANDLE errRead = nullptr;
    HANDLE errWrite = nullptr;
    if (!MakePipe(outRead, outWrite, error))
        return nullptr;
    if (!MakePipe(errRead, errWrite, error)) {
        for (HANDLE handle : {outRead, outWrite})
            CloseHandle(handle);
        return nullptr;
    }
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE nothing = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 OPEN_EXISTING, 0, nullptr);
    HANDLE cancel = CreateEventW(&inherit, TRUE, FALSE, nullptr);
    const auto closeAll = [&] {
        for (HANDLE handle : {outRead, outWrite, errRead, errWrite, nothing, cancel})
            if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
                CloseHandle(handle);
    };
    if (nothing == INVALID_HANDLE_VALUE || cancel == nullptr) {
        error = "can not prepare a box's program: " + SystemErrorText(GetLastError());
        closeAll();
        return nullptr;
    }

    std::wstring line;
    AppendArgument(line, Wide(program));
    for (const std::string& argument : arguments)
        AppendArgument(line, Wide(argument));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nothing;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION started{};
    // The event's handle reaches the child by number; the gang is one thread,
    // so the variable is the one child's while it starts.
    SetEnvironmentVariableW(
        L"O8R_CANCEL_EVENT",
        std::to_wstring(static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(cancel)))
            .c_str());
    const BOOL made =
        CreateProcessW(Wide(program).c_str(), line.data(), nullptr, nullptr, TRUE,
                       CREATE_NEW_PROCESS_GROUP | CREATE_SUSPENDED | CREATE_UNICODE_ENVIRONMENT,
                       nullptr, nullptr, &startup, &started);
    const DWORD failure = made ? 0 : GetLastError();
    SetEnvironmentVariableW(L"O8R_CANCEL_EVENT", nullptr);
    if (!made) {
        error = "can not start " + program + ": " + SystemErrorText(failure);
        closeAll();
        return nullptr;
    }
    // In the job before it runs a single instruction. A system that refuses
    // (a job of its own that allows no nested one) still gets the box run.
    if (HANDLE job = TheJob(); job != nullptr)
        AssignProcessToJobObject(job, started.hProcess);
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);
    for (HANDLE handle : {outWrite, errWrite, nothing})
        CloseHandle(handle);
    // The gang's own copy of the event is not handed to the next box.
    SetHandleInformation(cancel, HANDLE_FLAG_INHERIT, 0);
    return std::make_unique<WindowsChild>(started.hProcess, cancel, outRead, errRead);
}

void PumpChildren(const std::vector<ChildProcess*>& children, int timeoutMs,
                  const ChildOutput& output) {
    Inbox& inbox = TheInbox();
    std::deque<Inbox::Chunk> taken;
    {
        std::unique_lock<std::mutex> hold(inbox.lock);
        const int interrupts = g_interrupts.load();
        // A Ctrl-C cuts the wait short: the gang looks at it at once.
        inbox.arrived.wait_for(hold, std::chrono::milliseconds(timeoutMs), [&] {
            return !inbox.chunks.empty() || g_interrupts.load() != interrupts;
        });
        taken.swap(inbox.chunks);
    }
    for (Inbox::Chunk& chunk : taken) {
        for (std::size_t i = 0; i < children.size(); ++i) {
            auto* child = static_cast<WindowsChild*>(children[i]);
            if (chunk.child != child)
                continue;
            if (chunk.bytes.empty())
                child->Closed(chunk.fromStderr);
            else
                output(i, chunk.fromStderr, chunk.bytes);
        }
    }
    for (ChildProcess* child : children)
        static_cast<WindowsChild*>(child)->ReapIfDone();
}

void InstallGangInterrupt() {
    g_interrupts = 0;
    SetConsoleCtrlHandler(OnGangControl, TRUE);
}

void RemoveGangInterrupt() {
    SetConsoleCtrlHandler(OnGangControl, FALSE);
}

int GangInterrupts() {
    return g_interrupts.load();
}

std::string MakeTemporaryFolder(std::string& error) {
    std::error_code ec;
    const std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (!ec) {
        for (unsigned attempt = 0; attempt < 100; ++attempt) {
            const std::filesystem::path folder =
                base / ("o8rprog-gang-" + std::to_string(GetCurrentProcessId()) + "-" +
                        std::to_string(GetTickCount() + attempt));
            if (std::filesystem::create_directory(folder, ec))
                return Utf8FromPath(folder);
        }
    }
    error = "can not make a temporary folder: " + (ec ? ec.message() : std::string("in use"));
    return {};
}

}  // namespace o8r::cli

#endif
