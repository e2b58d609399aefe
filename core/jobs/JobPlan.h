#pragma once

// A job made ready for a box: its part found in the catalogue, its image read
// and checked against the checksum the job names, its blocks and ranges
// turned into what the engine sends, and every problem found on the way.
// Nothing here touches a box.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/jobs/Job.h"
#include "core/operations/BoxSession.h"

namespace o8r {

struct PlannedStep {
    JobStepKind kind = JobStepKind::Program;
    std::string text;
    std::vector<std::uint16_t> erasePages;                        // Erase, in order
    std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges;  // BlankCheck, inclusive
};

struct JobPlan {
    Job job;
    SessionTarget target;  // part, memory map, ID code, base; no serial
    std::vector<PlannedStep> steps;
    int imagePages = 0;
};

struct JobPlanning {
    JobPlan plan;  // as far as it could be made
    std::vector<std::string> problems;
    [[nodiscard]] bool Ready() const { return problems.empty(); }
};

// Every problem of the job against the catalogue's lines and its image file:
// part unknown, image missing or changed, image not loadable for the part,
// blocks or ranges the part lacks, a serial outside the part or over the
// image's data. The job's own problems (from ReadJob) are not repeated.
[[nodiscard]] JobPlanning PlanJob(const Job& job, const std::vector<std::string>& catalogueLines);

// Why the image file is not the one the job names (unreadable or another
// SHA-256); nothing when it is. Checked again before every board.
[[nodiscard]] std::optional<std::string> ImageChanged(const Job& job);

}  // namespace o8r
