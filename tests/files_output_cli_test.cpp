// o8rprog with what it saves, reads and prints pointed at things that are not
// plain files, or at outputs that cannot be written: run as a real process on
// the simulated box, each row checks the exit status, what was said, and what
// was left on disk.

#include <gtest/gtest.h>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/ScratchDir.h"
#include "support/TestData.h"

namespace o8r::test {
namespace {

#ifndef _WIN32

namespace fs = std::filesystem;

using ProgramRun = ChildRun;

// o8rprog ARGS in `dir`; standard output to `stdoutPath` when one is given.
ProgramRun RunO8rprog(const fs::path& dir, const std::vector<std::string>& args,
                      const std::string& stdoutPath) {
    return RunChild({O8rprogArgs(args), dir, stdoutPath});
}

mode_t ModeOf(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0 ? info.st_mode : 0;
}

const std::string kPart = "R5F212A8SN";
const std::vector<std::string> kSim = {"--box", "sim", "--sim-state", "box.state"};

std::vector<std::string> Read(const std::string& output) {
    std::vector<std::string> args = kSim;
    for (const char* a : {"-y", "read", "--mcu", "R5F212A8SN", "--range", "4000-40FF", "-o"})
        args.push_back(a);
    args.push_back(output);
    return args;
}

// The shipped catalogue with the R5F212A8SN record's second block entry
// holding `address` instead of 08000.
std::string CatalogueWithBlockAddress(const ScratchDir& dir, const std::string& address) {
    std::string text = ReadWholeFile(SourcePath("data/MCUType.mcu"));
    const std::string record =
        ":R8C/Tiny  R8C/2A    R5F212A8SN64K     04 02  16K 04000 01  16K 08000";
    const auto at = text.find(record);
    if (at != std::string::npos)
        text.replace(at + record.size() - 5, 5, address);
    return dir.Write("bad.mcu", text);
}

std::string SRecordFile(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

struct Row {
    const char* name;
    std::function<void(const ScratchDir&)> prepare;
    std::vector<std::string> args;
    int exitStatus;
    std::vector<std::string> stderrHas;  // each a part of standard error
    std::function<void(const ScratchDir&, const ProgramRun&)> after;
    std::string stdoutTo = {};  // a file standard output goes to, instead of a pipe
    bool rootOnly = false;
};

void MakeFifo(const ScratchDir& dir, const std::string& name) {
    ASSERT_EQ(mkfifo(dir.File(name).c_str(), 0644), 0);
}

TEST(FilesAndOutput, EachRowOnTheRealProgram) {
    const std::string longName = std::string(246, 'n') + ".mot";
    // clang-format off
    const Row rows[] = {
        // Saving writes regular files only.
        {"save to a FIFO", [](const ScratchDir& d) { MakeFifo(d, "pipe.mot"); }, Read("pipe.mot"), 1,
         {"ERROR: Can not save file!\n", "pipe.mot\nNot a regular file\n"},
         [](const ScratchDir& d, const ProgramRun& r) {
             EXPECT_TRUE(S_ISFIFO(ModeOf(d.File("pipe.mot"))));
             EXPECT_EQ(r.out.find("saved successfully"), std::string::npos);
         }},
        {"save to a device node", [](const ScratchDir& d) {
             ASSERT_EQ(mknod(d.File("null.mot").c_str(), S_IFCHR | 0666, makedev(1, 3)), 0);
         }, Read("null.mot"), 1, {"null.mot\nNot a regular file\n"},
         [](const ScratchDir& d, const ProgramRun&) { EXPECT_TRUE(S_ISCHR(ModeOf(d.File("null.mot")))); },
         "", true},
        {"save to a folder", [](const ScratchDir& d) { fs::create_directory(d.Path() / "dir.mot"); },
         Read("dir.mot"), 1, {"dir.mot\nIs a directory\n"},
         [](const ScratchDir& d, const ProgramRun&) { EXPECT_TRUE(fs::is_directory(d.Path() / "dir.mot")); }},
        {"save into a folder that is not there", nullptr, Read("no/such.mot"), 1,
         {"no/such.mot\nNo such file or directory\n"}, nullptr},
        {"save through a link", [](const ScratchDir& d) {
             d.Write("real.mot", "old");
             ASSERT_EQ(chmod(d.File("real.mot").c_str(), 0600), 0);
             fs::create_symlink("real.mot", d.Path() / "link.mot");
         }, Read("link.mot"), 0, {},
         [](const ScratchDir& d, const ProgramRun& r) {
             EXPECT_TRUE(S_ISLNK(ModeOf(d.File("link.mot"))));
             EXPECT_EQ(ModeOf(d.File("real.mot")) & 07777, 0600u);
             EXPECT_EQ(ReadWholeFile(d.File("real.mot")).substr(0, 4), "S006");
             EXPECT_NE(r.out.find("Read data is saved successfully."), std::string::npos);
         }},
        {"save through a link to nothing yet", [](const ScratchDir& d) {
             fs::create_symlink("new.mot", d.Path() / "link.mot");
         }, Read("link.mot"), 0, {},
         [](const ScratchDir& d, const ProgramRun&) {
             EXPECT_TRUE(S_ISLNK(ModeOf(d.File("link.mot"))));
             EXPECT_EQ(ReadWholeFile(d.File("new.mot")).substr(0, 4), "S006");
         }},
        {"save over a file of mode 640", [](const ScratchDir& d) {
             d.Write("kept.mot", "old");
             ASSERT_EQ(chmod(d.File("kept.mot").c_str(), 0640), 0);
             // Root can give the file away, and the save must give it back.
             if (geteuid() == 0) {
                 ASSERT_EQ(chown(d.File("kept.mot").c_str(), 4321, 4322), 0);
             }
         }, Read("kept.mot"), 0, {},
         [](const ScratchDir& d, const ProgramRun&) {
             EXPECT_TRUE(S_ISREG(ModeOf(d.File("kept.mot"))));
             EXPECT_EQ(ModeOf(d.File("kept.mot")) & 07777, 0640u);
             struct stat info {};
             ASSERT_EQ(stat(d.File("kept.mot").c_str(), &info), 0);
             if (geteuid() == 0) {
                 EXPECT_EQ(info.st_uid, 4321u);
                 EXPECT_EQ(info.st_gid, 4322u);
             }
         }},
        {"save with a long name", nullptr, Read(longName), 0, {},
         [longName](const ScratchDir& d, const ProgramRun&) {
             EXPECT_EQ(ReadWholeFile(d.File(longName)).substr(0, 4), "S006");
             std::size_t files = 0;
             for (const auto& entry : fs::directory_iterator(d.Path()))
                 files += entry.path().extension() == ".tmp" ? 1 : 0;
             EXPECT_EQ(files, 0u) << "no temporary file left";
         }},
        {"save to an empty name", nullptr, Read(""), 2, {"-o"}, nullptr},
        // A failed write of the output fails the command, with one message.
        {"mcus to a full device", nullptr, {"mcus"}, 1,
         {"o8rprog: can not write to standard output: No space left on device\n"}, nullptr, "/dev/full"},
        {"image to a full device", nullptr, {"image", "--mcu", kPart, "sample.mot"}, 1,
         {"can not write to standard output"}, nullptr, "/dev/full"},
        {"dump to a full device", nullptr, {kSim[0], kSim[1], kSim[2], kSim[3], "read", "--mcu", kPart, "--range", "4000-40FF", "--dump"}, 1,
         {"can not write to standard output"}, nullptr, "/dev/full"},
        {"summary to a full device", nullptr, {kSim[0], kSim[1], kSim[2], kSim[3], "program", "--mcu", kPart, "sample.mot"}, 1,
         {"can not write to standard output"}, nullptr, "/dev/full"},
        {"trace to a full device", nullptr, {kSim[0], kSim[1], kSim[2], kSim[3], "--trace", "/dev/full", "program", "--mcu", kPart, "sample.mot"}, 1,
         {"o8rprog: can not write to the trace file /dev/full: No space left on device\n"},
         [](const ScratchDir&, const ProgramRun& r) {
             EXPECT_NE(r.out.find("Program successfully completed."), std::string::npos);
         }},
        // The catalogue is read only from a regular file of a sound size.
        {"catalogue from a device", nullptr, {"--catalogue", "/dev/zero", "mcus"}, 1,
         {"ERROR: The MCU file is not a regular file: /dev/zero\n"}, nullptr},
        {"catalogue from a FIFO", [](const ScratchDir& d) { MakeFifo(d, "pipe.mcu"); },
         {"--catalogue", "pipe.mcu", "mcus"}, 1, {"not a regular file: pipe.mcu"}, nullptr},
        {"catalogue too large", [](const ScratchDir& d) {
             fs::resize_file(d.Write("huge.mcu", ""), 5u << 20);
         }, {"--catalogue", "huge.mcu", "mcus"}, 1, {"The MCU file is too large (over 4 MB): huge.mcu"}, nullptr},
        {"catalogue missing", nullptr, {"--catalogue", "none.mcu", "mcus"}, 1,
         {"ERROR: Can not find MCU file!\n  tried none.mcu\n"}, nullptr},
        // A block entry that cannot be used is named, and Erase refuses the part.
        {"erase with a bad block address", [](const ScratchDir& d) { CatalogueWithBlockAddress(d, "0G000"); },
         {kSim[0], kSim[1], kSim[2], kSim[3], "--catalogue", "bad.mcu", "erase", "--mcu", kPart, "--all"}, 1,
         {"ERROR: MCU file line 14: part R5F212A8SN has a block entry with the bad start address \"0G000\".\n"},
         [](const ScratchDir&, const ProgramRun& r) {
             EXPECT_EQ(r.out, "");
             EXPECT_EQ(r.err.find("Erase"), std::string::npos);
         }},
        {"mcus with a bad block address", [](const ScratchDir& d) { CatalogueWithBlockAddress(d, "0G000"); },
         {"--catalogue", "bad.mcu", "mcus"}, 0,
         {"WARNING: MCU file line 14: part R5F212A8SN has a block entry with the bad start address \"0G000\".\n"},
         nullptr},
        // The loader's refusals say where.
        {"image without an S0 line", [](const ScratchDir& d) {
             d.Write("nohead.mot", SRecordFile({"S2140040006F38722D70726F6772616D6D6572207396"}));
         }, {"image", "--mcu", kPart, "nohead.mot"}, 1, {"ERROR: Error format!\nLine 1: no S0 header\n"}, nullptr},
        {"image out of the map", [](const ScratchDir& d) {
             d.Write("out.mot", SRecordFile({"S00600005A4F4B05", "S2140040006F38722D70726F6772616D6D6572207396",
                                             "S2060140000102B5"}));
         }, {"image", "--mcu", kPart, "out.mot"}, 1,
         {"ERROR: Load file address is out of memory map!\nLine 3: address 14000\n"}, nullptr},
    };
    // clang-format on
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.rootOnly && geteuid() != 0) {
            std::cout << "[  SKIPPED ] " << row.name << ": a device node needs root\n";
            continue;
        }
        ScratchDir dir;
        fs::copy_file(SourcePath("data/sample.mot"), dir.Path() / "sample.mot");
        if (row.prepare)
            row.prepare(dir);
        const ProgramRun run = RunO8rprog(dir.Path(), row.args, row.stdoutTo);
        EXPECT_EQ(run.exitStatus, row.exitStatus) << run.err;
        for (const std::string& part : row.stderrHas)
            EXPECT_NE(run.err.find(part), std::string::npos) << part << "\nnot in:\n" << run.err;
        if (row.exitStatus == 1 && !row.stdoutTo.empty()) {
            // One message, and nothing else said.
            EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
        }
        if (row.after)
            row.after(dir, run);
    }
}

#else

TEST(FilesAndOutput, EachRowOnTheRealProgram) {
    GTEST_SKIP() << "FIFOs, device nodes, links and /dev/full are POSIX's";
}

#endif

}  // namespace
}  // namespace o8r::test
