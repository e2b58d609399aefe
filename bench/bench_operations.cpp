// Every operation of the operations API (what o8rprog runs on) against the
// simulated box on the real clock, each measured against its limit: the time
// the line and the box cannot go below.
//
// The box has its typical timings (sim/SimTimings) on a 500000-baud line
// (19200 baud for the firmware loader); a byte is 10 bits on the wire. Each
// row times the operation's working phase (PhaseStarted to PhaseEnded: the
// pages, blocks or records), and the whole exchange for the firmware update:
//
//   Program     pages x (('V' + 260-byte record + answer) bytes + page program)
//   Verify      pages x (('R' + page + 256 answer bytes) + page read)
//   Read        the same, and the 10 us pulse that ends the read
//   BlankCheck  as Verify
//   Erase       blocks x (('E' + page + answer) bytes + block erase)
//   Load        records x ((260-byte record + answer) bytes + store record)
//   Update      sync: 16 x (byte + 2 ms) + 0xB0 and its echo;
//               ID check: 1 ms + 12 x (byte + 1 us) + 200 us + 0x70 and 2 status bytes;
//               per block: 4 x (byte + 1 us) + 50 ms + 0x70 + 50 ms
//                 (the erase itself runs inside the first 50 ms);
//               per page: 1 us + 259 x (byte + 1 us) + max(10 ms, page program)
//                 + 0x70 and 2 status bytes
//
// Each operation runs twice: on its own (busy:0) and while two threads keep
// both cores busy (busy:1). Counters: measured_s (mean), limit_s, ratio.
// Program512OnInstantBox: the box answers at once; counter pages_per_s.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "core/operations/BoxSession.h"
#include "core/operations/FileLoadJob.h"
#include "core/protocol/BoxProtocol.h"
#include "core/protocol/Clock.h"
#include "sim/SimulatedBox.h"

namespace {

using namespace o8r;
using Seconds = std::chrono::duration<double>;

constexpr std::uint32_t kPages = 512;
constexpr std::uint32_t kRomStart = 0x4000;  // 128 KB of program ROM from here: 512 pages
constexpr std::uint32_t kRomEnd = kRomStart + kPages * 256 - 1;
constexpr std::uint32_t kLoaderPages = 32;  // the box's own 8 KB
const MemoryMap kPartMap{0x2400, 0x2C00, kRomStart, kRomEnd + 1};

double Ns(std::uint64_t ns) {
    return static_cast<double>(ns) * 1e-9;
}
double Ns(std::chrono::nanoseconds ns) {
    return static_cast<double>(ns.count()) * 1e-9;
}

// Times one phase of an operation on the steady clock.
class PhaseTimer final : public OperationListener {
  public:
    explicit PhaseTimer(Phase phase) : m_phase(phase) {}
    void PhaseStarted(Phase phase) override {
        if (phase == m_phase)
            m_start = std::chrono::steady_clock::now();
    }
    void PhaseEnded(Phase phase) override {
        if (phase == m_phase)
            m_end = std::chrono::steady_clock::now();
    }
    double Seconds() const { return std::chrono::duration<double>(m_end - m_start).count(); }

  private:
    Phase m_phase;
    std::chrono::steady_clock::time_point m_start{};
    std::chrono::steady_clock::time_point m_end{};
};

const std::string& PartImage() {
    static const std::string path =
        bench::WriteImageFile("o8r-bench-operations.mot", kRomStart, kPages);
    return path;
}

const std::string& LoaderImage() {
    static const std::string path = bench::WriteImageFile(
        "o8r-bench-firmware.mot", kFirmwareUpdateMap.region2Start, kLoaderPages);
    return path;
}

// A fresh box on the real clock, found and started, and the part selected.
struct Rig {
    RealClock clock;
    SimulatedBox box;
    BoxSession session;

