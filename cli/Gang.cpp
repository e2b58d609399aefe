// o8rprog gang: one command on several boxes at once. Each box gets an
// o8rprog of its own (the box's state is process-wide), run with --json and
// its progress as "@o8r" lines on stderr; the gang shows them, forwards
// Ctrl-C to every box's own cancel, and sums up.

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>

#include "bridges/BridgeFactory.h"
#include "cli/ChildProcess.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/Gang.h"
#include "cli/ProgramPath.h"
#include "cli/RecordOutput.h"
#include "cli/RunOutput.h"
#include "cli/RunRecord.h"
#include "cli/Terminal.h"
#include "sim/SimFaults.h"

namespace o8r::cli {

namespace {

// The live table is drawn at most this often, whatever the boxes report.
constexpr std::uint64_t kRedrawMs = 100;
constexpr std::size_t kLiveWidth = 79;

struct Box {
    GangBox target;
    std::string usbSerial;
    std::unique_ptr<ChildProcess> child;
    std::string out;         // the child's JSON
    std::string errPending;  // an unfinished stderr line
    std::string errText;     // its stderr other than progress lines
    std::string phase = "Waiting";
    std::string notice;  // said by the box while it works ("cannot be cancelled")
    int percent = 0;
    std::uint64_t startMs = 0;
    std::uint64_t endMs = 0;
    bool started = false;
    bool done = false;
    int status = kExitFailure;
    std::string outcome;
    std::string message;
    bool reported = false;
};

std::string Elapsed(const Box& box) {
    if (!box.started)
        return "";
    const std::uint64_t ms = (box.done ? box.endMs : SteadyMs()) - box.startMs;
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", static_cast<double>(ms) / 1000.0);
    return text;
}

std::string Pad(std::string text, std::size_t width) {
    if (text.size() < width)
        text.append(width - text.size(), ' ');
    return text;
}

std::string BoxLine(const Box& box, std::size_t labelWidth, std::size_t serialWidth) {
    std::string result;
    if (box.done)
        result = box.status == kExitOk ? "ok" : (box.message.empty() ? box.outcome : box.message);
    else if (box.started)
        result = box.notice.empty() ? "running" : box.notice;
    std::string line = Pad(box.target.label, labelWidth) + "  " +
                       Pad(box.usbSerial.empty() ? "-" : box.usbSerial, serialWidth) + "  " +
                       Pad(box.phase, 11) + " " + Pad(std::to_string(box.percent) + "%", 4) + "  " +
                       Pad(Elapsed(box), 8) + "  " + result;
    for (char& c : line)
        if (c == '\n' || c == '\r')
            c = ' ';
    return line;
}

void TakeProgressLine(Box& box, const std::string& line) {
    const std::string prefix = "@o8r ";
    if (line.rfind(prefix, 0) != 0) {
        box.errText += line + '\n';
        return;
    }
    const std::string rest = line.substr(prefix.size());
    const auto space = rest.find(' ');
    const std::string kind = rest.substr(0, space);
    const std::string text = space == std::string::npos ? "" : rest.substr(space + 1);
    if (kind == "notice") {
        box.notice = text;
    } else if (kind == "box") {
        if (!text.empty())
            box.usbSerial = text;
    } else if (kind == "phase") {
        box.phase = text;
        box.percent = 0;
    } else if (kind == "percent") {
        box.percent = std::atoi(text.c_str());
    } else if (kind == "end") {
        const auto firstSpace = text.find(' ');
        const auto tab = text.find('\t');
        if (firstSpace != std::string::npos) {
            box.outcome =
                text.substr(firstSpace + 1,
                            tab == std::string::npos ? std::string::npos : tab - firstSpace - 1);
            if (tab != std::string::npos)
                box.message = text.substr(tab + 1);
        }
        if (box.outcome == "Completed" || box.outcome == "NormalMode")
            box.percent = 100;
    }
}

void TakeStderr(Box& box, std::string_view bytes) {
    box.errPending.append(bytes);
    std::size_t end = 0;
    while ((end = box.errPending.find('\n')) != std::string::npos) {
        TakeProgressLine(box, box.errPending.substr(0, end));
        box.errPending.erase(0, end + 1);
    }
}

// The box's JSON object with its slot first; a child that wrote none (it
// crashed, or was killed) gets one made from what is known.
Json BoxJson(const Box& box, const std::string& command) {
    Json json = Json::object();
    json["slot"] = ValidUtf8(box.target.label);
    const Json written = Json::parse(box.out, nullptr, false);
    if (written.is_object()) {
        for (const auto& [key, value] : written.items())
            json[key] = value;
        return json;
    }
    json["command"] = command;
    json["outcome"] = box.outcome.empty() ? "Failed" : box.outcome;
    json["message"] = ValidUtf8(box.message.empty() ? box.errText : box.message);
    json["exitStatus"] = box.status;
    return json;
}

// --sim-fault N=SPEC is for box N only; a fault without N= is for every box.
struct BoxFault {
    std::string box;  // N, or empty
    std::string spec;
};

BoxFault SplitFault(const std::string& fault) {
    const auto equals = fault.find('=');
    const std::string head = fault.substr(0, equals);
    if (equals == std::string::npos || head.empty() ||
        head.find_first_not_of("0123456789") != std::string::npos)
        return {"", fault};
    return {head, fault.substr(equals + 1)};
}

// back.mot -> back-2.mot; the folder stays as written.
std::string NumberedFile(const std::string& file, const std::string& number) {
    const std::size_t name = file.find_last_of("/\\");
    const std::size_t dot = file.rfind('.');
    const bool extension =
        dot != std::string::npos && dot > 0 && (name == std::string::npos || dot > name + 1);
    return extension ? file.substr(0, dot) + "-" + number + file.substr(dot) : file + "-" + number;
}

const char* DoneWord(const std::string& command) {
    static const std::map<std::string, const char*> words = {
        {"program", "programmed"}, {"erase", "erased"}, {"blank-check", "checked"},
        {"read", "read"},          {"load", "loaded"},  {"update", "updated"},
        {"job", "programmed"},
    };
    const auto it = words.find(command);
    return it == words.end() ? "done" : it->second;
}

bool SamePort(const std::string& a, const std::string& b) {
    if (a == b)
        return true;
    std::error_code errorA;
    std::error_code errorB;
    const auto pathA = std::filesystem::weakly_canonical(std::filesystem::path(a), errorA);
    const auto pathB = std::filesystem::weakly_canonical(std::filesystem::path(b), errorB);
    return !errorA && !errorB && pathA == pathB;
}

}  // namespace

std::vector<GangBox> GangBoxes(const std::string& spec, std::string& error) {
    std::vector<GangBox> boxes;
    const std::string simPrefix = "sim:";
    if (spec.rfind(simPrefix, 0) == 0) {
        const std::string count = spec.substr(simPrefix.size());
        int n = 0;
        if (count.empty() || count.size() > 3 ||
            count.find_first_not_of("0123456789") != std::string::npos ||
            (n = std::stoi(count)) < 1 || n > kMaxGangBoxes) {
            error = "--boxes sim:N: N is a number from 1 to " + std::to_string(kMaxGangBoxes);
            return {};
        }
        for (int i = 1; i <= n; ++i)
            boxes.push_back(GangBox{"sim:" + std::to_string(i), "sim", i});
        return boxes;
    }
    if (spec == "auto") {
        const auto found = FindBoxes(error);
        if (!found)
            return {};
        if (found->empty()) {
            error = "no box found";
            return {};
        }
        int index = 0;
        for (const FoundBox& box : *found)
            boxes.push_back(GangBox{box.port, "serial:" + box.port, ++index});
        return boxes;
    }
    std::stringstream list(spec);
    std::string port;
    int index = 0;
    while (std::getline(list, port, ',')) {
        if (port.empty()) {
            error = "--boxes: an empty port name in " + spec;
            return {};
        }
        // One port by two names (a link, "..") would get two programs at once.
        for (const GangBox& other : boxes) {
            if (SamePort(other.label, port)) {
                error = "--boxes: " + port + " and " + other.label + " are the same port";
                if (other.label == port)
                    error = "--boxes: " + port + " is named twice";
                return {};
            }
        }
        boxes.push_back(GangBox{port, "serial:" + port, ++index});
    }
    if (boxes.empty())
        error = "--boxes: no port given";
    return boxes;
}

std::vector<std::string> GangChildArguments(const GlobalOptions& global, const GangBox& box,
                                            const std::string& stateFolder,
                                            const std::vector<std::string>& command) {
    const std::string number = std::to_string(box.index);
    std::vector<std::string> args{"--box", box.box};
    if (box.box == "sim") {
        // Each simulated box keeps a state of its own: NAME.N beside a given
        // --sim-state, else in the gang's temporary folder.
        const std::string state = global.simState.empty() ? stateFolder + "/box" + number + ".state"
                                                          : global.simState + "." + number;
        args.insert(args.end(),
                    {"--sim-state", state, "--sim-serial",
                     global.simSerial.empty() ? "SIM" + number : global.simSerial + number});
        // A fault for one box is N=SPEC; one without a number is for every box.
        for (const std::string& fault : global.simFaults) {
            const BoxFault split = SplitFault(fault);
            if (split.box.empty() || split.box == number)
                args.insert(args.end(), {"--sim-fault", split.spec});
        }
        if (!global.simProtect.empty())
            args.insert(args.end(), {"--sim-protect", global.simProtect});
        if (global.simUpdateMode)
            args.push_back("--sim-update-mode");
        if (global.simRealtime)
            args.push_back("--sim-realtime");
        if (!global.simTiming.empty())
            args.insert(args.end(), {"--sim-timing", global.simTiming});
    }
    if (!global.catalogue.empty())
        args.insert(args.end(), {"--catalogue", global.catalogue});
    if (global.id)
        args.insert(args.end(), {"--id", *global.id});
    if (global.idText)
        args.insert(args.end(), {"--id-text", *global.idText});
    if (global.base) {
        char base[16];
        std::snprintf(base, sizeof base, "%X", static_cast<unsigned>(*global.base));
        args.insert(args.end(), {"--base", base});
    }
    if (!global.trace.empty())
        args.insert(args.end(), {"--trace", global.trace + "." + number});
    if (global.yes)
        args.push_back("--yes");
    if (!global.log.empty())
        args.insert(args.end(), {"--log", global.log});
    // Numbers from --serial-start (or a job's start) go to the boxes in turn.
    const bool serialStart =
        std::any_of(command.begin(), command.end(),
                    [](const std::string& arg) { return arg.rfind("--serial-start", 0) == 0; });
    if (serialStart || (!command.empty() && command[0] == "job"))
        args.insert(args.end(), {"--serial-index", std::to_string(box.index - 1)});
    // Ctrl-C reaches every box as a cancel that is not asked about.
    args.insert(args.end(), {"--json", "--quiet", "--progress-lines", "--cancel-answer", "yes"});
    // A read's file gets the box's number before its extension, however
    // the option is spelt: -o FILE, -oFILE, --output FILE, --output=FILE.
    for (std::size_t i = 0; i < command.size(); ++i) {
        const std::string& arg = command[i];
        const bool read = command[0] == "read";
        if (read && (arg == "-o" || arg == "--output") && i + 1 < command.size()) {
            args.insert(args.end(), {arg, NumberedFile(command[++i], number)});
        } else if (read && arg.rfind("--output=", 0) == 0) {
            args.push_back("--output=" + NumberedFile(arg.substr(9), number));
        } else if (read && arg.rfind("-o", 0) == 0 && arg.size() > 2 && arg[2] != '-') {
            args.push_back("-o" + NumberedFile(arg.substr(2), number));
        } else {
            args.push_back(arg);
        }
    }
    return args;
}

namespace {

// A --sim-fault N=SPEC must name one of the boxes, and every SPEC must be one
// the simulated box knows: a usage error before any box starts, not a
// failure of one box.
void CheckGangFaults(const std::vector<std::string>& faults, std::size_t boxes) {
    for (const std::string& fault : faults) {
        const BoxFault split = SplitFault(fault);
        if (!split.box.empty() &&
            (split.box[0] == '0' || split.box.size() > 2 || std::stoul(split.box) > boxes))
            throw UsageError("--sim-fault " + fault + ": N=SPEC names a box from 1 to " +
                             std::to_string(boxes) + ", written without leading zeros");
        SimOptions scratch;
        if (const std::string problem = ParseSimFault(split.spec, scratch); !problem.empty())
            throw UsageError("--sim-fault: " + problem);
    }
}

// The gang's own object under --json, for every ending (boxes may be none).
void PrintGangJson(const std::string& command, std::uint64_t startMs, std::uint64_t steadyStart,
                   std::size_t total, std::size_t succeeded, const std::string& summary, int status,
                   const Json& boxes) {
    Json json = Json::object();
    json["command"] = "gang";
    json["operation"] = command;
    json["start"] = IsoUtc(startMs);
    json["end"] = IsoUtc(NowMs());
    json["durationSeconds"] = static_cast<double>(SteadyMs() - steadyStart) / 1000.0;
    json["total"] = total;
    json["succeeded"] = succeeded;
    json["summary"] = ValidUtf8(summary);
    json["exitStatus"] = status;
    json["boxes"] = boxes.is_array() ? boxes : Json::array();
    std::cout << json.dump() << '\n' << std::flush;
}

// The rows the live table may take: one per box, or, when the boxes
// outnumber the terminal's rows, the boxes that failed or are running first
// and one line that counts the rest.
std::vector<std::string> LiveRows(const std::vector<Box>& boxes, std::size_t labelWidth,
                                  std::size_t serialWidth, std::size_t rows) {
    std::vector<std::string> lines;
    if (rows == 0 || boxes.size() < rows) {
        for (const Box& box : boxes)
            lines.push_back(BoxLine(box, labelWidth, serialWidth));
        return lines;
    }
    const std::size_t room = rows > 2 ? rows - 2 : 1;
    std::vector<const Box*> shown;
    for (const bool failures : {true, false})
        for (const Box& box : boxes)
            if ((failures ? box.done && box.status != kExitOk : box.started && !box.done) &&
                shown.size() < room)
                shown.push_back(&box);
    std::size_t ok = 0;
    std::size_t failed = 0;
    std::size_t running = 0;
    std::size_t waiting = 0;
    for (const Box& box : boxes) {
        if (std::find(shown.begin(), shown.end(), &box) != shown.end())
            continue;
        ok += box.done && box.status == kExitOk ? 1 : 0;
        failed += box.done && box.status != kExitOk ? 1 : 0;
        running += box.started && !box.done ? 1 : 0;
        waiting += !box.started ? 1 : 0;
    }
    for (const Box* box : shown)
        lines.push_back(BoxLine(*box, labelWidth, serialWidth));
    lines.push_back("... " + std::to_string(boxes.size() - shown.size()) + " more: " +
                    std::to_string(ok) + " ok, " + std::to_string(failed) + " failed, " +
                    std::to_string(running) + " running, " + std::to_string(waiting) + " waiting");
    return lines;
}

int RunGangBoxes(const GlobalOptions& global, const GangOptions& options,
                 std::vector<GangBox> targets, const std::string& stateFolder,
                 std::uint64_t startMs, std::uint64_t steadyStart, GangTally* tally);

}  // namespace

int RunGang(const GlobalOptions& global, const GangOptions& options, GangTally* tally) {
    // A job's gang runs "job run FILE" on each box.
    static const std::vector<std::string> kCommands = {"program", "erase",  "blank-check", "read",
                                                       "load",    "update", "job"};
    const std::string command = options.command.empty() ? "" : options.command.front();
    const std::uint64_t startMs = NowMs();
    const std::uint64_t steadyStart = SteadyMs();
    // Under --json every ending is one object, the gang's own failures included.
    const auto fail = [&](int status, const std::string& text) {
        if (global.json)
            PrintGangJson(command, startMs, steadyStart, 0, 0, text, status, Json::array());
        return status;
    };
    std::vector<GangBox> targets;
    std::string stateFolder;
    try {
        if (const std::string why = ChildProcessesUnavailable(); !why.empty()) {
            std::cerr << "o8rprog: " << why << '\n';
            return fail(kExitFailure, why);
        }
        if (command.empty())
            throw UsageError(
                "gang: a command is required: program, erase, blank-check, read, load or update");
        if (std::find(kCommands.begin(), kCommands.end(), command) == kCommands.end())
            throw UsageError(
                "gang: the command is one of program, erase, blank-check, read, load "
                "or update, not " +
                command);
        if (command == "read" && std::find(options.command.begin(), options.command.end(),
                                           "--dump") != options.command.end())
            throw UsageError(
                "gang: --dump is not taken: the boxes' dumps would mix on one terminal; "
                "read -o FILE gives each box a file of its own");
        const bool sim = options.boxes.rfind("sim:", 0) == 0;
        if (!sim && (global.box != "auto" || !global.simFaults.empty() || !global.simState.empty()))
            throw UsageError("gang: --box and the --sim-* options go with --boxes sim:N");
        CheckOutputFiles(global, true);
        std::string error;
        targets = GangBoxes(options.boxes, error);
        if (targets.empty()) {
            if (error.rfind("--boxes", 0) == 0)
                throw UsageError(error);
            std::cerr << "o8rprog gang: " << error << '\n';
            return fail(kExitFailure, error);
        }
        if (sim)
            CheckGangFaults(global.simFaults, targets.size());
        if (sim && global.simState.empty()) {
            stateFolder = MakeTemporaryFolder(error);
            if (stateFolder.empty()) {
                std::cerr << "o8rprog gang: " << error << '\n';
                return fail(kExitFailure, error);
            }
        }
    } catch (const UsageError& e) {
        fail(kExitUsage, e.what());
        throw;
    }
    const int status =
        RunGangBoxes(global, options, targets, stateFolder, startMs, steadyStart, tally);
    if (!stateFolder.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(stateFolder, ec);
    }
    return status;
}

namespace {

int RunGangBoxes(const GlobalOptions& global, const GangOptions& options,
                 std::vector<GangBox> targets, const std::string& stateFolder,
                 std::uint64_t startMs, std::uint64_t steadyStart, GangTally* tally) {
    const std::string& command = options.command.front();
    // This very executable, whatever its name: never another version beside it.
    const std::string program = OwnExecutable();
    std::string error;

    std::vector<Box> boxes(targets.size());
    std::size_t labelWidth = 4;
    std::size_t serialWidth = 1;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        boxes[i].target = targets[i];
        labelWidth = std::max(labelWidth, targets[i].label.size());
    }
    const bool live = StderrIsTerminal() && !global.quiet;
    const std::size_t jobs =
        options.jobs > 0 ? static_cast<std::size_t>(options.jobs) : boxes.size();
    InstallGangInterrupt();
    int forwarded = 0;
    std::size_t next = 0;
    std::size_t drawn = 0;
    std::uint64_t drawnAt = 0;
    const auto draw = [&](bool now) {
        if (!live || (!now && drawn > 0 && SteadyMs() - drawnAt < kRedrawMs))
            return;
        drawnAt = SteadyMs();
        for (const Box& box : boxes)
            serialWidth = std::max(serialWidth, box.usbSerial.size());
        std::string frame;
        if (drawn > 0)
            frame += "\x1b[" + std::to_string(drawn) + "A";
        const std::vector<std::string> lines =
            LiveRows(boxes, labelWidth, serialWidth, TerminalRows());
        for (const std::string& line : lines) {
            // A line that wrapped would throw the cursor-up count off.
            std::size_t cut = std::min(line.size(), kLiveWidth);
            while (cut < line.size() && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
                --cut;
            frame += "\r\x1b[2K" + line.substr(0, cut) + "\n";
        }
        // Lines a condensed table no longer needs are cleared.
        for (std::size_t extra = lines.size(); extra < drawn; ++extra)
            frame += "\r\x1b[2K\n";
        if (drawn > lines.size())
            frame += "\x1b[" + std::to_string(drawn - lines.size()) + "A";
        drawn = lines.size();
        std::cerr << frame << std::flush;
    };

    for (;;) {
        const int interrupts = GangInterrupts();
        const bool cancelled = interrupts > 0;
        // Each Ctrl-C (or SIGTERM, SIGHUP) goes to every box still running:
        // the first cancels, a second ends them at once.
        if (interrupts > forwarded) {
            forwarded = interrupts;
            for (Box& box : boxes)
                if (box.started && !box.done)
                    box.child->Interrupt();
        }
        std::size_t running = 0;
        for (const Box& box : boxes)
            running += box.started && !box.done ? 1 : 0;
        while (!cancelled && running < jobs && next < boxes.size()) {
            Box& box = boxes[next++];
            box.started = true;
            box.startMs = SteadyMs();
            box.phase = "Starting";
            box.child = StartChild(
                program, GangChildArguments(global, box.target, stateFolder, options.command),
                error);
            if (!box.child) {
                box.done = true;
                box.endMs = box.startMs;
                box.outcome = "Failed";
                box.message = error;
                continue;
            }
            ++running;
        }
        if (cancelled) {
            // Boxes not started yet stay untouched.
            for (std::size_t i = next; i < boxes.size(); ++i) {
                boxes[i].done = true;
                boxes[i].outcome = "NotStarted";
                boxes[i].message = "not started: cancelled";
            }
            next = boxes.size();
        }
        if (running == 0 && next >= boxes.size())
            break;

        std::vector<ChildProcess*> children;
        std::vector<std::size_t> owners;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i].started && !boxes[i].done && boxes[i].child) {
                children.push_back(boxes[i].child.get());
                owners.push_back(i);
            }
        }
        PumpChildren(children, static_cast<int>(kRedrawMs),
                     [&](std::size_t k, bool fromStderr, std::string_view bytes) {
                         Box& box = boxes[owners[k]];
                         if (!fromStderr) {
                             box.out.append(bytes);
                             return;
                         }
                         const std::string notice = box.notice;
                         TakeStderr(box, bytes);
                         // Said at once: the operator must know why nothing stops.
                         if (!live && box.notice != notice)
                             std::cerr << box.target.label << "  " << box.notice << '\n';
                     });
        for (std::size_t k = 0; k < children.size(); ++k) {
            Box& box = boxes[owners[k]];
            if (!children[k]->Ended())
                continue;
            box.done = true;
            box.endMs = SteadyMs();
            box.status = children[k]->ExitStatus();
            if (!box.errPending.empty())
                TakeProgressLine(box, box.errPending);
            if (box.outcome.empty()) {
                // No record came: whatever its exit status, nothing is known done.
                box.outcome = box.status == kExitUsage ? "UsageError" : "Failed";
                box.status = box.status == kExitOk ? kExitFailure : box.status;
                box.message =
                    box.errText.empty() ? "the box's o8rprog ended without a result" : box.errText;
                while (!box.message.empty() && box.message.back() == '\n')
                    box.message.pop_back();
            }
            if (!live) {
                std::cerr << BoxLine(box, labelWidth, box.usbSerial.size()) << '\n';
                box.reported = true;
            }
        }
        draw(false);
    }
    draw(true);
    RemoveGangInterrupt();
    for (const Box& box : boxes)
        if (!box.reported && !live)
            std::cerr << BoxLine(box, labelWidth, box.usbSerial.size()) << '\n';

    Json array = Json::array();
    for (const Box& box : boxes)
        array.push_back(BoxJson(box, command));
    // The command's own arguments were wrong: said once, as for one box.
    if (std::all_of(boxes.begin(), boxes.end(),
                    [](const Box& box) { return box.status == kExitUsage; })) {
        std::cerr << boxes.front().errText;
        if (global.json)
            PrintGangJson(command, startMs, steadyStart, boxes.size(), 0,
                          boxes.front().message.substr(0, boxes.front().message.find('\n')),
                          kExitUsage, array);
        return kExitUsage;
    }
    std::size_t succeeded = 0;
    std::string failures;
    for (const Box& box : boxes) {
        if (box.status == kExitOk) {
            ++succeeded;
        } else {
            std::string message = box.message.empty() ? box.outcome : box.message;
            failures += "; " + box.target.label + ": " + message;
        }
    }
    const std::string summary = std::to_string(succeeded) + " of " + std::to_string(boxes.size()) +
                                " boxes " + DoneWord(command) + failures;
    const int status = succeeded == boxes.size() ? kExitOk : kExitFailure;
    if (tally != nullptr)
        *tally = GangTally{boxes.size(), succeeded};
    std::cerr << summary << '\n';
    if (global.json)
        PrintGangJson(command, startMs, steadyStart, boxes.size(), succeeded, summary, status,
                      array);
    return status;
}

}  // namespace

}  // namespace o8r::cli
