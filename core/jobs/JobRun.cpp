#include "core/jobs/JobRun.h"

namespace o8r {

namespace {

Operation OperationOf(JobStepKind kind) {
    switch (kind) {
        case JobStepKind::Erase:
            return Operation::Erase;
        case JobStepKind::BlankCheck:
            return Operation::BlankCheck;
        case JobStepKind::Program:
            return Operation::Program;
        case JobStepKind::Verify:
            return Operation::Verify;
    }
    return Operation::Program;
}

std::string MessageText(const OperationResult& result) {
    std::string text;
    for (const Message& message : MessagesFor(result))
        text += (text.empty() ? "" : " ") + message.text;
    for (char& c : text)
        if (c == '\n')
            c = ' ';
    return text.empty() ? OutcomeName(result.outcome) : text;
}

}  // namespace

void JobRun::Begin(const OperationHooks& hooks, std::optional<SerialPatch> serial) {
    m_hooks = hooks;
    m_result = BoardResult{};
    m_result.serial = serial;
    m_step = 0;
    m_range = 0;
    m_operationBegun = false;
    m_running = true;
    m_session.SetTarget(m_plan.target);
    m_session.SetSerial(std::move(serial));
    if (auto changed = ImageChanged(m_plan.job)) {
        m_result.steps.push_back({"image", "Refused", {}});
        Finish(false, *changed);
    }
}

std::string JobRun::CurrentStep() const {
    return m_running && m_step < m_plan.steps.size() ? m_plan.steps[m_step].text : "";
}

Pending JobRun::Step() {
    if (!m_running)
        return Pending::Ended;
    if (m_step >= m_plan.steps.size()) {
        Finish(true, {});
        return Pending::Ended;
    }
    const PlannedStep& step = m_plan.steps[m_step];
    if (step.kind == JobStepKind::Verify) {
        StepEnded(m_session.Verify(m_hooks));
        return m_running ? Pending::Box : Pending::Ended;
    }
    if (!m_operationBegun) {
        m_session.Begin(OperationOf(step.kind), m_hooks);
        m_operationBegun = true;
    }
    Pending pending = m_session.Step();
    if (pending == Pending::Question)
        pending = Answer(m_session.Asked());
    if (pending == Pending::Ended) {
        m_operationBegun = false;
        StepEnded(m_session.Result());
    }
    return m_running ? Pending::Box : Pending::Ended;
}

Pending JobRun::Answer(Question question) {
    const PlannedStep& step = m_plan.steps[m_step];
    switch (question) {
        case Question::ImageFile:
            return m_session.AnswerImageFile(m_plan.job.image);
        case Question::EraseBlocks:
            return m_session.AnswerEraseBlocks(step.erasePages);
        case Question::Range: {
            const auto& [first, last] = step.ranges.at(m_range);
            return m_session.AnswerRange(AddressRange{first, last});
        }
        case Question::ReplaceStoredImage:
            return m_session.AnswerReplaceStoredImage(false);
    }
    return Pending::Box;
}

void JobRun::StepEnded(const OperationResult& result) {
    const PlannedStep& step = m_plan.steps[m_step];
    m_result.steps.push_back({step.text, OutcomeName(result.outcome), result});
    // A blank check that finds data has succeeded as an operation, not as a step.
    if (result.outcome != Outcome::Completed) {
        Finish(false, MessageText(result));
        return;
    }
    if (step.kind == JobStepKind::BlankCheck && ++m_range < step.ranges.size())
        return;
    m_range = 0;
    ++m_step;
}

void JobRun::Finish(bool passed, std::string message) {
    m_running = false;
    m_result.passed = passed;
    m_result.message = std::move(message);
    m_session.SetSerial(std::nullopt);
}

BoardResult JobRun::Run(const OperationHooks& hooks, std::optional<SerialPatch> serial) {
    Begin(hooks, std::move(serial));
    while (m_running) {
        if (m_step >= m_plan.steps.size()) {
            Finish(true, {});
            break;
        }
        const PlannedStep& step = m_plan.steps[m_step];
        switch (step.kind) {
            case JobStepKind::Erase:
                StepEnded(m_session.Erase(step.erasePages, hooks));
                break;
            case JobStepKind::BlankCheck: {
                const auto& [first, last] = step.ranges.at(m_range);
                StepEnded(m_session.BlankCheck(first, last, hooks));
                break;
            }
            case JobStepKind::Program:
                StepEnded(m_session.Program(m_plan.job.image, hooks));
                break;
            case JobStepKind::Verify:
                StepEnded(m_session.Verify(hooks));
                break;
        }
    }
    return m_result;
}

}  // namespace o8r
