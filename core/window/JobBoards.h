#pragma once

// A planned production job as the operator view runs it: its facts, its
// serial numbers, its log (the CSV log o8rprog writes, one line per board),
// and a runner per box that runs the job's steps on the box's own engine
// session.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/jobs/JobPlan.h"
#include "core/jobs/JobRun.h"
#include "core/operations/BoxSession.h"
#include "core/protocol/Bridge.h"
#include "core/protocol/Clock.h"
#include "core/window/OperatorJob.h"

namespace o8r {

// A job read, checked against the catalogue and planned; nothing with every
// problem found (a job with problems is refused before any box is touched).
struct OpenedJob {
    std::optional<JobPlan> plan;
    std::vector<std::string> problems;
};
[[nodiscard]] OpenedJob OpenJob(const std::string& path, const std::string& cataloguePath);

// The boxes a job names ("", "sim:N", "auto" or ports separated by commas),
// one name each: "" for the program's own box, "sim:1"..., the ports. "auto"
// is handed back as it is for the front end to list.
[[nodiscard]] std::vector<std::string> JobBoxNames(const std::string& boxes, std::string& error);

class PlannedJob : public OperatorJob {
  public:
    PlannedJob(JobPlan plan, std::vector<std::string> boxes);

    [[nodiscard]] const JobPlan& Plan() const { return m_plan; }
    [[nodiscard]] const OperatorJobFacts& Facts() const override { return m_facts; }
    [[nodiscard]] bool UsesSerials() const override { return m_plan.job.serial.has_value(); }
    [[nodiscard]] std::optional<std::uint64_t> NextSerial() const override;
    [[nodiscard]] std::optional<std::uint64_t> TakeSerial(std::string& error) override;
    [[nodiscard]] bool Record(const std::string& box, const BoardOutcome& outcome,
                              std::string& error) override;
    void CloseRun(int passed, int failed) override;
    [[nodiscard]] std::vector<std::string> LastRecords(std::size_t count) const override;
    // The serial number's bytes for a board, as the engine writes them.
    [[nodiscard]] std::optional<SerialPatch> Patch(std::uint64_t serial, std::string& error) const;

  private:
    JobPlan m_plan;
    std::uint64_t m_openedMs = 0;  // when the view opened the job: its run begins
    OperatorJobFacts m_facts;
    std::uint64_t m_boardIndex = 0;    // boards given a number from a start this session
    std::vector<std::string> m_shown;  // records of a job without a log of its own
};

// One box of the job on its own bridge and engine session.
class JobBoardRunner : public BoardRunner, private OperationListener {
  public:
    JobBoardRunner(Bridge& bridge, Clock& clock, PlannedJob& job);
    // The box is let go as closing the window does: held in reset, closed.
    ~JobBoardRunner() override;
    JobBoardRunner(const JobBoardRunner&) = delete;
    JobBoardRunner& operator=(const JobBoardRunner&) = delete;

    [[nodiscard]] bool Attached() override;
    void Begin(std::optional<std::uint64_t> serial) override;
    [[nodiscard]] Pending Step() override;
    [[nodiscard]] int Percent() const override { return m_percent; }
    [[nodiscard]] std::string Activity() const override { return m_run.CurrentStep(); }
    [[nodiscard]] const BoardOutcome& Outcome() const override { return m_outcome; }

  private:
    void Progress(int percent) override { m_percent = percent; }
    void PhaseStarted(Phase) override { m_percent = 0; }
    void End(bool passed, std::string message);

    Bridge& m_bridge;
    PlannedJob& m_job;
    BoxSession m_session;
    JobRun m_run;
    BoardOutcome m_outcome;
    int m_percent = 0;
    bool m_ended = true;
    bool m_detectAgain = true;  // after a failed board, or before the first
};

}  // namespace o8r
