#pragma once

// A program run as a child process in a folder of the test's, its output
// caught in files (never a pipe that could fill while the test waits).
// POSIX only.

#include <sys/types.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/ScratchDir.h"

namespace o8r::test {

struct ChildSpec {
    std::vector<std::string> argv;  // argv[0] is the program's path
    std::filesystem::path dir;      // the child's working folder
    std::string stdoutPath = {};    // where standard output goes, instead of being caught
    // Standard error joins standard output, in order. Not for a child that
    // opens /dev/stderr itself: that opens the caught file again, from its start.
    bool errIntoOut = false;
    bool offscreen = false;             // QT_QPA_PLATFORM=offscreen
    std::vector<int> closeFds = {};     // standard streams the child starts without
    bool stdoutBrokenPipe = false;      // standard output a pipe no one reads
    long fileSizeLimit = 0;             // RLIMIT_FSIZE in bytes (SIGXFSZ ignored); 0: none
    unsigned alarmSeconds = 0;          // a child that hangs is ended by SIGALRM
    std::vector<std::string> env = {};  // NAME=VALUE added to the environment
};

struct ChildRun {
    int exitStatus = -1;  // -1 when ended by a signal
    int signal = 0;
    std::string out;
    std::string err;
};

class Child {
  public:
    explicit Child(ChildSpec spec);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t Pid() const { return m_pid; }
    // What the child has written to its caught standard error so far.
    std::string ErrSoFar() const { return ReadWholeFile(m_capture.File("err")); }
    // Waits for the child and collects what it wrote.
    ChildRun Finish();

  private:
    ScratchDir m_capture;
    pid_t m_pid = -1;
};

ChildRun RunChild(ChildSpec spec);

// The path of o8rprog followed by `args`.
std::vector<std::string> O8rprogArgs(const std::vector<std::string>& args);

// `head` followed by `tail`: a command line from its pieces.
std::vector<std::string> Joined(std::vector<std::string> head,
                                const std::vector<std::string>& tail);
bool Has(const std::string& text, const std::string& part);

// One run of o8rprog in a fresh folder that holds data/sample.mot: what is
// made there first, the arguments, and what must come of the run.
struct CliRow {
    const char* name;
    std::function<void(const ScratchDir&)> prepare;
    std::vector<std::string> args;
    int exitStatus;
    std::vector<std::string> said;  // each in standard output or standard error
    std::function<void(const ScratchDir&, const ChildRun&)> after = nullptr;
    std::function<void(const ScratchDir&, ChildSpec&)> spec = nullptr;  // how the child runs
};

// Each row as a test's own SCOPED_TRACE, under an alarm that ends a run that hangs.
void RunCliRows(const std::vector<CliRow>& rows);

}  // namespace o8r::test
