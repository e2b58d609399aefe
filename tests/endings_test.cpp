// Every ending of connect, Program, Erase, Blank Check, Read, Load, the
// stored-file query and the firmware update, each provoked by a switch of the
// simulated box and run through the real o8rprog: the message and caption it
// shows, its exit status, whether the box was reset before or after the
// message (the DTR pulse in the trace), and that the strict box saw no broken
// rule on the way.
//
// The trace goes to standard error with the messages, so the two come in the
// order they happened. The window's side of each ending (the icon, which a
// terminal does not show) is checked by the same row run through the main
// window's controller with the same switches.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/model/Messages.h"
#include "core/operations/ReadSession.h"
#include "core/window/ProgrammerController.h"
#include "sim/SimFaults.h"
#include "support/ControllerHarness.h"
#include "support/RecordingReadView.h"
#include "support/ScratchDir.h"
#include "support/TestData.h"

namespace o8r::test {
namespace {

enum class Reset { None, Before, After, Both };

struct Ending {
    Ending(const char* name, std::vector<std::string> args, std::string shown, MsgIcon icon,
           int exitStatus, Reset reset, int interruptAfterMs = 0,
           std::vector<std::string> prepare = {}, std::string notShown = {})
        : name(name),
          args(std::move(args)),
          shown(std::move(shown)),
          icon(icon),
          exitStatus(exitStatus),
          reset(reset),
          interruptAfterMs(interruptAfterMs),
          prepare(std::move(prepare)),
          notShown(std::move(notShown)) {}

