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
#include "cli/RecordOutput.h"
#include "cli/RunRecord.h"
#include "cli/Terminal.h"

namespace o8r::cli {

namespace {

constexpr int kRedrawMs = 200;
constexpr std::size_t kLiveWidth = 79;

struct Box {
    GangBox target;
    std::string usbSerial;
    std::unique_ptr<ChildProcess> child;
    std::string out;         // the child's JSON
    std::string errPending;  // an unfinished stderr line
    std::string errText;     // its stderr other than progress lines
    std::string phase = "Waiting";
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
    const std::uint64_t ms = (box.done ? box.endMs : NowMs()) - box.startMs;
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
        result = "running";
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
    if (kind == "box") {
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

// The box's JSON object with "box" first; a child that wrote none (it
// crashed, or was killed) gets one made from what is known.
std::string BoxJson(const Box& box, const std::string& command) {
    std::string json = box.out;
    while (!json.empty() && (json.back() == '\n' || json.back() == '\r'))
        json.pop_back();
    const std::string label = "\"slot\":" + JsonString(box.target.label);
    if (json.size() > 2 && json.front() == '{' && json.back() == '}' &&
        json.find('\n') == std::string::npos)
        return "{" + label + "," + json.substr(1);
    return "{" + label + ",\"command\":" + JsonString(command) +
           ",\"outcome\":" + JsonString(box.outcome.empty() ? "Failed" : box.outcome) +
           ",\"message\":" + JsonString(box.message.empty() ? box.errText : box.message) +
           ",\"exitStatus\":" + std::to_string(box.status) + "}";
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
    };
    const auto it = words.find(command);
    return it == words.end() ? "done" : it->second;
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
        for (const GangBox& other : boxes) {
            if (other.label == port) {
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
            const auto equals = fault.find('=');
            const std::string head = fault.substr(0, equals);
            const bool numbered = equals != std::string::npos && !head.empty() &&
                                  head.find_first_not_of("0123456789") == std::string::npos;
            if (!numbered)
                args.insert(args.end(), {"--sim-fault", fault});
            else if (head == number)
                args.insert(args.end(), {"--sim-fault", fault.substr(equals + 1)});
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
    if (!global.trace.empty())
        args.insert(args.end(), {"--trace", global.trace + "." + number});
    if (global.yes)
        args.push_back("--yes");
    if (!global.log.empty())
        args.insert(args.end(), {"--log", global.log});
    // Ctrl-C reaches every box as a cancel that is not asked about.
    args.insert(args.end(), {"--json", "--quiet", "--progress-lines", "--cancel-answer", "yes"});
    // A read's file gets the box's number before its extension.
    for (std::size_t i = 0; i < command.size(); ++i) {
        args.push_back(command[i]);
        const bool output =
            command[0] == "read" && (command[i] == "-o" || command[i] == "--output");
        if (output && i + 1 < command.size())
            args.push_back(NumberedFile(command[++i], number));
    }
    return args;
}

int RunGang(const GlobalOptions& global, const GangOptions& options) {
    static const std::vector<std::string> kCommands = {"program", "erase", "blank-check",
                                                       "read",    "load",  "update"};
    if (const std::string why = ChildProcessesUnavailable(); !why.empty()) {
        std::cerr << "o8rprog: " << why << '\n';
        return kExitFailure;
    }
    const std::string& command = options.command.front();
    if (std::find(kCommands.begin(), kCommands.end(), command) == kCommands.end())
        throw UsageError(
            "gang: the command is one of program, erase, blank-check, read, load "
            "or update, not " +
            command);
    const bool sim = options.boxes.rfind("sim:", 0) == 0;
    if (!sim && (global.box != "auto" || !global.simFaults.empty() || !global.simState.empty()))
        throw UsageError("gang: --box and the --sim-* options go with --boxes sim:N");
    std::string error;
    std::vector<GangBox> targets = GangBoxes(options.boxes, error);
    if (targets.empty()) {
        if (error.rfind("--boxes", 0) == 0)
            throw UsageError(error);
        std::cerr << "o8rprog gang: " << error << '\n';
        return kExitFailure;
    }

    std::string stateFolder;
    if (sim && global.simState.empty()) {
        stateFolder = MakeTemporaryFolder(error);
        if (stateFolder.empty()) {
            std::cerr << "o8rprog gang: " << error << '\n';
            return kExitFailure;
        }
    }
    const std::string program = global.programDirectory + "o8rprog";
    const std::uint64_t startMs = NowMs();

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
    const auto draw = [&] {
        if (!live)
            return;
        for (const Box& box : boxes)
            serialWidth = std::max(serialWidth, box.usbSerial.size());
        std::string frame;
        if (drawn > 0)
            frame += "\x1b[" + std::to_string(drawn) + "A";
        for (const Box& box : boxes) {
            // A line that wrapped would throw the cursor-up count off.
            std::string line = BoxLine(box, labelWidth, serialWidth);
            std::size_t cut = std::min(line.size(), kLiveWidth);
            while (cut < line.size() && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
                --cut;
            frame += "\r\x1b[2K" + line.substr(0, cut) + "\n";
        }
        drawn = boxes.size();
        std::cerr << frame << std::flush;
    };

    for (;;) {
        const int interrupts = GangInterrupts();
        const bool cancelled = interrupts > 0;
        // Each Ctrl-C goes to every box still running: the first cancels, a
        // second ends them at once.
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
            box.startMs = NowMs();
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
        PumpChildren(children, kRedrawMs,
                     [&](std::size_t k, bool fromStderr, std::string_view bytes) {
                         Box& box = boxes[owners[k]];
                         if (fromStderr)
                             TakeStderr(box, bytes);
                         else
                             box.out.append(bytes);
                     });
        for (std::size_t k = 0; k < children.size(); ++k) {
            Box& box = boxes[owners[k]];
            if (!children[k]->Ended())
                continue;
            box.done = true;
            box.endMs = NowMs();
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
        draw();
    }
    draw();
    RemoveGangInterrupt();
    if (!stateFolder.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(stateFolder, ec);
    }
    for (const Box& box : boxes)
        if (!box.reported && !live)
            std::cerr << BoxLine(box, labelWidth, box.usbSerial.size()) << '\n';

    // The command's own arguments were wrong: said once, as for one box.
    if (std::all_of(boxes.begin(), boxes.end(),
                    [](const Box& box) { return box.status == kExitUsage; })) {
        std::cerr << boxes.front().errText;
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
    std::cerr << summary << '\n';
    if (global.json) {
        const std::uint64_t endMs = NowMs();
        std::string array;
        for (const Box& box : boxes)
            array += (array.empty() ? "" : ",") + BoxJson(box, command);
        char duration[32];
        std::snprintf(duration, sizeof duration, "%.3f",
                      static_cast<double>(endMs - startMs) / 1000.0);
        std::cout << "{\"command\":\"gang\",\"operation\":" << JsonString(command)
                  << ",\"start\":" << JsonString(IsoUtc(startMs))
                  << ",\"end\":" << JsonString(IsoUtc(endMs)) << ",\"durationSeconds\":" << duration
                  << ",\"total\":" << boxes.size() << ",\"succeeded\":" << succeeded
                  << ",\"summary\":" << JsonString(summary) << ",\"exitStatus\":" << status
                  << ",\"boxes\":[" << array << "]}\n"
                  << std::flush;
    }
    return status;
}

}  // namespace o8r::cli
