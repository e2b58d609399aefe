#include "cli/RunOutput.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <sstream>
#include <system_error>

#include "bridges/BridgeFactory.h"
#include "cli/CheckedOutput.h"
#include "cli/ExitStatus.h"
#include "cli/ProgressEvents.h"
#include "cli/RecordOutput.h"
#include "platform/AppendFile.h"
#include "cli/RunRecord.h"
#include "platform/Utf8Path.h"

namespace o8r::cli {

namespace {

bool g_progressLines = false;

// The command being recorded.
struct Run {
    bool json = false;
    std::string log;
    std::string file;
    std::ostringstream held;  // its stdout under --json
    std::streambuf* stdoutBuffer = nullptr;
};
std::optional<Run> g_run;
// The closing line of a job's run and its log.
std::optional<std::pair<std::string, RunRecord>> g_closing;

// The closing line written; a log that cannot take it fails the run.
int WriteClosingLine(int status) {
    if (!g_closing)
        return status;
    std::string error;
    if (!AppendToLog(g_closing->first, CsvLine(g_closing->second), error)) {
        std::cerr << "o8rprog: " << error << '\n';
        status = kExitFailure;
    }
    g_closing.reset();
    return status;
}

// Where the box is and what it is called, as far as the system says.
void NoteBox(const GlobalOptions& global) {
    RunRecord& record = CurrentRecord();
    if (global.box == "sim") {
        record.port = "sim";
        record.usbSerial = global.simSerial;
        return;
    }
    const std::string prefix = "serial:";
    const bool named = global.box.rfind(prefix, 0) == 0;
    // Windows: usbxpress:INDEX or usbxpress:SERIAL names the box.
    const bool usb = global.box.rfind("usbxpress:", 0) == 0;
    record.port = named ? global.box.substr(prefix.size()) : std::string();
    std::string error;
    const auto boxes = FindBoxes(error);
    if (!boxes)
        return;
    for (const FoundBox& box : *boxes) {
        const bool chosen = usb     ? global.box == box.port || global.box == BoxChoiceFor(box)
                            : named ? box.port == record.port
                                    : boxes->size() == 1;
        if (chosen) {
            record.port = box.port;
            record.usbSerial = box.usbSerial;
        }
    }
}

// A command that ended without an operation's ending of its own.
std::string DefaultOutcome(int status) {
    switch (status) {
        case kExitOk:
            return "Completed";
        case kExitUsage:
            return "UsageError";
        default:
            return "Failed";
    }
}

std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r' || c == '\t')
            c = ' ';
    return text;
}

}  // namespace

void CheckOutputFiles(const GlobalOptions& global, bool gang) {
    const auto check = [](const char* option, const std::string& path, bool streams) {
        if (path.empty())
            return;
        if (const std::string what = NotAnOutputFile(path, streams); !what.empty())
            throw UsageError(std::string(option) + ": " + path + " is " + what +
                             (streams ? "; expected a file, a device or a FIFO that a process reads"
                                      : "; expected a regular file"));
    };
    check("--log", global.log, false);
    if (gang)
        return;  // each box's o8rprog judges its own NAME.N
    check("--sim-state", global.simState, false);
    check("--trace", global.trace, true);
}

void NoteFailure(std::string_view outcome, const std::string& text) {
    RunRecord& record = CurrentRecord();
    if (record.outcome.empty())
        record.outcome = std::string(outcome);
    if (record.message.empty())
        record.message = text;
}

void ReplaceEnding(std::string_view outcome, const std::string& text) {
    RunRecord& record = CurrentRecord();
    record.outcome = std::string(outcome);
    record.message = text;
    record.messageIsError = true;
}

bool StreamLine(std::string_view kind, std::string_view text) {
    if (!g_progressLines)
        return false;
    std::string line = "@o8r ";
    line.append(kind).append(" ").append(text) += '\n';
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
    return true;
}

void BeginRecord(const GlobalOptions& global, const CommandNames& names) {
    g_progressLines = global.progressLines;
    g_run = Run{global.json, global.log, names.file, {}, nullptr};
    RunRecord& record = CurrentRecord();
    record.command = names.command;
    record.part = names.part;
    record.imageFile = names.file;
    if (!names.file.empty()) {
        std::error_code error;
        const auto size = std::filesystem::file_size(PathFromUtf8(names.file), error);
        if (!error)
            record.imageSize = size;
    }
    NoteBox(global);
    StreamLine("box", record.usbSerial);
    SetEventsOn(global.progress == "json");
    StartEvent(record.command, record.part, record.imageFile, record.port, record.usbSerial);
    record.startMs = NowMs();
    record.steadyStartMs = SteadyMs();
    // Under --json whatever the command prints goes into the object instead.
    if (g_run->json)
        g_run->stdoutBuffer = std::cout.rdbuf(g_run->held.rdbuf());
}

void CloseRun(const std::string& log, const RunRecord& closing) {
    g_closing.emplace(log, closing);
}

int FinishRecord(int status) {
    if (!g_run)
        return WriteClosingLine(status);
    // A gang's Ctrl-C that comes after the operation has ended must not cost
    // the box its record.
    if (g_progressLines)
        std::signal(SIGINT, SIG_IGN);
    if (g_run->stdoutBuffer != nullptr)
        std::cout.rdbuf(g_run->stdoutBuffer);
    RunRecord& record = CurrentRecord();
    record.endMs = NowMs();
    record.durationMs = SteadyMs() - record.steadyStartMs;
    record.output = g_run->held.str();
    if (record.outcome.empty())
        record.outcome = DefaultOutcome(status);
    // What the command printed has reached its stream, or failed to, before
    // the record says how the run ended.
    std::cout.flush();
    std::cerr.flush();
    if (const auto failure = FirstOutputFailure()) {
        if (status != kExitFailure)
            ReplaceEnding("Failed", OutputFailureText(*failure));
        status = kExitFailure;
    }
    // A refusal that showed no error of its own: the question answered No.
    if (status != kExitOk && record.message.empty() && !record.lastQuestion.empty())
        record.message = "answered No: " + OneLine(record.lastQuestion);
    record.exitStatus = status;

    if (!g_run->log.empty()) {
        std::string error;
        if (!AppendToLog(g_run->log, CsvLine(record), error)) {
            std::cerr << "o8rprog: " << error << '\n';
            if (status != kExitFailure)
                ReplaceEnding("Failed", error);
            status = kExitFailure;
            record.exitStatus = status;
        }
    }
    const int closed = WriteClosingLine(status);
    if (closed != status) {
        ReplaceEnding("Failed", "the job's closing line could not be written to its log");
        status = closed;
        record.exitStatus = status;
    }
    if (g_run->json)
        std::cout << RecordJson(record) << '\n' << std::flush;
    EndEvent(status, RecordJson(record));
    StreamLine("end",
               std::to_string(status) + " " + record.outcome + "\t" + OneLine(record.message));
    g_run.reset();
    return status;
}

}  // namespace o8r::cli
