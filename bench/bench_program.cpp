// Program of 512 pages through the controller and the simulated box on the
// real clock, with the window timers run by a TimerSchedule as the command
// line runs them.
//
// Program512OnTimedBox: the box models the 500000-baud line and an 8 ms page
// program. The page phase may take at most 1.15 x (wire time + the box's own
// time); counter `limit_use` is the measured time over that limit (<= 1 passes).
//
// Program512OnInstantBox: the box answers at once; at least 400 pages a
// second are required; `limit_use` is 400 over the measured rate (<= 1 passes).
//
// The timed run goes once on its own (busy:0) and once while two threads keep
// both cores busy (busy:1); counters measured_s (mean), limit_s (the wire
// time plus the box's own time) and ratio feed script/bench's table.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "bench/BenchSupport.h"
#include "core/model/Ids.h"
#include "core/operations/FileLoadJob.h"
#include "core/operations/Prompts.h"
#include "core/protocol/Clock.h"
#include "core/window/MainView.h"
#include "core/window/ProgrammerController.h"
#include "core/window/SharedState.h"
#include "core/window/TimerSchedule.h"
#include "sim/SimulatedBox.h"

namespace {

using namespace o8r;

constexpr std::size_t kPages = 512;
constexpr std::uint32_t kRomStart = 0x4000;  // 128 KB of program ROM from here: 512 pages
constexpr double kPageProgramSeconds = 0.008;
constexpr double kBaud = 500000.0;
// 'V', the 260-byte record, and the one-byte answer, 10 bits a byte.
constexpr double kWireSecondsPerPage = (1 + 260 + 1) * 10 / kBaud;
constexpr double kTimedLimitFactor = 1.15;
constexpr double kInstantMinPagesPerSecond = 400.0;

class BenchView final : public MainView {
  public:
    explicit BenchView(Clock& clock) : timers(clock) {}
    void ShowControl(ControlId, bool) override {}
    void EnableControl(ControlId, bool) override {}
    void SetControlText(ControlId, const std::string&) override {}
    void SetButtonIcon(ControlId, IconId) override {}
    void SetProgress(int percent) override { m_progress = percent; }
    int Progress() const override { return m_progress; }
    void StartTimer(TimerId id, int periodMs) override { timers.Start(id, periodMs); }
    void StopTimer(TimerId id) override { timers.Stop(id); }
    void FillMcuTree(const std::vector<McuTreeGroup>&) override {}
    void SetUpMcuListColumns() override {}
    void SetMcuListRows(const std::vector<McuListRow>&) override {}

    TimerSchedule timers;

  private:
    int m_progress = 0;
};

class NullLoadView final : public FileLoadView {
  public:
    void SetText(const std::string&) override {}
    void SetProgress(int) override {}
};

class BenchPrompts final : public Prompts {
  public:
    explicit BenchPrompts(std::string file) : m_file(std::move(file)) {}
    MsgAnswer ShowMessage(const Message& message) override {
        last = message;
        return MsgAnswer::No;
    }
    std::optional<std::string> ChooseOpenFile(Owner, const FileDialogSpec&) override {
        return m_file;
    }
    std::optional<std::string> ChooseSaveFile(Owner, const FileDialogSpec&) override {
        return std::nullopt;
    }
    DialogResult RunIdCodeDialog(IdCodeEntry&) override { return DialogResult::Cancel; }
    DialogResult RunEraseDialog(EraseBlockChoice&) override { return DialogResult::Cancel; }
    DialogResult RunAddressDialog(AddressRangeEntry&) override { return DialogResult::Cancel; }
    DialogResult RunBaseAddressDialog(BaseAddressEntry&) override { return DialogResult::Cancel; }
    DialogResult RunReadWindow(ReadSession&) override { return DialogResult::Cancel; }
    DialogResult RunFileLoadDialog(FileLoadJob& job) override {
        NullLoadView view;
        return job.Run(view) ? DialogResult::Ok : DialogResult::Cancel;
    }

