#pragma once

// One board of a job: the plan's steps run in order on one engine session,
// stopping at the first that does not end as it should. The job answers the
// engine's questions itself (the image, the blocks, the ranges), so it runs
// without a person. Each front end runs it its own way: to the end at once,
// or a step at a time from a timer.

#include <optional>
#include <string>
#include <vector>

#include "core/image/SerialNumber.h"
#include "core/jobs/JobPlan.h"
#include "core/operations/BoxSession.h"

namespace o8r {

struct StepOutcome {
    std::string step;     // as the job writes it
    std::string outcome;  // OutcomeName, or "Refused" for a board refused before the box
    OperationResult result;
};

struct BoardResult {
    bool passed = false;
    std::optional<SerialPatch> serial;
    std::vector<StepOutcome> steps;
    // The failure, as the message of its ending reads; empty when passed.
    std::string message;
};

class JobRun {
  public:
    JobRun(BoxSession& session, const JobPlan& plan) : m_session(session), m_plan(plan) {}

    // Starts a board with this serial number (if the job gives one). The
    // image file is hashed again first: a changed file ends the board before
    // the box is touched.
    void Begin(const OperationHooks& hooks, std::optional<SerialPatch> serial);
    // Advances the board by one engine step: Box while it runs, Ended at its
    // end. A verify runs whole within one step.
    [[nodiscard]] Pending Step();
    [[nodiscard]] bool Running() const { return m_running; }
    // The step running now (its text), or "" between boards.
    [[nodiscard]] std::string CurrentStep() const;
    [[nodiscard]] const BoardResult& Result() const { return m_result; }

    // Runs a board to its end.
    [[nodiscard]] BoardResult Run(const OperationHooks& hooks, std::optional<SerialPatch> serial);

  private:
    // The current step's operation ended with `result`: noted, and the
    // board goes on or ends.
    void StepEnded(const OperationResult& result);
    void Finish(bool passed, std::string message);
    [[nodiscard]] Pending Answer(Question question);

    BoxSession& m_session;
    const JobPlan& m_plan;
    OperationHooks m_hooks;
    BoardResult m_result;
    bool m_running = false;
    bool m_operationBegun = false;
    std::size_t m_step = 0;
    std::size_t m_range = 0;  // the blank check's range
};

}  // namespace o8r
