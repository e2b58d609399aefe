// o8rprog gang on the real program and simulated boxes: what each box gets
// (its own files, its own faults, this very executable), what is refused
// before any box starts, the live table on a small terminal, and signals
// that reach the gang while its boxes work.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <signal.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/SRecordText.h"
#include "support/ScratchDir.h"
#include "support/TestData.h"

namespace o8r::test {
namespace {

#ifndef _WIN32

namespace fs = std::filesystem;

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

const std::vector<std::string> kProgram = {"program", "--mcu", "R5F212A8SN", "sample.mot"};
const std::vector<std::string> kRead = {"read", "--mcu", "R5F212A8SN", "--range", "4000-40FF"};

TEST(GangCli, EachRowOnTheRealProgram) {
    const auto files = [](std::vector<std::string> names, bool exist) {
        return [names, exist](const ScratchDir& d, const ChildRun&) {
            for (const std::string& name : names)
                EXPECT_EQ(fs::exists(d.Path() / name), exist) << name;
        };
    };
    // clang-format off
    const std::vector<CliRow> rows = {
        // Every spelling of the output option gets the box's number.
        {"--output=FILE", nullptr, Joined({"-y", "gang", "--boxes", "sim:3"}, Joined(kRead, {"--output=d.mot"})), 0, {},
         files({"d-1.mot", "d-2.mot", "d-3.mot"}, true)},
        {"-oFILE", nullptr, Joined({"-y", "gang", "--boxes", "sim:2"}, Joined(kRead, {"-oe.mot"})), 0, {},
         [files](const ScratchDir& d, const ChildRun& r) {
             files({"e-1.mot", "e-2.mot"}, true)(d, r);
             files({"e.mot"}, false)(d, r);
         }},
        {"--dump", nullptr, Joined({"gang", "--boxes", "sim:2"}, Joined(kRead, {"--dump"})), 2, {"gang: --dump is not taken"}},
        // Global options and gang's own go before the command, not to every box alike.
        {"--trace after the command", nullptr, Joined({"gang", "--boxes", "sim:3"}, Joined(kProgram, {"--trace", "tr"})), 2,
         {"gang: --trace is a global option and goes before gang"}, files({"tr", "tr.1"}, false)},
        {"--json after the command", nullptr, Joined({"gang", "--boxes", "sim:2"}, Joined(kProgram, {"--json"})), 2,
         {"--json is a global option"}},
        {"--sim-state= after the command", nullptr, Joined({"gang", "--boxes", "sim:2"}, Joined(kProgram, {"--sim-state=s"})), 2,
         {"--sim-state is a global option"}},
        {"--jobs after the command", nullptr, Joined({"gang", "--boxes", "sim:2"}, Joined(kProgram, {"--jobs", "1"})), 2,
         {"gang: --jobs is gang's own option and goes before the command"}},
        // Faults for boxes that are not there, or not faults at all, are usage errors.
        {"fault for box 9 of 3", nullptr, Joined({"--sim-fault", "9=absent", "gang", "--boxes", "sim:3"}, kProgram), 2,
         {"--sim-fault 9=absent: N=SPEC names a box from 1 to 3"}},
        {"fault for box 0", nullptr, Joined({"--sim-fault", "0=absent", "gang", "--boxes", "sim:3"}, kProgram), 2, {"0=absent"}},
        {"fault for box 02", nullptr, Joined({"--sim-fault", "02=absent", "gang", "--boxes", "sim:3"}, kProgram), 2, {"02=absent"}},
        {"unknown fault for one box", nullptr, Joined({"--sim-fault", "2=bogus", "gang", "--boxes", "sim:3"}, kProgram), 2,
         {"--sim-fault: unknown simulated-box fault 'bogus'"}},
        {"one port by two names", nullptr, Joined({"gang", "--boxes", "/dev/null,/dev/../dev/null"}, kProgram), 2,
         {"--boxes: /dev/../dev/null and /dev/null are the same port"}},
        // --json prints the gang's object for every ending.
        {"json with sim:0", nullptr, Joined({"--json", "gang", "--boxes", "sim:0"}, kProgram), 2,
         {"{\"command\":\"gang\",\"operation\":\"program\",", "\"total\":0,\"succeeded\":0,\"summary\":\"--boxes sim:N",
          "\"exitStatus\":2,\"boxes\":[]}"}},
        {"json with the command's usage error", nullptr, {"--json", "gang", "--boxes", "sim:2", "program", "sample.mot"}, 2,
         {"\"summary\":\"--mcu is required\",\"exitStatus\":2,\"boxes\":[{\"slot\":\"sim:1\""}},
        // A closed stdout is no pipe of a box's: the boxes' records stay theirs.
        {"stdout closed", nullptr, Joined({"--json", "--log", "L", "gang", "--boxes", "sim:2"}, kProgram), 1,
         {"2 of 2 boxes programmed\no8rprog: can not write to standard output: Bad file descriptor\n"},
         [](const ScratchDir& d, const ChildRun&) {
             EXPECT_EQ(Count(ReadWholeFile(d.File("L")), ",Completed,Program successfully completed.,no,0,"), 2u);
         }, [](const ScratchDir&, ChildSpec& c) { c.closeFds = {1}; }},
        // The gang starts its own executable, whatever it is called.
        {"a renamed copy", nullptr, Joined({"gang", "--boxes", "sim:2"}, kProgram), 0, {"2 of 2 boxes programmed"}, nullptr,
         [](const ScratchDir& d, ChildSpec& c) {
             fs::copy_file(c.argv[0], d.Path() / "o8rprog-1.2");
             fs::copy_file(SourcePath("data/MCUType.mcu"), d.Path() / "MCUType.mcu");
             c.argv[0] = d.File("o8rprog-1.2");
         }},
        // detect --all lists the boxes the simulated box's faults attach.
        {"detect --all, none attached", nullptr, {"--box", "sim", "--sim-fault", "absent", "detect", "--all"}, 1,
         {"No box found."}},
        // On a terminal of 8 rows, 12 boxes never take more than 7 of them.
        {"live table on a small terminal", nullptr, {}, 0, {"12 of 12 boxes programmed"},
         [](const ScratchDir&, const ChildRun& r) {
             const std::regex up("\x1b\\[([0-9]+)A");
             std::size_t frames = 0;
             for (std::sregex_iterator it(r.out.begin(), r.out.end(), up), end; it != end; ++it, ++frames)
                 EXPECT_LE(std::stoul((*it)[1].str()), 7u) << r.out;
             EXPECT_GT(frames, 0u) << r.out;
         }, [](const ScratchDir&, ChildSpec& c) {
             c.argv = {"/usr/bin/script", "-qec", "stty rows 8 cols 100; " + O8rprogArgs({})[0] +
                       " gang --boxes sim:12 program --mcu R5F212A8SN sample.mot", "/dev/null"};
         }},
        {"detect --all, two attached", nullptr, {"--box", "sim", "--sim-fault", "two-boxes", "detect", "--all"}, 0,
         {"sim:1 ", "sim:2 "}},
    };
    // clang-format on
    RunCliRows(rows);
}

TEST(GangCli, SignalsWhileTheBoxesWork) {
    struct SignalRow {
        const char* name;
        int signal;
        std::vector<std::string> command;
        std::string waitFor;  // in every box's trace before the signal
        int exitStatus;
        std::string said;
        std::size_t cancelled;  // records
    };
    const std::vector<std::string> program = {"program", "--mcu", "R5F212ACSN", "big.mot"};
    // clang-format off
    const SignalRow rows[] = {
        // Shut down or hung up: cancelled as by Ctrl-C, every record written, nothing left.
        {"SIGTERM", SIGTERM, program, "write 260 6000", 1, "0 of 2 boxes programmed", 2},
        {"SIGHUP", SIGHUP, program, "write 260 6000", 1, "0 of 2 boxes programmed", 2},
        // An erase cannot be cancelled: said at once, and it is no failure.
        {"Ctrl-C in an erase", SIGINT, {"erase", "--mcu", "R5F212A8SN", "--all"}, "write 1 45", 0,
         "sim:1  The erase cannot be cancelled; please wait.\n", 0},
    };
    // clang-format on
    for (const SignalRow& row : rows) {
        SCOPED_TRACE(row.name);
        ScratchDir dir;
        dir.Write("big.mot", SRecordImage(0x4000, std::vector<std::uint8_t>(0x20000, 0x5A), 32));
        fs::create_directory(dir.Path() / "tmp");
        const auto args =
            Joined({"--log", "L", "--trace", "t", "gang", "--boxes", "sim:2", "--sim-realtime"},
                   row.command);
        ChildSpec spec{O8rprogArgs(args), dir.Path()};
        spec.env = {"TMPDIR=" + dir.File("tmp")};
        Child gang(spec);
        const auto reached = [&](const char* n) {
            return Has(ReadWholeFile(dir.File(n)), row.waitFor);
        };
        for (int tries = 0; tries < 600 && !(reached("t.1") && reached("t.2")); ++tries)
            usleep(50'000);
        kill(gang.Pid(), row.signal);
        const ChildRun run = gang.Finish();
        EXPECT_EQ(run.exitStatus, row.exitStatus) << run.err;
        EXPECT_TRUE(Has(run.err, row.said)) << row.said << "\nnot in:\n" << run.err;
        const std::string log = ReadWholeFile(dir.File("L"));
        EXPECT_EQ(Count(log, "\n"), 3u) << "a header and a record per box:\n" << log;
        EXPECT_EQ(Count(log, ",Cancelled,"), row.cancelled) << log;
        EXPECT_TRUE(fs::is_empty(dir.Path() / "tmp")) << "the boxes' temporary folder is removed";
    }
}

#else

TEST(GangCli, EachRowOnTheRealProgram) {
    GTEST_SKIP() << "these rows send POSIX signals; on Windows the cli.gang cases cover gang";
}

#endif

}  // namespace
}  // namespace o8r::test