    const char* name;
    std::vector<std::string> args;  // after "o8rprog --box sim --sim-state box.state"
    std::string shown;              // "CAPTION: text", or the text alone for INFO
    MsgIcon icon;                   // as the window shows the message
    int exitStatus;
    Reset reset;
    int interruptAfterMs;              // Ctrl-C this long after the start (real time)
    std::vector<std::string> prepare;  // a run before, on the same box
    std::string notShown;              // a message that must not be shown
};

const std::string kPart = "R5F212A8SN";
const std::vector<std::string> kProgram = {"program", "--mcu", kPart, "sample.mot"};
const std::vector<std::string> kEraseAll = {"erase", "--mcu", kPart, "--all"};
const std::vector<std::string> kBlank = {"blank-check", "--mcu", kPart, "--range", "C000-C3FF"};
const std::vector<std::string> kRead = {"read", "--mcu", kPart, "--range", "C000-C0FF", "--dump"};
const std::vector<std::string> kLoad = {"load", "--mcu", kPart, "sample.mot"};
const std::vector<std::string> kQuery = {"query"};
const std::vector<std::string> kUpdate = {"update", "firmware-sample.mot"};

std::vector<std::string> With(std::vector<std::string> switches,
                              const std::vector<std::string>& command) {
    switches.insert(switches.end(), command.begin(), command.end());
    return switches;
}
std::vector<std::string> Fault(const std::string& fault, const std::vector<std::string>& command) {
    return With({"--sim-fault", fault}, command);
}
std::vector<std::string> UpdateFault(const std::string& fault) {
    return With({"--sim-update-mode", "--sim-fault", fault}, kUpdate);
}
// Real time and every box time at the edge of its allowance, so that an
// operation lasts long enough for a Ctrl-C to find it running.
std::vector<std::string> Slow(const std::vector<std::string>& command) {
    return With({"--sim-realtime", "--sim-timing", "slow"}, command);
}

const char kTimeOut[] = "ERROR: Time out error!";
// The window stays silent here; the command line says why it stops.
const char kNoBox[] = "ERROR: No programmer is detected!";
const char kOpenFailed[] = "ERROR: Can not open programmer!";
const char kReadCancelled[] = "Read is canceled.";
const char kResetBox[] = "Error: Please reset programmer!";

// clang-format off
const Ending kEndings[] = {
    // Programmer detection.
    {"DetectTwoBoxes", Fault("two-boxes", kProgram), "ERROR: More than 1 programmers are detected!", MsgIcon::Error, 1, Reset::None},
    {"DetectNoBox", Fault("absent", kProgram), kNoBox, MsgIcon::Error, 1, Reset::None},
    {"DetectOpenFails", Fault("unplug-after-calls:1", kProgram), kOpenFailed, MsgIcon::Error, 1, Reset::None},
    // A second box comes and goes while a Program runs (slow pages, so that
    // the poll sees it): the window opens the box afresh, which resets it, and
    // the page's answer is lost with the reset.
    {"DetectCountBackToOne", With({"--sim-timing", "slow"}, Fault("count-sequence:1,2,1", kProgram)), "ERROR: Verify error!", MsgIcon::Error, 1, Reset::Before},
    // The connect sequence, target path (Program) and Load path.
    {"ConnectResetNeverReady", Fault("unplug-after-calls:8", kProgram), kResetBox, MsgIcon::Error, 1, Reset::Before},
    {"ConnectLineSetUpFails", Fault("baud-fails", kProgram), "ERROR: Can not open target!", MsgIcon::Error, 1, Reset::None},
    {"ConnectFirstWait", Fault("busy-at:setup:1000", kProgram), kTimeOut, MsgIcon::Error, 1, Reset::Before, 0, {}, kResetBox},
    {"ConnectShortWriteOfIdCode", Fault("short-write", kProgram), "ERROR: Connection is broken!", MsgIcon::None, 1, Reset::None},
    {"ConnectWriteOfCFails", Fault("write-fails-at:1", kProgram), "ERROR: Connection is broken!", MsgIcon::None, 1, Reset::None},
    {"ConnectWaitForC", Fault("busy-at:connect:2500", kProgram), kTimeOut, MsgIcon::Error, 1, Reset::Before, 0, {}, kResetBox},
    {"ConnectCAnsweredOther", Fault("answer:connect:58", kProgram), "ERROR: Can not connect with target!", MsgIcon::Error, 1, Reset::Before},
    {"ConnectNoTarget", Fault("target-absent", kProgram), "ERROR: Can not connect with target!", MsgIcon::Error, 1, Reset::Before},
    {"ConnectFinalWait", Fault("busy-at:handshake:2500", kProgram), kTimeOut, MsgIcon::Error, 1, Reset::Before, 0, {}, kResetBox},
    {"ConnectFinalI", Fault("protected:0102030405060C", kProgram), "ERROR: ID code error!", MsgIcon::Error, 1, Reset::Before},
    {"ConnectFinalT", Fault("answer:handshake:54", kProgram), kTimeOut, MsgIcon::Error, 1, Reset::Before, 0, {}, kResetBox},
    {"ConnectFinalOther", Fault("answer:handshake:4E", kProgram), "ERROR: Can not connect with programmer!", MsgIcon::Error, 1, Reset::Before},
    {"ConnectLoadShortHeader", Fault("short-write", kLoad), "ERROR: Connection is broken!", MsgIcon::None, 1, Reset::After},
    {"ConnectLoadFinalWait", Fault("busy-at:header:2500", kLoad), kTimeOut, MsgIcon::Error, 1, Reset::Before, 0, {}, kResetBox},
    {"ConnectLoadFinalI", Fault("answer:header:49", kLoad), "ERROR: Can not connect with programmer!", MsgIcon::Error, 1, Reset::Before},
    // Program.
    {"ProgramCompleted", kProgram, "Program successfully completed.", MsgIcon::None, 0, Reset::Before},
    {"ProgramBusyTooLong", Fault("busy-at-page:1:2000", kProgram), kTimeOut, MsgIcon::Error, 1, Reset::Before, 0, {}, kResetBox},
    {"ProgramAnswerS", Fault("answer:page:53", kProgram), "ERROR: Verify error!", MsgIcon::Error, 1, Reset::Before},
    {"ProgramAnswerX", Fault("wrong-answer:1", kProgram), "ERROR: Verify error!", MsgIcon::Error, 1, Reset::Before},
    {"ProgramUnplugged", Fault("unplug-at-page:1", kProgram), kResetBox, MsgIcon::Error, 1, Reset::Before},
    {"ProgramCancelled", Slow(kProgram), "Operating is canceled.\n 0% is finished.", MsgIcon::None, 1, Reset::Before, 1000},
    {"ProgramCancelAnsweredNo", Slow(With({"--cancel-answer", "no"}, kProgram)), "Program successfully completed.", MsgIcon::None, 0, Reset::Before, 1000},
    // Erase.
    {"EraseCompleted", kEraseAll, "Erase successfully completed.", MsgIcon::None, 0, Reset::Before},
    {"EraseAnswerF", Fault("answer:erase:46", kEraseAll), "ERROR: Erase error!", MsgIcon::Error, 1, Reset::Before},
    {"EraseBusyTooLong", Fault("busy-at-page:1:4000", kEraseAll), kTimeOut, MsgIcon::Error, 1, Reset::Before, 0, {}, kResetBox},
    // Blank check.
    {"BlankEmpty", kBlank, "Check area is empty.", MsgIcon::None, 0, Reset::Before},
    {"BlankNotEmpty", kBlank, "Check area is not empty.\nThe first filled address is 0x0C000.", MsgIcon::Exclamation, 3, Reset::After, 0, kProgram},
    {"BlankBusyTooLong", Fault("busy-at-page:1:1000", kBlank), kTimeOut, MsgIcon::Error, 1, Reset::Before, 0, {}, kResetBox},
    {"BlankCancelled", Slow(kBlank), "Checking is canceled.\n 0% is checked.", MsgIcon::None, 1, Reset::Before, 1000},
    // Read.
    {"ReadCompleted", kRead, "Read completed.", MsgIcon::None, 0, Reset::Both},
    {"ReadBusyTooLong", Fault("busy-at-page:1:1000", kRead), "ERROR: Time out errot!", MsgIcon::Error, 1, Reset::After},
    {"ReadCancelled", Slow({"read", "--mcu", kPart, "--range", "C000-CFFF", "--dump"}), kReadCancelled, MsgIcon::None, 1, Reset::After, 1000},
    // Load and its stored-file query.
    {"LoadCompleted", kLoad, "File load successfully completed.", MsgIcon::None, 0, Reset::Before},
    {"LoadFileRefused", {"load", "--mcu", kPart, "firmware-sample.mot"}, "ERROR: Load file address is out of memory map!", MsgIcon::Error, 1, Reset::After},
    {"LoadLineSetUpFails", Fault("baud-fails", kLoad), "ERROR: Can not open target!", MsgIcon::Error, 1, Reset::None},
    {"LoadFirstWait", Fault("busy-at:setup:1000", kLoad), kTimeOut, MsgIcon::Error, 1, Reset::Before},
    {"LoadQueryNotWritten", Fault("write-fails-at:1", kLoad), "ERROR: Connection is broken!", MsgIcon::None, 1, Reset::None},
    {"LoadQueryWait", Fault("busy-at:query:2500", kLoad), kTimeOut, MsgIcon::Error, 1, Reset::Before},
    {"LoadStoredFileKept", kLoad, "INFO: The file \"sample\" is in programmer.", MsgIcon::Question, 1, Reset::After, 0, With({"--yes"}, kLoad)},
    {"LoadRecordBusyTooLong", Fault("busy-at-page:1:1000", kLoad), kTimeOut, MsgIcon::Error, 1, Reset::Before, 0, {}, kResetBox},
    {"LoadAnswerS", Fault("answer:page:53", kLoad), "ERROR: Verify error!", MsgIcon::Error, 1, Reset::Before},
    {"LoadCancelled", Slow(kLoad), "Loading is canceled.\n 0% is finished.", MsgIcon::None, 1, Reset::Before, 1000},
    {"QueryEmpty", kQuery, "(empty)", MsgIcon::None, 0, Reset::Before},
    {"QueryStored", kQuery, "sample", MsgIcon::None, 0, Reset::Before, 0, kLoad},
    {"QueryWait", Fault("busy-at:query:2500", kQuery), kTimeOut, MsgIcon::Error, 1, Reset::Before},
    // Firmware update.
    {"UpdateCompleted", With({"--sim-update-mode"}, kUpdate), "Update completed. Please reset Programmer.", MsgIcon::None, 0, Reset::None},
    {"UpdateLineSetUpFails", UpdateFault("baud-fails"), "ERROR: Can not open target! Please reset Programmer.", MsgIcon::Error, 1, Reset::None},
    {"UpdateFileRefused", {"--sim-update-mode", "update", "sample.mot"}, "ERROR: Load file address is out of memory map!", MsgIcon::Error, 1, Reset::None},
    {"UpdateWriteFails", UpdateFault("write-fails-at:1"), "ERROR: Connection is broken!", MsgIcon::None, 1, Reset::None},
    {"UpdateNoEcho", UpdateFault("loader-echo:none"), "ERROR: Time out error! Please reset Programmer.", MsgIcon::None, 1, Reset::None},
    {"UpdateWrongEcho", UpdateFault("loader-echo:B1"), "ERROR: Can not connect with Programmer! Please reset Programmer.", MsgIcon::None, 1, Reset::None},
    {"UpdateIdStatusMissing", UpdateFault("loader-mute:1"), "ERROR: Time out error! Please reset Programmer.", MsgIcon::None, 1, Reset::None},
    {"UpdateIdRefused", UpdateFault("loader-locked"), "ERROR: ID code error! Please reset Programmer.", MsgIcon::None, 1, Reset::None},
    {"UpdateEraseStatusMissing", UpdateFault("loader-mute:2"), "ERROR: Time out error! Please reset Programmer.", MsgIcon::None, 1, Reset::None},
    {"UpdateEraseNotReady", UpdateFault("loader-not-ready:erase"), "ERROR: Time out error! Please reset Programmer.", MsgIcon::None, 1, Reset::None},
    {"UpdateBlock0EraseError", UpdateFault("loader-erase-fail:0"), "ERROR: Block 0 erase error! Please reset Programmer.", MsgIcon::None, 1, Reset::None},
    {"UpdateBlock1EraseError", UpdateFault("loader-erase-fail:1"), "ERROR: Block 1 erase error! Please reset Programmer.", MsgIcon::None, 1, Reset::None},
    {"UpdatePageStatusMissing", UpdateFault("loader-mute:4"), "ERROR: Time out error!", MsgIcon::None, 1, Reset::None},
    {"UpdatePageNotReady", UpdateFault("loader-not-ready:page"), "ERROR: Time out error! Please reset Programmer.", MsgIcon::None, 1, Reset::None},
    {"UpdateProgramError", UpdateFault("loader-program-fail"), "ERROR: Program error!", MsgIcon::None, 1, Reset::None},
    // Every piece of the box's work just inside what the program allows for
    // it, and as short as it can be: the completions still come.
    {"ProgramCompletedSlow", With({"--sim-timing", "slow"}, kProgram), "Program successfully completed.", MsgIcon::None, 0, Reset::Before},
    {"EraseCompletedSlow", With({"--sim-timing", "slow"}, kEraseAll), "Erase successfully completed.", MsgIcon::None, 0, Reset::Before},
    {"BlankEmptySlow", With({"--sim-timing", "slow"}, kBlank), "Check area is empty.", MsgIcon::None, 0, Reset::Before},
    {"ReadCompletedSlow", With({"--sim-timing", "slow"}, kRead), "Read completed.", MsgIcon::None, 0, Reset::Both},
    {"LoadCompletedSlow", With({"--sim-timing", "slow"}, kLoad), "File load successfully completed.", MsgIcon::None, 0, Reset::Before},
    {"UpdateCompletedSlow", With({"--sim-timing", "slow", "--sim-update-mode"}, kUpdate), "Update completed. Please reset Programmer.", MsgIcon::None, 0, Reset::None},
    {"ProgramCompletedFast", With({"--sim-timing", "fast"}, kProgram), "Program successfully completed.", MsgIcon::None, 0, Reset::Before},
    {"UpdateCompletedFast", With({"--sim-timing", "fast", "--sim-update-mode"}, kUpdate), "Update completed. Please reset Programmer.", MsgIcon::None, 0, Reset::None},
};
// clang-format on

#ifndef _WIN32
struct ProgramRun {
    int exitStatus = -1;
    std::vector<std::string> lines;  // standard output and error, with the trace
    std::string text;
};

// Runs o8rprog in `dir` with both output streams on one pipe.
ProgramRun RunProgrammer(const std::filesystem::path& dir, const std::vector<std::string>& args,
                         int interruptAfterMs) {
    std::vector<std::string> argv = {BinPath("o8rprog"), "--box",   "sim",        "--sim-state",
                                     "box.state",        "--trace", "/dev/stderr"};
    argv.insert(argv.end(), args.begin(), args.end());
    int out[2];
    if (pipe(out) != 0)
        return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        dup2(out[1], 2);
        close(out[0]);
        close(out[1]);
        const int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, 0);
        if (chdir(dir.c_str()) != 0)
            _exit(127);
        std::vector<char*> cargs;
        for (std::string& a : argv)
            cargs.push_back(a.data());
        cargs.push_back(nullptr);
        execv(cargs[0], cargs.data());
        _exit(127);
    }
    close(out[1]);
    std::thread interrupter;
    if (interruptAfterMs > 0) {
        interrupter = std::thread([pid, interruptAfterMs] {
            std::this_thread::sleep_for(std::chrono::milliseconds(interruptAfterMs));
            kill(pid, SIGINT);
        });
    }
    ProgramRun run;
    char buffer[4096];
    for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;)
        run.text.append(buffer, static_cast<std::size_t>(n));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    if (interrupter.joinable())
        interrupter.join();
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::istringstream in(run.text);
    for (std::string line; std::getline(in, line);)
        run.lines.push_back(line);
    return run;
}

