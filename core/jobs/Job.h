#pragma once

// A production job: a locked recipe a line runs board after board instead of
// typing options. It is a TOML file naming the part, the image file and the
// SHA-256 it must have, the steps in order, the ID code, the serial numbers,
// the log and the boxes. Paths in it are taken from the job file's folder.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/image/SerialNumber.h"
#include "core/jobs/SerialSource.h"

namespace o8r {

enum class JobStepKind { Erase, BlankCheck, Program, Verify };

struct JobStep {
    JobStepKind kind = JobStepKind::Program;
    std::string text;                 // as the job writes it: "erase 0,1", "blank-check"
    std::vector<std::string> blocks;  // Erase: block names; empty: every block
    // BlankCheck: an inclusive range; nothing: every region of the part's flash.
    std::optional<std::pair<std::uint32_t, std::uint32_t>> range;
};

struct JobSerial {
    SerialPlacement placement;
    SerialSource source;
};

struct Job {
    std::string path;    // the job file, as given
    std::string sha256;  // of the job file's bytes
    std::string name;
    std::string part;
    std::string image;        // the image file, its folder resolved
    std::string imageSha256;  // what the image file must hash to
    std::optional<std::uint32_t> base;
    std::vector<JobStep> steps;
    std::string id;  // "": the erased code; 14 hexadecimal digits; or "image:"
    std::optional<JobSerial> serial;
    std::string log;    // the CSV log, its folder resolved; "": none
    std::string boxes;  // as gang's --boxes spells them; "": the one box
    bool startOnPlug = false;
};

struct JobRead {
    std::optional<Job> job;  // nothing when the file cannot be read as a job
    std::vector<std::string> problems;
};

// Reads and checks the job file's own content (no image, catalogue or box).
[[nodiscard]] JobRead ReadJob(const std::string& path);
// The job as a TOML text, its paths relative to `folder` where they lie in it.
[[nodiscard]] std::string JobText(const Job& job, const std::string& folder);
// "erase 0,1": a step as a job writes it; nothing with the reason.
[[nodiscard]] std::optional<JobStep> ParseJobStep(const std::string& text, std::string& error);

// The SHA-256 of a file's bytes, 64 lower-case hexadecimal digits; nothing
// with the reason when it cannot be read.
[[nodiscard]] std::optional<std::string> FileSha256(const std::string& path, std::string& error);

}  // namespace o8r