    Message last;

  private:
    std::string m_file;
};

// A 128 KB image of 32-byte S2 records filling the program ROM.
std::string WriteImageFile() {
    return bench::WriteImageFile("o8r-bench-program.mot", kRomStart, kPages);
}

// Runs one Program of the whole image; returns the seconds of its page phase
// (from the first tick of the operation timer to the completion message).
std::optional<double> ProgramOnce(const SimOptions& options, const std::string& file,
                                  std::string& error) {
    ResetSharedState();
    g_selectedMcu = "R5F212BCSN";
    SetMemoryMap(MemoryMap{0x2400, 0x2C00, kRomStart, kRomStart + kPages * 256});

    RealClock clock;
    SimulatedBox box(clock, options);
    BenchView view(clock);
    BenchPrompts prompts(file);
    ProgrammerController controller(box, clock, view, prompts);
    auto dispatch = [&](TimerId id) { controller.OnTimer(id); };

    view.timers.Start(TIMER_DEVICE_POLL, 200);
    controller.PollProgrammer();
    controller.OnProgram();
    if (!view.timers.IsRunning(TIMER_OPERATION)) {
        error = "Program did not start: " + prompts.last.text;
        return std::nullopt;
    }
    const auto start = std::chrono::steady_clock::now();
    view.timers.RunUntil(
        clock, [&] { return !view.timers.IsRunning(TIMER_OPERATION); }, dispatch);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (prompts.last.text != "Program successfully completed." || g_pageCount != kPages) {
        error = "Program ended with: " + prompts.last.text;
        return std::nullopt;
    }
    return elapsed.count();
}

struct ProgramTimes {
    double worst = 0;
    double mean = 0;
};

// Programs the image once an iteration, each timed by its page phase, with
// both cores kept busy when `busy`; the slowest and the mean time, or nothing
// once an iteration failed (the run then skipped with its error).
std::optional<ProgramTimes> ProgramSeconds(benchmark::State& state, const SimOptions& options,
                                           bool busy = false) {
    const std::string file = WriteImageFile();
    double worst = 0;
    double total = 0;
    int runs = 0;
    for (auto _ : state) {
        std::string error;
        std::optional<double> seconds;
        {
            bench::BusyCores load(busy);
            seconds = ProgramOnce(options, file, error);
        }
        if (!seconds) {
            state.SkipWithError(error.c_str());
            return std::nullopt;
        }
        state.SetIterationTime(*seconds);
        worst = std::max(worst, *seconds);
        total += *seconds;
        ++runs;
    }
    return ProgramTimes{worst, runs > 0 ? total / runs : 0};
}

void Program512OnTimedBox(benchmark::State& state) {
    SimOptions options;
    options.timings.pageProgramNs = static_cast<std::uint64_t>(kPageProgramSeconds * 1e9);
    const bool busy = state.range(0) != 0;
    const auto times = ProgramSeconds(state, options, busy);
    if (!times) {
        return;
    }
    const double ideal = kPages * (kWireSecondsPerPage + kPageProgramSeconds);
    state.counters["ideal_s"] = ideal;
    state.counters["worst_s"] = times->worst;
    state.counters["overhead"] = times->worst / ideal;
    state.counters["limit_use"] = times->worst / (kTimedLimitFactor * ideal);
    bench::ReportAgainstLimit(state, times->mean, ideal, busy);
}

void Program512OnInstantBox(benchmark::State& state) {
    SimOptions options;
    options.instant = true;
    const auto times = ProgramSeconds(state, options);
    if (!times) {
        return;
    }
    const double rate = kPages / times->worst;
    state.counters["pages_per_s"] = rate;
    state.counters["limit_use"] = kInstantMinPagesPerSecond / rate;
}

BENCHMARK(Program512OnTimedBox)
    ->ArgName("busy")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond)
    ->Iterations(3);
BENCHMARK(Program512OnInstantBox)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