bool StartsWith(const std::string& line, const char* prefix) {
    return line.rfind(prefix, 0) == 0;
}

constexpr char kAssert[] = "flow 0 0 1 0 0 0";
constexpr char kRelease[] = "flow 0 0 0 0 0 0";

// Trace lines are the bridge's; anything else is the program's own output.
bool IsTraceLine(const std::string& line) {
    for (const char* prefix :
         {"count ", "open ", "close ", "write ", "read ", "flush ", "timeouts ", "queue ", "baud ",
          "line ", "flow ", "modem ", "! violation"}) {
        if (StartsWith(line, prefix))
            return true;
    }
    return false;
}

// A reset pulse ends just before line `at`: going back over the reset's
// polls (and the final close, for output printed once the box is let go),
// the last two flow-control calls assert and then release DTR.
bool PulseBefore(const std::vector<std::string>& lines, std::size_t at) {
    std::size_t i = at;
    if (i >= 2 && StartsWith(lines[i - 1], "close") && StartsWith(lines[i - 2], kAssert))
        i -= 2;
    while (i > 0 && (StartsWith(lines[i - 1], "modem") || StartsWith(lines[i - 1], "flush") ||
                     !IsTraceLine(lines[i - 1]))) {
        --i;
    }
    return i >= 2 && StartsWith(lines[i - 1], kRelease) && StartsWith(lines[i - 2], kAssert);
}

