#include "core/window/JobBoards.h"

#include <chrono>
#include <cstdio>
#include <deque>
#include <fstream>
#include <sstream>

#include "core/catalogue/Catalogue.h"
#include "core/model/Checksums.h"
#include "core/model/Messages.h"
#include "core/model/RunRecord.h"
#include "platform/AppendFile.h"
#include "platform/Utf8Path.h"

namespace o8r {

namespace {

// Columns of the log the view shows (CsvHeader names them all).
constexpr std::size_t kLogEnd = 10;
constexpr std::size_t kLogPort = 2;
constexpr std::size_t kLogOutcome = 12;
constexpr std::size_t kLogMessage = 13;
constexpr std::size_t kLogSerial = 22;
// A job without a log keeps this session's records, enough for the view.
constexpr std::size_t kSessionRecords = 20;

std::vector<std::string> CsvFields(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = false;
            } else {
                fields.back() += c;
            }
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            fields.emplace_back();
        } else if (c != '\r') {
            fields.back() += c;
        }
    }
    return fields;
}

// A record as the view lists it: "12:46:20  sim:1  1000  PASS".
std::string ShownRecord(const std::vector<std::string>& fields) {
    auto field = [&](std::size_t i) { return i < fields.size() ? fields[i] : std::string(); };
    std::string time = field(kLogEnd);
    if (time.size() >= 19)
        time = time.substr(0, 10) + " " + time.substr(11, 8);
    const bool passed = field(kLogOutcome) == "Completed";
    std::string line = time + "  " + (field(kLogPort).empty() ? "box" : field(kLogPort));
    if (!field(kLogSerial).empty())
        line += "  #" + field(kLogSerial);
    line += passed ? "  PASS" : "  FAIL " + field(kLogMessage);
    return line;
}

