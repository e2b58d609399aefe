// o8rprog job: a production job checked, run on one box or as a gang, or
// written from the options the other commands take.

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>

#include "cli/CatalogueAccess.h"
#include "cli/CommandSession.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/Gang.h"
#include "cli/ProgramPath.h"
#include "cli/RunOutput.h"
#include "cli/RunRecord.h"
#include "cli/SerialChoice.h"
#include "core/image/ImageFile.h"
#include "core/jobs/JobPlan.h"
#include "core/jobs/JobRun.h"
#include "core/model/HexText.h"
#include "core/model/Messages.h"
#include "platform/NewFile.h"
#include "platform/Utf8Path.h"

namespace o8r::cli {

namespace {

const std::vector<std::string> kDefaultSteps = {"erase", "program", "verify"};

// The job read and planned, with every problem found; nothing planned when
// the catalogue cannot be read (its reason shown).
struct CheckedJob {
    std::optional<Job> job;
    JobPlanning planning;
    std::vector<std::string> problems;
    std::vector<std::string> catalogue;
};

std::optional<CheckedJob> CheckJob(const GlobalOptions& global, const std::string& path) {
    CheckedJob checked;
    JobRead read = ReadJob(path);
    checked.problems = read.problems;
    checked.job = read.job;
    if (!read.job)
        return checked;
    const auto lines = LoadCatalogue(global, std::cerr);
    if (!lines)
        return std::nullopt;
    checked.catalogue = *lines;
    checked.planning = PlanJob(*read.job, *lines);
    checked.problems.insert(checked.problems.end(), checked.planning.problems.begin(),
                            checked.planning.problems.end());
    return checked;
}

std::string Hex5(std::uint32_t value) {
    return HexDigitsText(value, 5);
}

std::string StepLine(const PlannedStep& step) {
    std::string line = step.text;
    if (step.kind == JobStepKind::Erase) {
        std::string pages;
        for (const std::uint16_t page : step.erasePages)
            pages += (pages.empty() ? "" : ",") + Hex5(static_cast<std::uint32_t>(page) << 8);
        line += " (blocks at " + (pages.empty() ? "none" : pages) + ")";
    } else if (step.kind == JobStepKind::BlankCheck) {
        std::string ranges;
        for (const auto& [first, last] : step.ranges)
            ranges += (ranges.empty() ? "" : ", ") + Hex5(first) + "-" + Hex5(last);
        line += " (" + ranges + ")";
    }
    return line;
}

void PrintPlan(const Job& job, const JobPlan& plan) {
    const auto row = [](const char* name, const std::string& value) {
        std::cout << name << std::string(9 - std::string(name).size(), ' ') << value << '\n';
    };
    row("job", job.path + " (sha256 " + job.sha256 + ")");
    if (!job.name.empty())
        row("name", job.name);
    row("part",
        job.part + (plan.target.part.empty() ? "" : " " + FormatMemoryMap(plan.target.map)));
    row("image", job.image + " (" + std::to_string(plan.imagePages) + " pages)");
    row("sha256", job.imageSha256);
    for (std::size_t i = 0; i < plan.steps.size(); ++i)
        row(i == 0 ? "steps" : "", std::to_string(i + 1) + ". " + StepLine(plan.steps[i]));
    row("id code", job.id.empty()       ? "erased (seven bytes FF)"
                   : job.id == "image:" ? "the image's: " + IdCodeText(plan.target.idCode)
                                        : job.id);
    if (job.serial) {
        std::string next;
        std::string error;
        if (const auto value = NextSerial(job.serial->source, 0, error))
            next = ", next " + std::to_string(*value);
        row("serial", SerialPlacementText(job.serial->placement) + " from " +
                          SerialSourceText(job.serial->source) + next);
    } else {
        row("serial", "none");
    }
    row("log", job.log.empty() ? "none" : job.log);
    row("boxes", job.boxes.empty() ? "the one box (--box)" : job.boxes);
    row("start", job.startOnPlug ? "on-plug" : "button");
}

// Where a job run's records go: the job's log, which --log may name too.
std::string JobLog(const GlobalOptions& global, const Job& job) {
    if (job.log.empty())
        return global.log;
    if (!global.log.empty() && FullPath(global.log) != FullPath(job.log))
        throw UsageError("--log: the job writes its records to " + job.log);
    return job.log;
}

RunRecord ClosingRecord(const Job& job, std::uint64_t startMs, std::uint64_t steadyStartMs,
                        std::uint64_t boards, std::uint64_t programmed) {
    RunRecord closing;
    closing.command = "job end";
    closing.part = job.part;
    closing.job = job.path;
    closing.jobSha256 = job.sha256;
    closing.startMs = startMs;
    closing.endMs = NowMs();
    closing.durationMs = SteadyMs() - steadyStartMs;
    closing.programmed = programmed;
    closing.failed = boards - programmed;
    closing.outcome = programmed == boards ? "Completed" : "Failed";
    closing.message = std::to_string(programmed) + " of " + std::to_string(boards) +
                      (boards == 1 ? " board" : " boards") + " programmed";
    closing.exitStatus = programmed == boards ? kExitOk : kExitFailure;
    return closing;
}

int RunJobOnBox(const GlobalOptions& global, const CheckedJob& checked) {
    const Job& job = *checked.job;
    const JobPlan& plan = checked.planning.plan;
    // A new simulated target gets the part's flash blocks.
    const auto part = FindPartLoosely(checked.catalogue, job.part);
    CommandSession box(global, part ? &*part : nullptr);
    box.Box().SetTarget(plan.target);
    RunRecord& record = CurrentRecord();
    record.job = job.path;
    record.jobSha256 = job.sha256;
    if (!box.Attach(Outcome::NormalMode))
        return kExitFailure;
    std::optional<SerialPatch> serial;
    if (job.serial)
        serial = TakeBoardSerial(*job.serial, global.serialIndex);
    JobRun run(box.Box(), plan);
    const BoardResult board = run.Run(box.Hooks(), serial);
    for (const StepOutcome& step : board.steps)
        record.steps.emplace_back(step.step, step.outcome);
    if (!board.steps.empty() && board.steps.back().outcome == "Refused") {
        std::cerr << text::kCaptionError << ": " << board.message << '\n';
        NoteFailure("JobRefused", board.message);
    } else if (!board.steps.empty()) {
        // Each step's ending was shown as it ended; the last may add a failed reset.
        (void)box.Report(board.steps.back().result);
    }
    return board.passed ? kExitOk : kExitFailure;
}

}  // namespace

int RunJobCheck(const GlobalOptions& global, const JobOptions& options) {
    const auto checked = CheckJob(global, options.file);
    if (!checked)
        return kExitFailure;
    if (checked->job)
        PrintPlan(*checked->job, checked->planning.plan);
    if (checked->job && checked->job->serial &&
        checked->job->serial->source.kind == SerialSource::Kind::Start)
        std::cout << "note     numbers from a start begin again with every run: a counter or "
                     "a list gives each board its own across runs\n";
    if (checked->problems.empty()) {
        std::cout << "no problems\n";
        return kExitOk;
    }
    for (const std::string& problem : checked->problems)
        std::cout << "problem  " << problem << '\n';
    return kExitFailure;
}

int RunJobRun(const GlobalOptions& global, const JobOptions& options) {
    if (global.id || global.idText || global.base)
        throw UsageError(
            "job run: the job names its ID code and base; --id, --id-text and "
            "--base are not taken");
    const auto checked = CheckJob(global, options.file);
    if (!checked)
        return kExitFailure;
    if (!checked->problems.empty()) {
        for (const std::string& problem : checked->problems)
            std::cerr << "o8rprog: " << options.file << ": " << problem << '\n';
        std::cerr << "o8rprog: the job is refused; no box was touched\n";
        // The refusal is recorded too, in the job's log where it has one.
        GlobalOptions own = global;
        if (checked->job && !checked->job->log.empty())
            own.log = checked->job->log;
        BeginRecord(own, CommandNames{"job run", checked->job ? checked->job->part : "",
                                      checked->job ? checked->job->image : ""});
        if (checked->job) {
            CurrentRecord().job = checked->job->path;
            CurrentRecord().jobSha256 = checked->job->sha256;
        }
        NoteFailure("JobRefused", checked->problems.front());
        return kExitFailure;
    }
    const Job& job = *checked->job;
    GlobalOptions own = global;
    own.log = JobLog(global, job);
    const std::string boxes = options.oneBox          ? ""
                              : options.boxes.empty() ? job.boxes
                                                      : options.boxes;
    const std::uint64_t startMs = NowMs();
    const std::uint64_t steadyStart = SteadyMs();
    if (!boxes.empty()) {
        GangOptions gang{boxes, options.jobs, {"job", "run", options.file, "--one-box"}};
        GangTally tally;
        const int status = RunGang(own, gang, &tally);
        if (tally.total > 0 && !own.log.empty())
            CloseRun(own.log,
                     ClosingRecord(job, startMs, steadyStart, tally.total, tally.succeeded));
        return status;
    }
    BeginRecord(own, CommandNames{"job run", job.part, job.image});
    int status = kExitFailure;
    try {
        status = RunJobOnBox(own, *checked);
    } catch (const UsageError&) {
        throw;
    } catch (const ShownFailure& e) {
        NoteFailure("Failed", e.what());
    } catch (const std::exception& e) {
        std::cerr << "o8rprog: " << e.what() << '\n';
        NoteFailure("Failed", e.what());
    }
    // One o8rprog of a gang leaves the closing line to the gang.
    if (!options.oneBox && !own.log.empty())
        CloseRun(own.log, ClosingRecord(job, startMs, steadyStart, 1, status == kExitOk ? 1 : 0));
    return status;
}

int RunJobNew(const GlobalOptions& global, const JobOptions& options) {
    Job job;
    job.part = options.mcu;
    job.image = FullPath(options.file);
    job.name =
        options.name.empty() ? Utf8FromPath(PathFromUtf8(options.file).filename()) : options.name;
    job.base = global.base;
    job.log = options.log.empty() ? "" : FullPath(options.log);
    job.boxes = options.boxes;
    job.startOnPlug = options.start == "on-plug";
    if (global.idText)
        throw UsageError("job new: give the ID code as --id with 14 hexadecimal digits");
    if (global.id) {
        if (global.id->starts_with("image:")) {
            if (FullPath(global.id->substr(6)) != job.image)
                throw UsageError("--id image:FILE: a job takes the ID code of its own image only");
            job.id = "image:";
        } else if (global.id->size() == 14) {
            job.id = *global.id;
        } else {
            throw UsageError("--id: a job names the whole ID code, 14 hexadecimal digits");
        }
    }
    for (const std::string& text : options.steps.empty() ? kDefaultSteps : options.steps) {
        std::string error;
        const auto step = ParseJobStep(text, error);
        if (!step)
            throw UsageError("--steps: " + error);
        job.steps.push_back(*step);
    }
    if (auto serial = ChooseSerial(options.serial)) {
        if (serial->source.kind != SerialSource::Kind::Start)
            serial->source.file = FullPath(serial->source.file);
        job.serial = serial;
    }
    std::string error;
    const auto sha = FileSha256(job.image, error);
    if (!sha) {
        std::cerr << text::kCaptionError << ": " << error << '\n';
        return kExitFailure;
    }
    job.imageSha256 = *sha;

    std::string output = options.output;
    if (output.empty())
        output = Utf8FromPath(PathFromUtf8(options.file).stem()) + ".job.toml";
    const std::filesystem::path outputPath = PathFromUtf8(output);
    std::error_code exists;
    if (std::filesystem::exists(outputPath, exists))
        throw UsageError("job new: " + output + " exists already; name another with -o");
    const std::string folder = Utf8FromPath(std::filesystem::absolute(outputPath).parent_path());
    const std::string text = JobText(job, folder);

    // The job as it will be read back: a job that could not run is not written.
    const auto lines = LoadCatalogue(global, std::cerr);
    if (!lines)
        return kExitFailure;
    const JobPlanning planning = PlanJob(job, *lines);
    if (!planning.Ready()) {
        for (const std::string& problem : planning.problems)
            std::cerr << "o8rprog: " << problem << '\n';
        std::cerr << "o8rprog: no job written\n";
        return kExitFailure;
    }
    if (!ReplaceRegularFile(outputPath, text, error)) {
        std::cerr << "o8rprog: cannot write " << output << ": " << error << '\n';
        return kExitFailure;
    }
    std::cout << "wrote " << output << " for " << planning.plan.target.part << ", image sha256 "
              << job.imageSha256 << '\n';
    return kExitOk;
}

}  // namespace o8r::cli