// The first bridge calls after line `at` pulse the reset (rather than hold it
// for the final close).
bool PulseAfter(const std::vector<std::string>& lines, std::size_t at) {
    std::size_t i = at + 1;
    while (i < lines.size() && !IsTraceLine(lines[i]))
        ++i;
    return i + 1 < lines.size() && StartsWith(lines[i], kAssert) &&
           StartsWith(lines[i + 1], kRelease);
}

#endif  // !_WIN32

// The row's switches for a simulated box in process, and its command word.
SimOptions OptionsFor(const Ending& ending, std::string& command, std::string& file,
                      MsgAnswer& cancelAnswer) {
    SimOptions options;
    cancelAnswer = MsgAnswer::Yes;
    for (std::size_t i = 0; i < ending.args.size(); ++i) {
        const std::string& arg = ending.args[i];
        const std::string next = i + 1 < ending.args.size() ? ending.args[i + 1] : "";
        if (arg == "--sim-fault") {
            EXPECT_EQ(ParseSimFault(next, options), "") << next;
            ++i;
        } else if (arg == "--sim-timing") {
            options.timings = TimingsFor(*ParseTimingProfile(next));
            ++i;
        } else if (arg == "--cancel-answer") {
            cancelAnswer = next == "no" ? MsgAnswer::No : MsgAnswer::Yes;
            ++i;
        } else if (arg == "--sim-update-mode") {
            options.updateMode = true;
        } else if (arg.rfind("--", 0) != 0 && command.empty()) {
            command = arg;
        } else if (arg.size() > 4 && arg.compare(arg.size() - 4, 4, ".mot") == 0) {
            file = SourcePath("data/" + arg);
        }
    }
    return options;
}