    explicit Rig(const SimOptions& options) : box(clock, options), session(box, clock) {
        session.SetTarget({"R5F212BCSN", kPartMap});
        (void)session.Detect();
    }
    ~Rig() { session.Release(); }
    Rig(const Rig&) = delete;
    Rig& operator=(const Rig&) = delete;
};

// One run: prepares a rig, runs the operation, and gives the seconds it
// measured, or an error text.
using Run = std::function<double(Rig& rig, std::string& error)>;

// Runs once an iteration on a fresh rig, with both cores kept busy when
// `busy`; the mean seconds, or nothing once a run failed (the benchmark then
// skipped with its error).
std::optional<double> MeanSeconds(benchmark::State& state, const SimOptions& options,
                                  const Run& run, bool busy) {
    double total = 0;
    std::int64_t runs = 0;
    for (auto _ : state) {
        Rig rig(options);
        std::string error;
        double seconds = 0;
        {
            bench::BusyCores load(busy);
            seconds = run(rig, error);
        }
        if (!error.empty()) {
            state.SkipWithError(error.c_str());
            return std::nullopt;
        }
        state.SetIterationTime(seconds);
        total += seconds;
        ++runs;
    }
    if (runs == 0)
        return std::nullopt;
    return total / static_cast<double>(runs);
}

// One table row: the operation alone (busy:0) or with both cores busy (busy:1).
void Measure(benchmark::State& state, const SimOptions& options, const Run& run,
             double limitSeconds) {
    const bool busy = state.range(0) != 0;
    if (const auto mean = MeanSeconds(state, options, run, busy))
        bench::ReportAgainstLimit(state, *mean, limitSeconds, busy);
}

// Runs `operation` timing `phase`; an error unless it ends as `expected`.
double TimedPhase(Phase phase, Outcome expected, std::string& error,
                  const std::function<OperationResult(const OperationHooks&)>& operation) {
    PhaseTimer timer(phase);
    const OperationResult result = operation({&timer, nullptr, nullptr});
    if (result.outcome != expected)
        error = std::string("ended with ") + OutcomeName(result.outcome);
    return timer.Seconds();
}

// Loads the image into the session's page records, as the operation would,
// so that only the exchange with the box is timed.
bool Preload(Rig& rig, const std::string& path, std::string& error) {
    if (!rig.session.UseImage(path, {}).Succeeded()) {
        error = "the bench image did not load";
        return false;
    }
    return true;
}

const SimTimings kTimings{};
const double kByte = bench::ByteSeconds(kNormalBaud);
const double kLoaderByte = Ns(std::uint64_t{10'000'000'000ULL / kLoaderBaud});

double ProgramLimit() {
    return kPages * ((1 + kPageRecordSize + 1) * kByte + Ns(kTimings.pageProgramNs));
}
double PageReadLimit() {
    return kPages * ((3 + kPageSize) * kByte + Ns(kTimings.pageReadNs));
}
double EraseLimit() {
    return static_cast<double>(DefaultFlashBlocks().size()) *
           ((3 + 1) * kByte + Ns(kTimings.blockEraseNs));
}
double LoadLimit() {
    return kPages * ((kPageRecordSize + 1) * kByte + Ns(kTimings.storeRecordNs));
}
double UpdateLimit() {
    const double between = Ns(loader::kBetweenBytes);
    const double statusRead = 3 * kLoaderByte;  // 0x70 out, two status bytes back
    const double sync =
        loader::kSyncCount * (kLoaderByte + Ns(loader::kAfterSync)) + 2 * kLoaderByte;
    const double idCheck = Ns(loader::kBeforeIdCheck) +
                           static_cast<double>(loader::kIdCheck.size()) * (kLoaderByte + between) +
                           Ns(loader::kBeforeIdStatus) + statusRead;
    const double block = 4 * (kLoaderByte + between) +
                         std::max(Ns(loader::kEraseWait), Ns(kTimings.loaderEraseNs)) +
                         kLoaderByte + Ns(loader::kEraseWait);
    const double page = between + (1 + 2 + kPageSize) * (kLoaderByte + between) +
                        std::max(Ns(loader::kProgramWait), Ns(kTimings.loaderProgramNs)) +
                        statusRead;
    return sync + idCheck + 2 * block + kLoaderPages * page;
}

// The Program of the whole image, its page phase timed.
Run ProgramRun() {
    return [](Rig& rig, std::string& error) {
        const std::string& image = PartImage();
        if (!Preload(rig, image, error))
            return 0.0;
        return TimedPhase(Phase::Program, Outcome::Completed, error,
                          [&](auto& hooks) { return rig.session.Program(image, hooks); });
    };
}

void Program512(benchmark::State& state) {
    Measure(state, {}, ProgramRun(), ProgramLimit());
}

void Verify512(benchmark::State& state) {
    const std::string& image = PartImage();
    Measure(
        state, {},
        [&](Rig& rig, std::string& error) {
            if (!Preload(rig, image, error))
                return 0.0;
            // The target holds the image, as after the Program of `program --verify`.
            for (std::uint32_t i = 0; i < kPages; ++i) {
                const PageRecord& record = rig.session.Image().pageRecords[i];
                const std::uint32_t base = std::uint32_t{PageRecordNumber(record)} << 8;
                for (std::uint32_t k = 0; k < kPageSize; ++k)
                    rig.box.Target().Poke(base + k, record[kPageRecordDataOffset + k]);
            }
            // The image holds an ID code: the read-back unlocks with it, as
            // `program --verify --id` would.
            SessionTarget target = rig.session.Target();
            target.idCode = rig.box.Target().IdCode();
            rig.session.SetTarget(target);
            return TimedPhase(Phase::Verify, Outcome::Completed, error,
                              [&](auto& hooks) { return rig.session.Verify(hooks); });
        },
        PageReadLimit());
}

void Read512(benchmark::State& state) {
    Measure(
        state, {},
        [](Rig& rig, std::string& error) {
            return TimedPhase(Phase::Read, Outcome::Completed, error, [&](auto& hooks) {
                return rig.session.Read(kRomStart, kRomEnd, hooks);
            });
        },
        PageReadLimit() + Ns(kReadEndPulse));
}

void BlankCheck512(benchmark::State& state) {
    Measure(
        state, {},
        [](Rig& rig, std::string& error) {
            return TimedPhase(Phase::BlankCheck, Outcome::Completed, error, [&](auto& hooks) {
                return rig.session.BlankCheck(kRomStart, kRomEnd, hooks);
            });
        },
        PageReadLimit());
}

void EraseAll(benchmark::State& state) {
    std::vector<std::uint16_t> blockPages;
    for (const FlashBlock& block : DefaultFlashBlocks())
        blockPages.push_back(static_cast<std::uint16_t>(block.start >> 8));
    Measure(
        state, {},
        [&](Rig& rig, std::string& error) {
            return TimedPhase(Phase::Erase, Outcome::Completed, error,
                              [&](auto& hooks) { return rig.session.Erase(blockPages, hooks); });
        },
        EraseLimit());
}

void Load512(benchmark::State& state) {
    const std::string& image = PartImage();
    Measure(
        state, {},
        [&](Rig& rig, std::string& error) {
            if (!Preload(rig, image, error))
                return 0.0;
            return TimedPhase(Phase::Load, Outcome::Completed, error,
                              [&](auto& hooks) { return rig.session.Load(image, hooks); });
        },
        LoadLimit());
}

void UpdateLoader8K(benchmark::State& state) {
    SimOptions options;
    options.updateMode = true;
    const std::string& image = LoaderImage();
    Measure(
        state, options,
        [&](Rig& rig, std::string& error) {
            // Detect has made the memory map the box's own 8 KB.
            if (!Preload(rig, image, error))
                return 0.0;
            const auto start = std::chrono::steady_clock::now();
            const OperationResult result = rig.session.Update(image, {});
            const Seconds elapsed = std::chrono::steady_clock::now() - start;
            if (result.outcome != Outcome::Completed)
                error = std::string("ended with ") + OutcomeName(result.outcome);
            return elapsed.count();
        },
        UpdateLimit());
}

void Program512OnInstantBox(benchmark::State& state) {
    SimOptions options;
    options.instant = true;
    if (const auto mean = MeanSeconds(state, options, ProgramRun(), false))
        state.counters["pages_per_s"] = kPages / *mean;
}

#define O8R_TIMED(name, iterations) \
    BENCHMARK(name)                 \
        ->ArgName("busy")           \
        ->Arg(0)                    \
        ->Arg(1)                    \
        ->UseManualTime()           \
        ->Iterations(iterations)    \
        ->Unit(benchmark::kMillisecond)

O8R_TIMED(Program512, 3);
O8R_TIMED(Verify512, 3);
O8R_TIMED(Read512, 3);
O8R_TIMED(BlankCheck512, 3);
O8R_TIMED(EraseAll, 3);
O8R_TIMED(Load512, 3);
O8R_TIMED(UpdateLoader8K, 3);
BENCHMARK(Program512OnInstantBox)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

}  // namespace
