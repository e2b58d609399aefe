// What o8rprog writes, records and leaves on disk when its streams, files and
// images meet the unusual; each row a run of the real program.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/ScratchDir.h"
#include "support/TestData.h"

namespace o8r::test {
namespace {

#ifndef _WIN32

namespace fs = std::filesystem;

const std::vector<std::string> kSim = {"--box", "sim", "--sim-state", "st"};
const std::vector<std::string> kProgram = {"program", "--mcu", "R5F212A8SN", "sample.mot"};

TEST(RecordsCli, EachRowOnTheRealProgram) {
    const auto log = [](const ScratchDir& d) { return ReadWholeFile(d.File("L")); };
    // clang-format off
    const std::vector<CliRow> rows = {
        // A closed stream is never taken over by a file the run opens, and
        // what was meant for it fails the run.
        {"stdout closed", nullptr, Joined(kSim, kProgram), 1,
         {"o8rprog: can not write to standard output: Bad file descriptor"},
         [](const ScratchDir& d, const ChildRun&) {
             EXPECT_FALSE(Has(ReadWholeFile(d.File("st.lock")), "successfully"));
         }, [](const ScratchDir&, ChildSpec& c) { c.closeFds = {1}; }},
        {"stderr closed under a trace", nullptr,
         Joined(kSim, Joined({"--trace", "t", "--sim-fault", "wrong-answer:1"}, kProgram)), 1,
         {"o8rprog: can not write to standard error"},
         [](const ScratchDir& d, const ChildRun&) { EXPECT_FALSE(Has(ReadWholeFile(d.File("t")), "ERROR")); },
         [](const ScratchDir&, ChildSpec& c) { c.closeFds = {2}; }},
        // The record is written last, from the final status and message.
        {"json with a trace that fails", nullptr,
         Joined({"--json", "--box", "sim", "--trace", "/dev/full"}, kProgram), 1,
         {"\"outcome\":\"Failed\",\"message\":\"can not write to the trace file /dev/full: No space left on device\"",
          "\"exitStatus\":1"}, nullptr},
        {"log with stdout full", nullptr, Joined({"--box", "sim", "--log", "L"}, kProgram), 1, {},
         [log](const ScratchDir& d, const ChildRun&) {
             EXPECT_TRUE(Has(log(d), ",Failed,can not write to standard output: No space left on device,no,1,"));
         }, [](const ScratchDir&, ChildSpec& c) { c.stdoutPath = "/dev/full"; }},
        {"a state that cannot be saved", nullptr, Joined(kSim, Joined({"--json"}, kProgram)), 1,
         {"\"message\":\"the simulated box's state was not saved: cannot write 'st': File too large\"", "\"exitStatus\":1"},
         nullptr, [](const ScratchDir&, ChildSpec& c) { c.fileSizeLimit = 64 << 10; }},
        {"stdout a pipe no one reads", nullptr, Joined(kSim, Joined({"--log", "L"}, kProgram)), 1,
         {"can not write to standard output: Broken pipe"},
         [log](const ScratchDir& d, const ChildRun&) {
             EXPECT_TRUE(Has(log(d), "Broken pipe,no,1,"));
             EXPECT_GT(fs::file_size(d.File("st")), 0u) << "the state saved";
         }, [](const ScratchDir&, ChildSpec& c) { c.stdoutBrokenPipe = true; }},
        // Refusals without an error of their own still say why in the record.
        {"reversed range answered No", nullptr,
         Joined(kSim, {"--json", "blank-check", "--mcu", "R5F212A8SN", "--range", "40FF-4000"}), 1,
         {"\"message\":\"answered No: "}, nullptr},
        {"stored image kept", [](const ScratchDir& d) {
             RunChild({O8rprogArgs(Joined(kSim, {"-y", "load", "--mcu", "R5F212A8SN", "sample.mot"})), d.Path()});
         }, Joined(kSim, {"--json", "load", "--mcu", "R5F212A8SN", "sample.mot"}), 1,
         {"\"outcome\":\"StoreKept\",\"message\":\"answered No: "}, nullptr},
        {"catalogue missing", nullptr, {"--json", "--catalogue", "none.mcu", "mcus"}, 1,
         {"\"message\":\"Can not find MCU file!"}, nullptr},
        // An image is sent whole or not at all.
        {"two images joined", [](const ScratchDir& d) { d.Write("two.mot", ReadWholeFile(d.File("sample.mot")) + ReadWholeFile(d.File("sample.mot"))); },
         Joined(kSim, {"program", "--mcu", "R5F212A8SN", "two.mot", "--verify"}), 1,
         {"ERROR: Error format!\nLine ", ": a record after the end record of line "},
         [](const ScratchDir&, const ChildRun& r) { EXPECT_FALSE(Has(r.out, "successfully")); }},
        {"an image without a page", [](const ScratchDir& d) { d.Write("none.mot", "S00600004844521B\r\n"); },
         Joined(kSim, {"program", "--mcu", "R5F212A8SN", "none.mot"}), 1,
         {"ERROR: Error format!\nThe file holds no data to send"}, nullptr},
        // Output files are judged before anything is made or waited for.
        {"log a FIFO", [](const ScratchDir& d) { mkfifo(d.File("f").c_str(), 0644); },
         {"--log", "f", "mcus"}, 2, {"--log: f is a FIFO"}, nullptr},
        {"trace a FIFO no one reads", [](const ScratchDir& d) { mkfifo(d.File("f").c_str(), 0644); },
         {"--box", "sim", "--trace", "f", "detect"}, 2, {"--trace: f is a FIFO that no process reads"}, nullptr},
        {"state a folder", [](const ScratchDir& d) { fs::create_directory(d.Path() / "s"); },
         {"--box", "sim", "--sim-state", "s", "detect"}, 2, {"--sim-state: s is a folder"},
         [](const ScratchDir& d, const ChildRun&) { EXPECT_FALSE(fs::exists(d.Path() / "s.lock")); }},
        {"new log on a full disk", nullptr, {"--box", "sim", "--log", "new.csv", "detect"}, 1,
         {"o8rprog: can not create the log new.csv: No space left on device"}, nullptr,
         [](const ScratchDir&, ChildSpec& c) { c.fileSizeLimit = 100; }},
        {"log whose last line lacks its end", [](const ScratchDir& d) { d.Write("L", "header\nhalf a line"); },
         {"--box", "sim", "--log", "L", "detect"}, 0, {},
         [log](const ScratchDir& d, const ChildRun&) {
             EXPECT_EQ(log(d).rfind("header\nhalf a line\ndetect,", 0), 0u) << log(d);
         }},
        // An interrupted save's leftovers go at the next save to the folder.
        {"stale temporary files", [](const ScratchDir& d) {
             for (const char* name : {".o8r0123ABCD.tmp", ".o8r89ABCDEF.tmp", ".o8r0123ABC.tmp"})
                 d.Write(name, "left");
             for (const char* old : {".o8r0123ABCD.tmp", ".o8r0123ABC.tmp"})
                 fs::last_write_time(d.Path() / old, fs::file_time_type::clock::now() - std::chrono::minutes(2));
         }, Joined(kSim, {"-y", "read", "--mcu", "R5F212A8SN", "--range", "4000-40FF", "-o", "back.mot"}), 0, {},
         [](const ScratchDir& d, const ChildRun&) {
             EXPECT_FALSE(fs::exists(d.Path() / ".o8r0123ABCD.tmp"));
             EXPECT_TRUE(fs::exists(d.Path() / ".o8r89ABCDEF.tmp") && fs::exists(d.Path() / ".o8r0123ABC.tmp"));
         }},
        // A port that cannot be opened says why, and where to look next.
        {"a pseudo-terminal as the port", nullptr, {"--box", "serial:/dev/ptmx", "detect"}, 1,
         {"ERROR: Can not open programmer!\n/dev/ptmx: not a serial port with modem lines\n"
          "run \"o8rprog doctor\" to see what to change\n"}},
        // User ids that do not fit name no one (2^32 + 54321 is no 54321), and never end the run.
        {"doctor over ids that do not fit", [](const ScratchDir& d) {
             for (const char* folder : {"etc", "proc/self", "dev", "sys/bus/usb/devices"})
                 fs::create_directories(d.Path() / "root" / folder);
             d.Write("root/etc/passwd", "eve:x:99999999999999999999999:0::/:/bin/sh\nmallory:x:4295021617:0::/:/bin/sh\n");
             d.Write("root/proc/self/status", "Uid:\t54321\t54321\t54321\t54321\nGid:\t5\t5\t5\t5\nGroups:\n");
         }, {"doctor"}, 1, {},
         [](const ScratchDir&, const ChildRun& r) { EXPECT_FALSE(Has(r.out + r.err, "stoul") || Has(r.out, "mallory")); },
         [](const ScratchDir& d, ChildSpec& c) { c.env = {"O8R_DOCTOR_ROOT=" + d.File("root")}; }},
    };
    // clang-format on
    RunCliRows(rows);
}

#else

TEST(RecordsCli, EachRowOnTheRealProgram) {
    GTEST_SKIP() << "closed descriptors, FIFOs, /dev/full and file size limits are POSIX's";
}

#endif

}  // namespace
}  // namespace o8r::test