// Runs one command of a row on the window's controller.
void RunCommand(ControllerHarness& h, const std::string& command, const std::string& file,
                bool interrupt, MsgAnswer cancelAnswer) {
    ProgrammerController& c = h.controller;
    if (command == "program" || command == "load") {
        // Their button is the Cancel button while they run.
        const auto button = command == "program" ? &ProgrammerController::OnProgram
                                                 : &ProgrammerController::OnLoadButton;
        h.ChooseFile(file);
        if (interrupt) {
            h.CancelAtPage(button, 1, cancelAnswer);
        } else {
            (c.*button)();
        }
    } else if (command == "erase") {
        h.ScriptEraseAll();
        c.OnErase();
    } else if (command == "blank-check") {
        h.ScriptAddressRange("C000", "C3FF");
        c.OnBlankCheck();
        if (interrupt) {
            h.RunTicks(1);
            h.prompts.answers.push_back(cancelAnswer);
            c.OnBlankCheck();
        }
    } else if (command == "read") {
        h.ScriptAddressRange("C000", "C0FF");
        h.prompts.readWindow = [&h](ReadSession& session) {
            RecordingReadView window(h.clock);
            session.Open(window);
            window.RunTimer(session);
            return window.closedWith.value_or(DialogResult::Cancel);
        };
        c.OnRead();
    } else if (command == "update") {
        h.ChooseFile(file);
        c.OnLoadButton();
    }
    h.RunUntilIdle();
}

