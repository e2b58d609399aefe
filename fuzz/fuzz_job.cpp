// Any bytes as a job file: the reader must refuse with its reasons or read a
// job, and a job read without problems must read back the same once written.

#include <cstdint>
#include <string>
#include <string_view>

#include "core/jobs/Job.h"
#include "fuzz/FuzzRequire.h"

namespace {

using namespace o8r;
using fuzz::Require;

constexpr char kPath[] = "/line/job.toml";

std::string Steps(const Job& job) {
    std::string text;
    for (const JobStep& step : job.steps)
        text += step.text + "\n";
    return text;
}

bool SameJob(const Job& a, const Job& b) {
    const auto serial = [](const Job& job) {
        if (!job.serial)
            return std::string();
        return SerialPlacementText(job.serial->placement) +
               (job.serial->placement.overwrite ? " over " : " ") +
               SerialSourceText(job.serial->source);
    };
    return a.name == b.name && a.part == b.part && a.image == b.image &&
           a.imageSha256 == b.imageSha256 && a.base == b.base && Steps(a) == Steps(b) &&
           a.id == b.id && serial(a) == serial(b) && a.log == b.log && a.boxes == b.boxes &&
           a.startOnPlug == b.startOnPlug;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const JobRead read =
        ParseJob(std::string_view(reinterpret_cast<const char*>(data), size), kPath);
    Require(read.job.has_value() || !read.problems.empty(), "a refusal says why");
    for (const std::string& problem : read.problems)
        Require(!problem.empty(), "every problem has its text");
    if (!read.job || !read.problems.empty())
        return 0;
    const JobRead again = ParseJob(JobText(*read.job, "/line"), kPath);
    Require(again.job.has_value() && again.problems.empty(), "a written job reads back");
    Require(SameJob(*read.job, *again.job), "a written job reads back the same");
    return 0;
}
