// The box's store never reads as empty on a short answer, a box left in its
// reset never ends in a success, the simulated box's state file belongs to
// one run at a time and is never lost without a failure, and a cancel in a
// phase that cannot be cancelled is answered and the phase carries on. The
// API and the factory in process; o8rprog and the desktop program as child
// processes where a signal or a second run is part of the case (POSIX only).

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <array>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bridges/BridgeFactory.h"
#include "core/model/Messages.h"
#include "core/operations/BoxSession.h"
#include "core/window/SharedState.h"
#include "sim/SimState.h"
#include "support/ChildProcess.h"
#include "support/ControllerHarness.h"
#include "support/SRecordText.h"
#include "support/ScratchDir.h"
#include "support/SessionRig.h"
#include "support/TestData.h"

namespace o8r::test {
namespace {

constexpr char kPart[] = "R5F212A8SN";
const char kResetBox[] = "Please reset programmer!";

// ---------------------------------------------------------------------------
// Results: a box left in its reset.

TEST(ResetFailedTest, ABoxLeftInResetEndsInOneMessageAndNoSuccess) {
    struct Row {
        Operation operation;
        Outcome outcome;
        bool succeeded;
        std::vector<std::string> shown;
    };
    const Row rows[] = {
        {Operation::Load, Outcome::Completed, false, {kResetBox}},
        {Operation::Program, Outcome::Completed, false, {kResetBox}},
        {Operation::Verify, Outcome::Completed, false, {kResetBox}},
        {Operation::Query, Outcome::StoredName, false, {kResetBox}},
        {Operation::Query, Outcome::StoreEmpty, false, {kResetBox}},
        // The failure it ended with still follows the request, as the window shows it.
        {Operation::Load, Outcome::TimeOut, false, {kResetBox, text::kTimeOutError}},
        // A read's data came whole before its closing reset.
        {Operation::Read, Outcome::Completed, true, {kResetBox, text::kReadCompleted}},
    };
    for (const Row& row : rows) {
        OperationResult result{row.operation, row.outcome};
        result.resetFailed = true;
        SCOPED_TRACE(OutcomeName(row.outcome));
        EXPECT_EQ(result.Succeeded(), row.succeeded);
        std::vector<std::string> shown;
        for (const Message& message : MessagesFor(result))
            shown.push_back(message.text);
        EXPECT_EQ(shown, row.shown);
    }
}

// ---------------------------------------------------------------------------
// The store query through the operations API.

using Rig = SessionRig;

std::vector<std::uint8_t> Answer(const std::string& text) {
    return {text.begin(), text.end()};
}

TEST(StoreQueryTest, OnlyAWholeAnswerNamesTheStore) {
    struct Row {
        const char* name;
        std::vector<std::uint8_t> answer;
        Outcome outcome;
        std::string storedName;
    };
    std::vector<std::uint8_t> empty(16, 0xFF);
    std::vector<std::uint8_t> bell = Answer("BL\aNK           ");
    const Row rows[] = {
        {"a name", Answer("BLINK           "), Outcome::StoredName, "BLINK"},
        {"an empty store", empty, Outcome::StoreEmpty, ""},
        {"a control character", bell, Outcome::StoredName, "BL_NK"},
        {"fifteen bytes", Answer("BLINK          "), Outcome::TimeOut, ""},
        {"one byte", {0xFF}, Outcome::TimeOut, ""},
        {"nothing", {}, Outcome::TimeOut, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig;
        rig.h.faults.replyAfter = CallIs("write 3F");
        rig.h.faults.reply = row.answer;
        const OperationResult result = rig.session.QueryStore();
        EXPECT_EQ(OutcomeName(result.outcome), std::string(OutcomeName(row.outcome)));
        EXPECT_EQ(result.storedName, row.storedName);
        EXPECT_EQ(result.Succeeded(), row.outcome != Outcome::TimeOut);
    }
}

TEST(StoreQueryTest, LoadNeverStoresOverAStoreItCouldNotRead) {
    Rig rig;
    ASSERT_TRUE(rig.session.Load(rig.image, {}).Succeeded());
    rig.h.box.ClearCommandLog();
    rig.h.faults.replyAfter = CallIs("write 3F");
    rig.h.faults.reply = Answer("image");
    const OperationResult result = rig.session.Load(rig.image, {});
    EXPECT_EQ(OutcomeName(result.outcome), std::string("TimeOut"));
    for (const std::string& command : rig.h.box.CommandLog())
        EXPECT_NE(command.rfind("D ", 0), 0u) << "a store header was sent";
}

// The window's load, with the box vanishing after each number of calls in turn.
TEST(StoreQueryTest, AWindowLoadThatLosesTheBoxAsksForAResetOnce) {
    const auto start = [](ControllerHarness& h) {
        EXPECT_TRUE(h.StartWithPart(kPart));
        h.ChoosePatternImage(0xC000, 3);
    };
    ControllerHarness whole;
    start(whole);
    const std::uint64_t started = whole.box.CallCount();
    whole.controller.OnLoadButton();
    whole.RunUntilIdle();
    const std::uint64_t calls = whole.box.CallCount() - started;
    int resetOnly = 0;
    for (std::uint64_t n = 1; n <= calls; ++n) {
        SimOptions options;
        options.faults.unplugAfterCalls = started + n;
        ControllerHarness h(options);
        start(h);
        h.controller.OnLoadButton();
        h.RunUntilIdle();
        std::size_t requests = 0;
        bool failed = false;
        bool completed = false;
        for (const Message& message : h.prompts.messages) {
            requests += message.text == kResetBox;
            failed = failed || message.icon == MsgIcon::Error || message.caption == "ERROR";
            completed = completed || message.text == text::kLoadCompleted;
        }
        SCOPED_TRACE("unplug after " + std::to_string(n) + " calls");
        EXPECT_LE(requests, 1u);
        EXPECT_FALSE(failed && completed);
        resetOnly += requests == 1 && h.prompts.messages.size() == 1;
    }
    EXPECT_GT(resetOnly, 0);
}

// ---------------------------------------------------------------------------
// Ctrl-C in phases that cannot be cancelled.

struct RefusalRecorder : OperationListener {
    std::vector<Phase> refused;
    void CannotCancel(Phase phase) override { refused.push_back(phase); }
};

TEST(UncancellableTest, ACancelIsAnsweredOnceAndThePhaseCarriesOn) {
    struct Row {
        const char* name;
        bool updateMode;
        std::function<OperationResult(Rig&, const OperationHooks&)> run;
        Phase phase;
    };
    const Row rows[] = {
        {"erase", false,
         [](Rig& r, const OperationHooks& hooks) {
             r.cancel.Request();
             return r.session.Erase({0x00C0, 0x0080}, hooks);
         },
         Phase::Erase},
        {"verify", false,
         [](Rig& r, const OperationHooks& hooks) {
             EXPECT_TRUE(r.session.Program(r.image, {}).Succeeded());
             r.cancel.Request();
             return r.session.Verify(hooks);
         },
         Phase::Verify},
        {"firmware update", true,
         [](Rig& r, const OperationHooks& hooks) {
             EXPECT_EQ(r.session.Detect().outcome, Outcome::FirmwareUpdateMode);
             r.cancel.Request();
             return r.session.Update(SourcePath("data/firmware-sample.mot"), hooks);
         },
         Phase::Update},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SimOptions options;
        options.updateMode = row.updateMode;
        Rig rig(options);
        RefusalRecorder recorder;
        const OperationHooks hooks{&recorder, &rig.cancel, nullptr};
        const OperationResult result = row.run(rig, hooks);
        EXPECT_EQ(OutcomeName(result.outcome), std::string("Completed"));
        EXPECT_EQ(recorder.refused, std::vector<Phase>{row.phase});
        EXPECT_FALSE(rig.cancel.Requested());
        rig.session.Release();
    }
}

// ---------------------------------------------------------------------------
// The state file: one run at a time, a kept target, a save that fails.

BoxChoice SimAt(const std::string& path) {
    BoxChoice choice;
    choice.kind = BoxChoice::Kind::Sim;
    choice.simStatePath = path;
    choice.simStateWait = std::chrono::milliseconds{50};
    return choice;
}

TEST(StateFileTest, ASecondRunWaitsForTheFirstThenSeesItsState) {
    ScratchDir dir;
    const std::string path = dir.File("box.state");
    VirtualClock clock;
    std::string error;
    auto first = MakeBridge(SimAt(path), clock, error);
    ASSERT_NE(first, nullptr) << error;

    auto second = MakeBridge(SimAt(path), clock, error);
    EXPECT_EQ(second, nullptr);
    EXPECT_NE(error.find(path), std::string::npos) << error;
    EXPECT_NE(error.find("in use by another run"), std::string::npos) << error;

    first.reset();  // saved and let go
    error.clear();
    second = MakeBridge(SimAt(path), clock, error);
    EXPECT_NE(second, nullptr) << error;
    EXPECT_TRUE(std::filesystem::exists(path));
}

TEST(StateFileTest, SwitchesThatMakeATargetApplyToANewBoxOnly) {
    const std::array<std::uint8_t, 7> code{1, 2, 3, 4, 5, 6, 7};
    const std::array<std::uint8_t, 7> other{1, 2, 3, 4, 5, 6, 8};
    struct Row {
        const char* name;
        std::optional<std::array<std::uint8_t, 7>> keptWith;  // nothing: a new box
        std::function<void(SimFaults&)> switches;
        bool made;
    };
    const Row rows[] = {
        {"protected, new box", std::nullopt, [&](SimFaults& f) { f.protectedCode = code; }, true},
        {"protected as kept", code, [&](SimFaults& f) { f.protectedCode = code; }, true},
        {"protected otherwise", code, [&](SimFaults& f) { f.protectedCode = other; }, false},
        {"protected, kept open",
         std::array<std::uint8_t, 7>{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
         [&](SimFaults& f) { f.protectedCode = code; }, false},
        {"loader locked, kept open", code, [](SimFaults& f) { f.loaderLocked = true; }, false},
        {"no switch, kept", code, [](SimFaults&) {}, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchDir dir;
        const std::string path = dir.File("box.state");
        VirtualClock clock;
        std::string error;
        if (row.keptWith) {
            BoxChoice kept = SimAt(path);
            kept.sim.faults.protectedCode = *row.keptWith;
            ASSERT_NE(MakeBridge(kept, clock, error), nullptr) << error;
        }
        BoxChoice choice = SimAt(path);
        row.switches(choice.sim.faults);
        auto box = MakeBridge(choice, clock, error);
        EXPECT_EQ(box != nullptr, row.made) << error;
        if (!row.made) {
            EXPECT_NE(error.find("new state file"), std::string::npos) << error;
        }
    }
}

TEST(StateFileTest, AStateThatCannotBeWrittenIsAFailure) {
    ScratchDir dir;
    const std::string path = dir.File("box.state");
    VirtualClock clock;
    std::string error;
    auto box = MakeBridge(SimAt(path), clock, error);
    ASSERT_NE(box, nullptr) << error;
    // Something else took the name meanwhile: a folder that is not empty.
    std::filesystem::create_directory(path);
    dir.Write("box.state/keep", "x");
    EXPECT_FALSE(SaveBoxState(*box, error));
    EXPECT_NE(error.find("box.state"), std::string::npos) << error;
    box.reset();  // tried once; the destructor does not try again
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

#ifndef _WIN32
// ---------------------------------------------------------------------------
// o8rprog and the desktop program as child processes.

std::size_t Count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

ChildRun Programmer(const std::filesystem::path& dir, const std::vector<std::string>& args) {
    return RunChild({O8rprogArgs(args), dir});
}

// Waits (within a bound) until `file` in `dir` holds `text`.
bool AwaitText(const std::filesystem::path& dir, const std::string& file, const std::string& text) {
    for (int i = 0; i < 3000; ++i) {
        if (ReadWholeFile((dir / file).string()).find(text) != std::string::npos)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds{10});
    }
    return false;
}

bool AwaitFile(const std::filesystem::path& file) {
    for (int i = 0; i < 3000; ++i) {
        if (std::filesystem::exists(file))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds{10});
    }
    return false;
}

const std::vector<std::string> kSim = {"--box", "sim", "--sim-state", "box.state", "-q"};

std::vector<std::string> Sim(std::vector<std::string> args) {
    args.insert(args.begin(), kSim.begin(), kSim.end());
    return args;
}

struct CliRow {
    const char* name;
    std::vector<std::vector<std::string>> before;  // run first, as they come
    std::vector<std::string> args;
    int exitStatus;
    std::string out;                 // standard output, whole
    std::string errHolds;            // a text standard error holds
    std::vector<std::string> query;  // then o8rprog query prints `queried`
    std::string queried;
};

TEST(StoreStateCliTest, StoreFaultsAndKeptTargetsEndAsFailures) {
    const std::string tiny = SourcePath("tests/cli/data/tiny.mot");
    const std::string sample = SourcePath("data/sample.mot");
    const std::vector<std::string> load = {"-y", "load", "--mcu", kPart, tiny};
    const CliRow rows[] = {
        {"query, short answer",
         {Sim(load)},
         Sim({"--sim-fault", "short-read", "query"}),
         1,
         "",
         "ERROR: Time out error!",
         Sim({"query"}),
         "tiny\n"},
        {"load without --yes, short answer",
         {Sim(load)},
         Sim({"--sim-fault", "short-read", "load", "--mcu", kPart, sample}),
         1,
         "",
         "ERROR: Time out error!",
         Sim({"query"}),
         "tiny\n"},
        {"protected target for a kept box",
         {Sim(load)},
         Sim({"--sim-protect", "11223344556677", "query"}),
         1,
         "",
         "'box.state' has its target already",
         Sim({"query"}),
         "tiny\n"},
        {"a name of other characters",
         {},
         Sim({"-y", "load", "--mcu", kPart, "\xC3\xA9t\xC3\xA9-\xE2\x82\xAC.mot"}),
         0,
         "File load successfully completed.\n",
         "",
         Sim({"query"}),
         "_t_-_\n"},
        {"a name of four characters",
         {},
         Sim({"-y", "load", "--mcu", kPart, "a.mo"}),
         0,
         "File load successfully completed.\n",
         "",
         Sim({"query"}),
         "a.mo\n"},
        {"the next load asks about a short name",
         {Sim({"-y", "load", "--mcu", kPart, "a.mo"})},
         Sim({"load", "--mcu", kPart, tiny}),
         1,
         "",
         "The file \"a.mo\" is in programmer.",
         Sim({"query"}),
         "a.mo\n"},
    };
    for (const CliRow& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchDir dir;
        for (const char* name : {"\xC3\xA9t\xC3\xA9-\xE2\x82\xAC.mot", "a.mo"})
            std::filesystem::copy_file(tiny, dir.Path() / name);
        for (const auto& args : row.before)
            ASSERT_EQ(Programmer(dir.Path(), args).exitStatus, 0);
        const ChildRun run = Programmer(dir.Path(), row.args);
        EXPECT_EQ(run.exitStatus, row.exitStatus) << run.err;
        EXPECT_EQ(run.out, row.out);
        EXPECT_NE(run.err.find(row.errHolds), std::string::npos) << run.err;
        const ChildRun query = Programmer(dir.Path(), row.query);
        EXPECT_EQ(query.out, row.queried) << query.err;
    }
}

// The box vanishes after each number of bridge calls in turn: whatever the
// moment, one fault is one request to reset the box, and a run that shows an
// error never shows the command's own success or exits 0 (a program whose
// verify failed has still said that it programmed).
TEST(StoreStateCliTest, AnUnplugAtAnyMomentIsOneFailure) {
    const std::string tiny = SourcePath("tests/cli/data/tiny.mot");
    struct Sweep {
        std::vector<std::string> args;
        std::string success;  // on standard output
        int from;             // calls, up to past the whole run
        int to;
    };
    const Sweep sweeps[] = {
        {{"query"}, "(empty)", 1, 70},
        {{"-y", "load", "--mcu", kPart, tiny}, "File load successfully completed.", 1, 130},
        // From the last pages of the program on, through the whole verify.
        {{"-y", "program", "--verify", "--mcu", kPart, tiny},
         "Verify successfully completed.",
         100,
         240},
    };
    for (const Sweep& sweep : sweeps) {
        SCOPED_TRACE(sweep.success);
        ScratchDir dir;
        int resetOnly = 0;
        bool succeeded = false;
        // Every third count: each kind of moment lasts several calls.
        for (int n = sweep.from; n <= sweep.to; n += 3) {
            std::vector<std::string> args = {"--box", "sim", "-q", "--sim-fault",
                                             "unplug-after-calls:" + std::to_string(n)};
            args.insert(args.end(), sweep.args.begin(), sweep.args.end());
            const ChildRun run = Programmer(dir.Path(), args);
            SCOPED_TRACE("unplug after " + std::to_string(n) + " calls\n" + run.out + run.err);
            const bool failed = run.err.find("ERROR") != std::string::npos ||
                                run.err.find("Error") != std::string::npos;
            EXPECT_LE(Count(run.err, kResetBox), 1u);
            if (failed) {
                EXPECT_EQ(run.exitStatus, 1);
                EXPECT_EQ(run.out.find(sweep.success), std::string::npos);
            }
            if (run.err.find(std::string("Error: ") + kResetBox + "\n") == 0 &&
                Count(run.err, "\n") == 1)
                ++resetOnly;
            succeeded = run.exitStatus == 0 && run.out.find(sweep.success) != std::string::npos;
        }
        EXPECT_GT(resetOnly, 0) << "the closing reset was reached";
        EXPECT_TRUE(succeeded) << "the last run outlives the operation";
    }
}

TEST(StoreStateCliTest, TwoRunsOnOneStateKeepBothImages) {
    ScratchDir dir;
    dir.Write("low.mot", SRecordImage(0x4000, PatternBytes(8 * 256)));
    const std::string tiny = SourcePath("tests/cli/data/tiny.mot");
    // The first takes real time; the second comes while it works.
    Child slow(
        {O8rprogArgs(Sim({"--sim-realtime", "program", "--mcu", kPart, "low.mot"})), dir.Path()});
    ASSERT_TRUE(AwaitFile(dir.Path() / "box.state.lock"));
    const ChildRun fast = Programmer(dir.Path(), Sim({"program", "--mcu", kPart, tiny}));
    const ChildRun first = slow.Finish();
    EXPECT_EQ(first.exitStatus, 0) << first.err;
    EXPECT_EQ(fast.exitStatus, 0) << fast.err;
    const ChildRun low =
        Programmer(dir.Path(), Sim({"read", "--mcu", kPart, "--range", "4000-4003", "--dump"}));
    const ChildRun high =
        Programmer(dir.Path(), Sim({"read", "--mcu", kPart, "--range", "C000-C003", "--dump"}));
    EXPECT_NE(low.out.find("004000  00 01 02 03"), std::string::npos) << low.out;
    EXPECT_NE(high.out.find("00C000  04 04 FC 00"), std::string::npos) << high.out;
}

TEST(StoreStateCliTest, AStateLostDuringTheRunFailsIt) {
    ScratchDir dir;
    Child child({O8rprogArgs(Sim(
                     {"--sim-realtime", "--trace", "run.trace", "erase", "--mcu", kPart, "--all"})),
                 dir.Path()});
    ASSERT_TRUE(AwaitText(dir.Path(), "run.trace", "write"));
    std::filesystem::create_directory(dir.Path() / "box.state");
    dir.Write("box.state/keep", "x");
    const ChildRun run = child.Finish();
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_NE(run.err.find("state was not saved"), std::string::npos) << run.err;
}

TEST(StoreStateCliTest, CtrlCInAPhaseThatCannotBeCancelledIsAnsweredOnce) {
    struct Row {
        std::vector<std::string> args;
        std::string commandSent;  // the trace line after which Ctrl-C comes
        std::string said;
        std::string completed;
    };
    const std::string tiny = SourcePath("tests/cli/data/tiny.mot");
    const Row rows[] = {
        {{"erase", "--mcu", kPart, "--all"},
         "write 1 45",
         "The erase cannot be cancelled; please wait.\n",
         "Erase successfully completed.\n"},
        {{"program", "--verify", "--mcu", kPart, "low.mot"},
         "write 1 52",
         "The verify read-back cannot be cancelled; please wait.\n",
         "Program successfully completed.\nVerify successfully completed.\n"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.said);
        ScratchDir dir;
        dir.Write("low.mot", SRecordImage(0x4000, PatternBytes(64 * 256)));
        std::vector<std::string> args = {"--sim-realtime", "--trace", "run.trace"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        Child child({O8rprogArgs(Sim(args)), dir.Path()});
        ASSERT_TRUE(AwaitText(dir.Path(), "run.trace", row.commandSent));
        kill(child.Pid(), SIGINT);
        const ChildRun run = child.Finish();
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(run.err, row.said);
        EXPECT_EQ(run.out, row.completed);
    }
}

TEST(StoreStateCliTest, TheDesktopProgramSavesItsStateWhenTerminated) {
    const std::string program = BinPath("o8r-programmer");
    if (!std::filesystem::exists(program))
        GTEST_SKIP() << "the desktop program is not built";
    for (int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        ScratchDir dir;
        Child gui(
            {{program, "--simulate", "--sim-state", "box.state"}, dir.Path(), {}, false, true});
        // The lock is taken once the signals are caught.
        ASSERT_TRUE(AwaitFile(dir.Path() / "box.state.lock"));
        std::this_thread::sleep_for(std::chrono::milliseconds{200});
        kill(gui.Pid(), signal);
        const ChildRun run = gui.Finish();
        EXPECT_EQ(run.signal, signal) << run.err;
        SimState state;
        std::string error;
        EXPECT_TRUE(DecodeSimState(ReadWholeFile(dir.File("box.state")), state, error)) << error;
    }
}
#endif  // !_WIN32

}  // namespace
}  // namespace o8r::test