TEST(EndingsWindowTest, EveryRowsMessageHasItsCaptionAndIcon) {
    for (const Ending& ending : kEndings) {
        std::string command;
        std::string file;
        MsgAnswer cancelAnswer = MsgAnswer::Yes;
        SimOptions options = OptionsFor(ending, command, file, cancelAnswer);
        // The command line's own messages and its query have no window side.
        // The read window's cancel ends in its status text, not a message.
        if (command == "query" || ending.shown == kNoBox || ending.shown == kOpenFailed ||
            ending.shown == kReadCancelled) {
            continue;
        }
        ControllerHarness h(options);
        // Messages of the first poll (two boxes) count too.
        h.Start();
        if (!options.updateMode)
            h.SelectPart(kPart);
        if (!ending.prepare.empty()) {
            std::string first;
            std::string firstFile;
            MsgAnswer unused = MsgAnswer::Yes;
            OptionsFor(Ending("prepare", ending.prepare, "", MsgIcon::None, 0, Reset::None), first,
                       firstFile, unused);
            h.prompts.answers.push_back(MsgAnswer::Yes);
            RunCommand(h, first, firstFile, false, MsgAnswer::Yes);
            h.prompts.Clear();
        }
        RunCommand(h, command, file, ending.interruptAfterMs > 0, cancelAnswer);

        // "CAPTION: text" on a terminal; INFO shows the text alone.
        std::string caption = "INFO";
        std::string text = ending.shown;
        if (const auto colon = text.find(": ");
            colon != std::string::npos && text.compare(0, 6, "INFO: ") != 0 && colon < 6) {
            caption = text.substr(0, colon);
            text = text.substr(colon + 2);
        } else if (text.compare(0, 6, "INFO: ") == 0) {
            text = text.substr(6);
        }
        const auto& shown = h.prompts.messages;
        const auto found = std::find_if(shown.begin(), shown.end(), [&](const Message& m) {
            return m.text.compare(0, text.size(), text) == 0;
        });
        if (found == shown.end()) {
            ADD_FAILURE() << ending.name << ": not shown: " << text
                          << "; shown: " << ::testing::PrintToString(h.prompts.Texts());
            continue;
        }
        EXPECT_EQ(found->caption, caption) << ending.name;
        EXPECT_EQ(found->icon, ending.icon) << ending.name;
        // When the second box goes, the poll opens the box afresh with its line
        // not set up, and the running Program is not told: what it sends next
        // goes out with RTS off, and is lost, as on the hardware.
        const bool reopened = std::string(ending.name) == "DetectCountBackToOne";
        for (const std::string& violation : h.box.Violations()) {
            if (!reopened || violation.find("RTS inactive") == std::string::npos)
                ADD_FAILURE() << ending.name << ": protocol violation: " << violation;
        }
        h.box.ClearViolations();
    }
}