std::string FileName(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

OpenedJob OpenJob(const std::string& path, const std::string& cataloguePath) {
    OpenedJob opened;
    JobRead read = ReadJob(path);
    opened.problems = read.problems;
    if (!read.job)
        return opened;
    const auto lines = ReadCatalogueLines(cataloguePath);
    if (!lines) {
        opened.problems.push_back("the catalogue " + cataloguePath + " cannot be read");
        return opened;
    }
    JobPlanning planning = PlanJob(*read.job, *lines);
    for (std::string& problem : planning.problems)
        opened.problems.push_back(std::move(problem));
    if (opened.problems.empty())
        opened.plan = std::move(planning.plan);
    return opened;
}

std::vector<std::string> JobBoxNames(const std::string& boxes, std::string& error) {
    if (boxes.empty() || boxes == "auto")
        return {boxes};
    constexpr std::string_view kSim = "sim:";
    if (boxes.rfind(kSim, 0) == 0) {
        const std::string count = boxes.substr(kSim.size());
        int n = 0;
        for (char c : count) {
            if (c < '0' || c > '9' || n > 64) {
                n = -1;
                break;
            }
            n = n * 10 + (c - '0');
        }
        if (count.empty() || n < 1 || n > 64) {
            error = "boxes = \"" + boxes + "\": sim:N needs N from 1 to 64";
            return {};
        }
        std::vector<std::string> names;
        for (int i = 1; i <= n; ++i)
            names.push_back("sim:" + std::to_string(i));
        return names;
    }
    std::vector<std::string> names;
    std::size_t from = 0;
    while (from <= boxes.size()) {
        const std::size_t comma = std::min(boxes.find(',', from), boxes.size());
        std::string name = boxes.substr(from, comma - from);
        if (name.empty()) {
            error = "boxes = \"" + boxes + "\": an empty name between commas";
            return {};
        }
        names.push_back(std::move(name));
        from = comma + 1;
    }
    return names;
}

PlannedJob::PlannedJob(JobPlan plan, std::vector<std::string> boxes)
    : m_plan(std::move(plan)), m_openedMs(NowMs()) {
    m_facts.name = m_plan.job.name;
    m_facts.part = m_plan.job.part;
    m_facts.imageName = FileName(m_plan.job.image);
    m_facts.imageSha256 = m_plan.job.imageSha256;
    m_facts.boxes = std::move(boxes);
    if (m_facts.boxes.empty())
        m_facts.boxes.emplace_back();
    m_facts.startOnPlug = m_plan.job.startOnPlug;
}

std::optional<std::uint64_t> PlannedJob::NextSerial() const {
    if (!m_plan.job.serial)
        return std::nullopt;
    std::string error;
    return o8r::NextSerial(m_plan.job.serial->source, m_boardIndex, error);
}

std::optional<std::uint64_t> PlannedJob::TakeSerial(std::string& error) {
    if (!m_plan.job.serial) {
        error = "the job gives no serial numbers";
        return std::nullopt;
    }
    auto value = o8r::TakeSerial(m_plan.job.serial->source, m_boardIndex, error);
    if (value)
        ++m_boardIndex;
    return value;
}

std::optional<SerialPatch> PlannedJob::Patch(std::uint64_t serial, std::string& error) const {
    if (!m_plan.job.serial) {
        error = "the job gives no serial numbers";
        return std::nullopt;
    }
    return MakeSerialPatch(m_plan.job.serial->placement, serial, error);
}

bool PlannedJob::Record(const std::string& box, const BoardOutcome& outcome, std::string& error) {
    const Job& job = m_plan.job;
    RunRecord record;
    record.command = "job run";
    record.part = job.part;
    record.port = box.empty() ? "box" : box;
    record.imageFile = job.image;
    record.pages = m_plan.imagePages;
    record.endMs = NowMs();
    record.startMs = outcome.startMs != 0 ? outcome.startMs : record.endMs;
    record.durationMs = record.endMs - record.startMs;
    record.outcome =
        outcome.passed ? "Completed" : (outcome.outcome.empty() ? "Failed" : outcome.outcome);
    record.message = outcome.passed ? text::kProgramCompleted : outcome.message;
    record.exitStatus = outcome.passed ? 0 : 1;
    record.job = job.path;
    record.jobSha256 = job.sha256;
    std::string step;
    for (std::istringstream steps(outcome.steps); std::getline(steps, step, ';');) {
        const std::size_t equals = step.rfind('=');
        record.steps.emplace_back(step.substr(0, equals),
                                  equals == std::string::npos ? "" : step.substr(equals + 1));
    }
    if (outcome.serial && job.serial) {
        record.serial = *outcome.serial;
        record.serialAt = SerialPlacementText(job.serial->placement);
        std::string ignored;
        if (const auto patch = Patch(*outcome.serial, ignored))
            record.serialBytes = HexText(patch->bytes);
    }
    const std::string line = CsvLine(record);
    if (job.log.empty()) {
        // No log named: the records of this session are shown all the same.
        m_shown.push_back(ShownRecord(CsvFields(line.substr(0, line.size() - 1))));
        if (m_shown.size() > 2 * kSessionRecords)
            m_shown.erase(m_shown.begin(),
                          m_shown.begin() + static_cast<std::ptrdiff_t>(kSessionRecords));
        return true;
    }
    // The same log o8rprog appends to, shared with it safely.
    return AppendLines(job.log, CsvHeader(), line, error);
}

void PlannedJob::CloseRun(int passed, int failed) {
    if (m_plan.job.log.empty())
        return;
    RunRecord closing;
    closing.command = "job end";
    closing.part = m_plan.job.part;
    closing.job = m_plan.job.path;
    closing.jobSha256 = m_plan.job.sha256;
    closing.startMs = m_openedMs;
    closing.endMs = NowMs();
    closing.durationMs = closing.endMs - closing.startMs;
    closing.programmed = static_cast<std::uint64_t>(passed);
    closing.failed = static_cast<std::uint64_t>(failed);
    closing.outcome = failed == 0 ? "Completed" : "Failed";
    closing.message = std::to_string(passed) + " of " + std::to_string(passed + failed) +
                      (passed + failed == 1 ? " board" : " boards") + " programmed";
    closing.exitStatus = failed == 0 ? 0 : 1;
    // Nobody is left to be told when this fails: the boards' own lines are there.
    std::string ignored;
    (void)AppendLines(m_plan.job.log, CsvHeader(), CsvLine(closing), ignored);
}

std::vector<std::string> PlannedJob::LastRecords(std::size_t count) const {
    std::deque<std::string> lines;
    if (m_plan.job.log.empty()) {
        lines.assign(m_shown.begin(), m_shown.end());
    } else if (std::ifstream in(PathFromUtf8(m_plan.job.log), std::ios::binary); in) {
        std::string line;
        while (std::getline(in, line)) {
            if (line.empty() || line.rfind("command,", 0) == 0)
                continue;
            lines.push_back(ShownRecord(CsvFields(line)));
            if (lines.size() > count)
                lines.pop_front();
        }
    }
    while (lines.size() > count)
        lines.pop_front();
    return {lines.begin(), lines.end()};
}

JobBoardRunner::JobBoardRunner(Bridge& bridge, Clock& clock, PlannedJob& job)
    : m_bridge(bridge), m_job(job), m_session(bridge, clock), m_run(m_session, job.Plan()) {}

JobBoardRunner::~JobBoardRunner() {
    if (m_session.Link().IsOpen())
        m_session.Release();
}

bool JobBoardRunner::Attached() {
    if (!m_ended)
        return true;
    std::uint32_t count = 0;
    const bool there = m_bridge.GetDeviceCount(count) == 0 && count == 1;
    // Unplugged: the next board finds the box afresh.
    if (!there)
        m_detectAgain = true;
    return there;
}

void JobBoardRunner::End(bool passed, std::string message) {
    m_ended = true;
    m_outcome.passed = passed;
    m_outcome.message = std::move(message);
    if (!passed)
        m_detectAgain = true;
}

void JobBoardRunner::Begin(std::optional<std::uint64_t> serial) {
    m_outcome = BoardOutcome{};
    m_outcome.serial = serial;
    m_outcome.startMs = NowMs();
    m_percent = 0;
    m_ended = false;
    std::optional<SerialPatch> patch;
    if (serial) {
        std::string error;
        patch = m_job.Patch(*serial, error);
        if (!patch) {
            m_outcome.outcome = "Refused";
            End(false, error);
            return;
        }
    }
    if (m_detectAgain) {
        const OperationResult found = m_session.Detect();
        if (found.outcome != Outcome::NormalMode) {
            std::string text;
            for (const Message& message : MessagesFor(found))
                text += (text.empty() ? "" : " ") + message.text;
            m_outcome.outcome = OutcomeName(found.outcome);
            End(false, text.empty() ? m_outcome.outcome : text);
            return;
        }
        m_detectAgain = false;
    }
    m_run.Begin({this, nullptr, nullptr}, std::move(patch));
}

Pending JobBoardRunner::Step() {
    if (m_ended)
        return Pending::Ended;
    if (m_run.Step() != Pending::Ended)
        return Pending::Box;
    const BoardResult& result = m_run.Result();
    for (const StepOutcome& step : result.steps) {
        m_outcome.steps += (m_outcome.steps.empty() ? "" : ";") + step.step + "=" + step.outcome;
    }
    if (!result.steps.empty())
        m_outcome.outcome = result.steps.back().outcome;
    if (result.passed)
        m_percent = 100;
    End(result.passed, result.message);
    return Pending::Ended;
}

}  // namespace o8r
