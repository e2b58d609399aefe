#pragma once

// Child o8rprog processes for gang: started with their standard output and
// standard error on pipes, read as they write, interrupted as Ctrl-C would,
// and waited for: posix_spawn on Linux and macOS (ChildProcessPosix.cpp),
// CreateProcessW and a job object on Windows (ChildProcessWindows.cpp).

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace o8r::cli {

class ChildProcess {
  public:
    virtual ~ChildProcess() = default;
    // Sends the child the Ctrl-C a terminal would send it.
    virtual void Interrupt() = 0;
    [[nodiscard]] virtual bool Ended() const = 0;
    // The exit status once ended; a child ended by a signal counts as 1.
    [[nodiscard]] virtual int ExitStatus() const = 0;
};

// Why child processes cannot be started on this system; empty where they can.
std::string ChildProcessesUnavailable();

// Starts `program` with `arguments`, its stdin the null device, in a process
// group of its own so that a terminal's Ctrl-C reaches the gang alone.
std::unique_ptr<ChildProcess> StartChild(const std::string& program,
                                         const std::vector<std::string>& arguments,
                                         std::string& error);

// What a child wrote: `index` into the list, `fromStderr`, the bytes.
using ChildOutput = std::function<void(std::size_t index, bool fromStderr, std::string_view bytes)>;

// Waits up to `timeoutMs` for output from the children not yet ended, hands
// it on, and notes the children that have ended (both pipes closed, waited for).
void PumpChildren(const std::vector<ChildProcess*>& children, int timeoutMs,
                  const ChildOutput& output);

// Ctrl-C for the gang itself: counted, not acted on, until the gang looks.
void InstallGangInterrupt();
void RemoveGangInterrupt();
[[nodiscard]] int GangInterrupts();

// A new empty folder for temporary files; empty with a reason when none can be made.
std::string MakeTemporaryFolder(std::string& error);

}  // namespace o8r::cli