#ifndef _WIN32
// o8rprog itself, run as a child process (POSIX: fork, pipes, SIGINT).
void PrintTo(const Ending& ending, std::ostream* out) {
    *out << ending.name;
}

class EndingsTest : public ::testing::TestWithParam<Ending> {};

TEST_P(EndingsTest, ShowsItsMessageExitsAndResetsAsTheTableSays) {
    const Ending& ending = GetParam();
    ScratchDir dir;
    for (const char* file : {"sample.mot", "firmware-sample.mot"})
        std::filesystem::copy_file(SourcePath("data/") + file, dir.File(file));
    if (!ending.prepare.empty()) {
        const ProgramRun before = RunProgrammer(dir.Path(), ending.prepare, 0);
        ASSERT_EQ(before.exitStatus, 0) << before.text;
    }

    const ProgramRun run = RunProgrammer(dir.Path(), ending.args, ending.interruptAfterMs);
    SCOPED_TRACE(run.text);
    if (std::string(ending.name) == "DetectCountBackToOne") {
        // o8rprog holds its one box and does not poll while an operation runs:
        // a second box coming and going leaves the Program alone. The window,
        // which polls, loses the page (its run below).
        EXPECT_EQ(run.exitStatus, 0);
        EXPECT_NE(run.text.find(text::kProgramCompleted), std::string::npos);
        return;
    }
    EXPECT_EQ(run.exitStatus, ending.exitStatus);
    const auto shownAt = run.text.find(ending.shown);
    ASSERT_NE(shownAt, std::string::npos) << "missing: " << ending.shown;
    // The line where the message starts.
    std::size_t line = 0;
    for (std::size_t offset = 0; line < run.lines.size(); ++line) {
        offset += run.lines[line].size() + 1;
        if (offset > shownAt)
            break;
    }
    if (!ending.notShown.empty()) {
        EXPECT_EQ(run.text.find(ending.notShown), std::string::npos);
    }
    switch (ending.reset) {
        case Reset::None:
            EXPECT_FALSE(PulseBefore(run.lines, line)) << "no reset before the message";
            EXPECT_FALSE(PulseAfter(run.lines, line)) << "no reset after the message";
            break;
        case Reset::Before:
            EXPECT_TRUE(PulseBefore(run.lines, line)) << "the box is reset before the message";
            break;
        case Reset::After:
            EXPECT_FALSE(PulseBefore(run.lines, line)) << "no reset before the message";
            EXPECT_TRUE(PulseAfter(run.lines, line)) << "the box is reset after the message";
            break;
        case Reset::Both:
            EXPECT_TRUE(PulseBefore(run.lines, line)) << "the box is reset before the message";
            EXPECT_TRUE(PulseAfter(run.lines, line)) << "and again after it";
            break;
    }
    for (const std::string& l : run.lines)
        EXPECT_FALSE(StartsWith(l, "! violation")) << l;
}

INSTANTIATE_TEST_SUITE_P(Operations, EndingsTest, ::testing::ValuesIn(kEndings),
                         [](const ::testing::TestParamInfo<Ending>& info) {
                             return std::string(info.param.name);
                         });
#endif  // !_WIN32

}  // namespace
}  // namespace o8r::test
