// o8rprog's command line: usage errors name the option, values stay their
// options', and the manual page and completion keep up with the help.

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/ScratchDir.h"
#include "support/TestData.h"

namespace o8r::test {
namespace {

#ifndef _WIN32

namespace fs = std::filesystem;

TEST(OptionsCli, UsageErrorsNameTheOptionAndValuesStayTheirOptions) {
    const auto made = [](const char* name) {
        return [name](const ScratchDir& d, const ChildRun&) {
            EXPECT_TRUE(fs::is_regular_file(d.Path() / name)) << name;
        };
    };
    const std::vector<std::string> erase = {"--box", "sim",        "erase",
                                            "--mcu", "R5F212A8SN", "--all"};
    // clang-format off
    const std::vector<CliRow> rows = {
        {"--jobs 0", nullptr, Joined({"gang", "--boxes", "sim:2", "--jobs", "0"}, erase), 2,
         {"--jobs: expected a number of boxes from 1 to 64, not 0"}},
        {"--jobs abc", nullptr, Joined({"gang", "--boxes", "sim:2", "--jobs", "abc"}, erase), 2, {"--jobs: expected a number"}},
        // A value that reads as a command word is its option's.
        {"a log called erase", nullptr, Joined({"--log", "erase"}, erase), 0, {}, made("erase")},
        {"a log called gang before gang", nullptr,
         {"--log", "gang", "gang", "--boxes", "sim:1", "erase", "--mcu", "R5F212A8SN", "--all"}, 0, {}, made("gang")},
        // An empty value is refused, naming the option.
        {"--log \"\"", nullptr, {"--log", "", "mcus"}, 2, {"--log: expected FILE, not an empty text"}},
        {"--log=", nullptr, {"--log=", "mcus"}, 2, {"--log: expected FILE, not an empty text"}},
        {"--trace \"\"", nullptr, Joined({"--trace", ""}, erase), 2, {"--trace: expected FILE"}},
        {"--sim-state \"\"", nullptr, Joined({"--sim-state", ""}, erase), 2, {"--sim-state: expected FILE"}},
        {"--catalogue \"\"", nullptr, {"--catalogue", "", "mcus"}, 2, {"--catalogue: expected FILE"}},
        {"--mcu \"\"", nullptr, {"--box", "sim", "erase", "--mcu", "", "--all"}, 2, {"--mcu: expected PART"}},
    };
    // clang-format on
    RunCliRows(rows);
}

// Every command and long option the help shows, in the manual page and in
// the completion, so that neither can fall behind the program.
TEST(OptionsCli, ManualPageAndCompletionNameEveryCommandAndOption) {
    ScratchDir dir;
    const auto help = [&](const std::vector<std::string>& command) {
        return RunChild({O8rprogArgs(Joined(command, {"--help"})), dir.Path()}).out;
    };
    std::string text = help({});
    const std::size_t from = text.find("Subcommands:");
    const std::string list = text.substr(from, text.find("\n\n\n", from) - from);
    std::set<std::string> words;
    const std::regex command("\n  ([a-z][a-z-]+) +[a-z]");
    for (std::sregex_iterator it(list.begin(), list.end(), command), end; it != end; ++it) {
        words.insert((*it)[1].str());
        text += help({(*it)[1].str()});
    }
    ASSERT_GE(words.size(), 12u) << list;
    const std::regex option("\n  (?:-[a-z],)?(--[a-z][a-z0-9-]+)");
    for (std::sregex_iterator it(text.begin(), text.end(), option), end; it != end; ++it)
        words.insert((*it)[1].str());
    const std::string manual = std::regex_replace(
        ReadWholeFile(SourcePath("packaging/o8rprog.1.in")), std::regex("\\\\-"), "-");
    const std::string completion = ReadWholeFile(SourcePath("packaging/o8rprog.bash"));
    for (const std::string& word : words) {
        const std::regex whole("(^|[^a-z-])" + word + "([^a-z-]|$)");
        EXPECT_TRUE(std::regex_search(manual, whole)) << word << " is not in the manual page";
        EXPECT_TRUE(std::regex_search(completion, whole)) << word << " is not in the completion";
    }
}

#else

TEST(OptionsCli, UsageErrorsNameTheOptionAndValuesStayTheirOptions) {
    GTEST_SKIP() << "the child-process runner is POSIX's";
}

#endif

}  // namespace
}  // namespace o8r::test
