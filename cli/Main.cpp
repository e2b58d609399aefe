// o8rprog: every operation of the programmer box from the command line, for
// scripts, production lines and CI. Option parsing lives here alone (CLI11 is
// heavy to compile); each command runs in its own file.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <functional>
#include <iostream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "cli/CheckedOutput.h"
#include "cli/CommandSession.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/Gang.h"
#include "cli/Interrupt.h"
#include "cli/Options.h"
#include "cli/ProgramPath.h"
#include "cli/RunOutput.h"
#include "cli/Terminal.h"
#include "o8r/BuildInfo.h"
#include "sim/SimFaults.h"

namespace o8r::cli {

namespace {

bool IsHex(const std::string& text) {
    return text.find_first_not_of("0123456789ABCDEFabcdef") == std::string::npos;
}

std::string HelpFooter() {
    return "\nWithout --id or --id-text the ID code sent to the target is the erased-state\n"
           "code, seven bytes 0xFF. A short --id or --id-text asks whether to fill the\n"
           "higher bytes with 0xFF; answer it with --yes in scripts.\n"
           "\n"
           "Questions are asked on the terminal; --yes answers Yes; without a terminal\n"
           "and without --yes the answer is No.\n"
           "\n"
           "Exit status: 0 success (blank-check: the range is empty), 1 a failure or\n"
           "refusal, 2 a usage error, 3 blank-check found data in the range.\n"
           "\n"
           "Faults of the simulated box (--sim-fault, may be given several times):\n" +
           SimFaultHelp();
}

bool IsCommand(CLI::App& app, const std::string& word) {
    const auto commands = app.get_subcommands({});
    return std::any_of(commands.begin(), commands.end(),
                       [&](const CLI::App* command) { return command->get_name() == word; });
}

// Every option of `app` and its commands (option groups included), by each
// of its spellings with the dashes: "--log", "-o".
void CollectOptions(CLI::App& app, std::map<std::string, const CLI::Option*>& options) {
    for (const CLI::Option* option : app.get_options()) {
        for (const std::string& name : option->get_lnames())
            options.emplace("--" + name, option);
        for (const std::string& name : option->get_snames())
            options.emplace("-" + name, option);
    }
    for (CLI::App* sub : app.get_subcommands({}))
        CollectOptions(*sub, options);
}

bool TakesValue(const CLI::Option* option) {
    return option->get_type_size() > 0 && option->get_items_expected_min() > 0;
}

// Each option's value joined to it ("--log=erase", "-oback.mot"), so that a
// value that reads as a command word ("--log erase") stays the option's; an
// empty value is refused, naming the option.
std::vector<std::string> JoinOptionValues(CLI::App& app, std::vector<std::string> args) {
    std::map<std::string, const CLI::Option*> options;
    CollectOptions(app, options);
    const auto empty = [](const std::string& name, const CLI::Option* option) {
        const std::string what =
            option->get_option_text().empty() ? "a value" : option->get_option_text();
        return UsageError(name + ": expected " + what + ", not an empty text");
    };
    std::vector<std::string> joined;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (i == 0 || arg.size() < 2 || arg[0] != '-' || arg == "--") {
            joined.push_back(arg);
            continue;
        }
        const bool longName = arg.rfind("--", 0) == 0;
        const std::size_t equals = longName ? arg.find('=') : std::string::npos;
        const std::string name = longName ? arg.substr(0, equals) : arg.substr(0, 2);
        const auto found = options.find(name);
        if (found == options.end() || !TakesValue(found->second)) {
            joined.push_back(arg);
            continue;
        }
        std::string value;
        if (equals != std::string::npos || (!longName && arg.size() > 2)) {
            value = arg.substr(equals != std::string::npos ? equals + 1 : 2);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            joined.push_back(arg);  // CLI11 says that the value is missing
            continue;
        }
        // An empty ID code is the ID code dialog's to judge, with its own
        // message (CLI11 takes "--id=" as wanting the next argument).
        if (value.empty() && (name == "--id" || name == "--id-text")) {
            joined.insert(joined.end(), {name, value});
            continue;
        }
        if (value.empty())
            throw empty(name, found->second);
        joined.push_back(longName ? name + "=" + value : name + value);
    }
    return joined;
}

// After `gang` (when it is the command), the first of the commands a gang
// runs starts what each box's o8rprog gets: moved to `command`. Returns how
// many arguments are left for parsing. A global option or one of gang's
// among the box's arguments is refused: it would reach every box alike.
std::size_t SplitGangCommand(CLI::App& app, CLI::App& gang, const std::vector<std::string>& args,
                             std::vector<std::string>& command) {
    static const std::set<std::string> kGangCommands = {"program", "erase", "blank-check",
                                                        "read",    "load",  "update"};
    std::size_t i = 1;
    while (i < args.size() && !IsCommand(app, args[i]))
        ++i;
    if (i == args.size() || args[i] != "gang")
        return args.size();
    for (std::size_t k = i + 1; k < args.size(); ++k) {
        if (kGangCommands.count(args[k]) == 0)
            continue;
        command.assign(args.begin() + static_cast<std::ptrdiff_t>(k), args.end());
        for (const std::string& arg : command) {
            const std::string name = arg.substr(0, arg.find('='));
            const bool gangs = gang.get_option_no_throw(name) != nullptr;
            if (name == "--help" || name == "-h" || name.size() < 2 || name[0] != '-' ||
                (app.get_option_no_throw(name) == nullptr && !gangs))
                continue;
            throw UsageError(
                "gang: " + name + (gangs ? " is gang's own option" : " is a global option") +
                " and goes before " + (gangs ? "the command" : "gang") +
                ": o8rprog [global options] gang --boxes ... [--jobs N] COMMAND ARGS...");
        }
        return k;
    }
    return args.size();
}

// --serial and where its numbers come from, for program and job new.
void AddSerialOptions(CLI::App& command, SerialOptions& serial) {
    command
        .add_option("--serial", serial.at,
                    "write a serial number per board at ADDR, LEN bytes, as FORMAT: le "
                    "(default), be, bcd, dec or hex")
        ->option_text("ADDR:LEN[:FORMAT]");
    command
        .add_option("--serial-start", serial.start,
                    "the first serial number; each board of a gang takes the next step")
        ->option_text("N");
    command.add_option("--serial-step", serial.step, "from one serial number to the next (1)")
        ->option_text("K");
    command
        .add_option("--serial-counter", serial.counter,
                    "take the serial number from FILE and advance it there, under a lock")
        ->option_text("FILE");
    command
        .add_option("--serial-list", serial.list,
                    "take the next unused line of FILE; used ones are recorded in FILE.used")
        ->option_text("FILE");
    command.add_flag("--serial-overwrite", serial.overwrite,
                     "the serial number may go over data the image holds");
}

}  // namespace

int RunCommandLine(int argc, char** argv);

// Every command's output checked: a write that fails fails the run.
int Main(int argc, char** argv, const ClosedStreams& closed) {
    CheckedStandardStreams checked(closed.out, closed.err);
    int status = kExitFailure;
    try {
        status = RunCommandLine(argc, argv);
    } catch (const std::exception& e) {
        std::cerr << "o8rprog: " << e.what() << '\n';
        NoteFailure("Failed", e.what());
    }
    // A simulated box whose state was lost fails the run, whatever it did.
    if (const std::string& lost = CommandSession::StateSaveFailure(); !lost.empty()) {
        if (status != kExitFailure)
            ReplaceEnding("Failed", lost);
        status = kExitFailure;
    }
    // The run's record (--json, --log) is written last, from the final
    // status, and goes out through the checked streams.
    return FinishOutput(FinishRecord(status));
}

// The format is told from the content, never from the name.
constexpr char kImageFileHelp[] =
    "the image file: Motorola S-records, Intel HEX, or raw binary placed at --base";

int RunCommandLine(int argc, char** argv) {
    GlobalOptions global;
    global.programDirectory = ProgramDirectory(argc > 0 ? argv[0] : nullptr);

    CLI::App app{
        "o8rprog: programs Renesas R8C/2A and R8C/2B microcontrollers through the\n"
        "USB flash-programmer box, or through a simulated box."};
    app.name("o8rprog");
    app.require_subcommand(0, 1);
    app.set_version_flag("--version", std::string("o8rprog ") + build::kVersion);

    app.add_option("--box", global.box,
                   "auto (default): the one real box attached; sim: the simulated box; "
                   "serial:PORT: the box on that serial port")
        ->option_text("auto|sim|serial:PORT");
    app.add_option("--sim-state", global.simState,
                   "the simulated box keeps its state (target memory, store, loader memory) in "
                   "FILE across runs")
        ->option_text("FILE");
    app.add_option("--sim-protect", global.simProtect,
                   "a new simulated target holds this 14-digit ID code in its ID area")
        ->option_text("HEX")
        ->check([](const std::string& text) {
            return text.size() == 14 && IsHex(text) ? std::string()
                                                    : "expected 14 hexadecimal digits";
        });
    app.add_flag("--sim-update-mode", global.simUpdateMode,
                 "the simulated box starts in its firmware-update loader");
    app.add_option("--sim-fault", global.simFaults, "a fault of the simulated box (listed below)")
        ->option_text("SPEC")
        ->allow_extra_args(false);
    app.add_flag("--sim-realtime", global.simRealtime,
                 "the simulated box takes real time, as a real one would");
    app.add_option("--sim-timing", global.simTiming,
                   "how long the simulated box takes: typical (default); slow, every piece of "
                   "work just inside what the program allows for it; fast")
        ->check(CLI::IsMember({"fast", "typical", "slow"}))
        ->option_text("fast|typical|slow");
    app.add_option("--cancel-answer", global.cancelAnswer,
                   "the answer to the cancel question a Ctrl-C asks during an operation: yes "
                   "(default) cancels, no carries on, ask asks on the terminal")
        ->check(CLI::IsMember({"yes", "no", "ask"}))
        ->option_text("yes|no|ask");
    auto* id = app.add_option("--id", global.id,
                              "the target's ID code in hexadecimal, or image:FILE for the one "
                              "the image file FILE carries")
                   ->option_text("HEX|image:FILE")
                   ->check([](const std::string& text) {
                       return text.size() <= 14 || text.starts_with("image:")
                                  ? std::string()
                                  : "at most 14 hexadecimal digits";
                   });
    auto* idText = app.add_option("--id-text", global.idText, "the target's ID code as characters")
                       ->option_text("TEXT")
                       ->check([](const std::string& text) {
                           return text.size() <= 7 ? std::string() : "at most 7 characters";
                       });
    id->excludes(idText);
    app.add_option_function<std::string>(
           "--base",
           [&global](const std::string& text) {
               global.base = static_cast<std::uint32_t>(std::stoul(text, nullptr, 16));
           },
           "where a binary image file loads, in hexadecimal (default: the part's first "
           "program-ROM address)")
        ->option_text("ADDR")
        ->check([](const std::string& text) {
            return !text.empty() && text.size() <= 5 && IsHex(text)
                       ? std::string()
                       : "expected 1 to 5 hexadecimal digits";
        });
    app.add_option("--catalogue", global.catalogue,
                   "the MCU catalogue (default: MCUType.mcu beside the program, in "
                   "../share/o8r-programmer/ from it, or in the install's data folder)")
        ->option_text("FILE");
    app.add_option("--trace", global.trace, "write every call to the box to FILE")
        ->option_text("FILE");
    app.add_flag("-y,--yes", global.yes, "answer every question with Yes");
    app.add_flag("-q,--quiet", global.quiet, "no progress bar");
    app.add_flag("--json", global.json,
                 "print one JSON object with the result on stdout, and nothing else there");
    app.add_option("--log", global.log, "append a CSV line with the result to FILE")
        ->option_text("FILE");
    app.add_option("--sim-serial", global.simSerial,
                   "the USB serial number the simulated box reports")
        ->option_text("TEXT");
    // For gang: its boxes report their progress as lines it reads, and take
    // their serial numbers in turn.
    app.add_flag("--progress-lines", global.progressLines)->group("");
    app.add_option("--serial-index", global.serialIndex)->group("");

    ImageOptions image;
    ProgramOptions program;
    EraseOptions erase;
    RangeOptions blank;
    RangeOptions read;
    FileOptions load;
    FileOptions update;

    auto* mcus = app.add_subcommand("mcus", "print the catalogue: groups, series and parts");
    auto* imageCmd = app.add_subcommand(
        "image", "tell the format, pages, erase blocks, checksums and ID code of an image file");
    imageCmd->add_option("--mcu", image.mcu, "the target part, as o8rprog mcus lists it")
        ->option_text("PART")
        ->required();
    imageCmd->add_option("FILE", image.file, kImageFileHelp)->required();
    imageCmd->add_option("--serial", image.serial.at, "show where a serial number would go")
        ->option_text("ADDR:LEN[:FORMAT]");
    imageCmd->add_flag("--serial-overwrite", image.serial.overwrite,
                       "the serial number may go over data the image holds");
    DetectOptions detectOptions;
    GangOptions gang;
    auto* detect =
        app.add_subcommand("detect", "find the box; print \"normal\" or \"firmware-update\"");
    detect->add_flag("--all", detectOptions.all,
                     "list every box attached: port, USB serial number, VID:PID");
    auto* programCmd = app.add_subcommand("program", "program an image file into the target");
    programCmd->add_option("--mcu", program.mcu, "the target part, as o8rprog mcus lists it")
        ->option_text("PART")
        ->required();
    programCmd->add_option("FILE", program.file, kImageFileHelp)->required();
    programCmd->add_flag("--verify", program.verify,
                         "then read every programmed page back and compare");
    AddSerialOptions(*programCmd, program.serial);
    auto* eraseCmd = app.add_subcommand("erase", "erase flash blocks of the target");
    eraseCmd->add_option("--mcu", erase.mcu, "the target part, as o8rprog mcus lists it")
        ->option_text("PART")
        ->required();
    auto* blocksGroup = eraseCmd->add_option_group("blocks", "which blocks (one of)");
    blocksGroup
        ->add_option("--blocks", erase.blocks,
                     "blocks as the erase dialog names them, such as 0,1,A; erased in list "
                     "order")
        ->delimiter(',')
        ->allow_extra_args(false)
        ->option_text("LIST");
    blocksGroup->add_flag("--all", erase.all, "every block of the part");
    blocksGroup->require_option(1);
    auto* blankCmd =
        app.add_subcommand("blank-check", "check that an address range of the target is erased");
    blankCmd->add_option("--mcu", blank.mcu, "the target part, as o8rprog mcus lists it")
        ->option_text("PART")
        ->required();
    blankCmd
        ->add_option("--range", blank.range, "inclusive range in hexadecimal, such as C000-C3FF")
        ->required()
        ->option_text("START-END");
    auto* readCmd = app.add_subcommand("read", "read an address range of the target");
    readCmd->add_option("--mcu", read.mcu, "the target part, as o8rprog mcus lists it")
        ->option_text("PART")
        ->required();
    readCmd->add_option("--range", read.range, "inclusive range in hexadecimal, such as C000-C3FF")
        ->required()
        ->option_text("START-END");
    auto* outputGroup =
        readCmd->add_option_group("output", "what to do with the data (one or both)");
    outputGroup
        ->add_option("-o,--output", read.output,
                     "save it: Intel HEX for .hex and .ihex, raw bytes for .bin, else S-records")
        ->option_text("FILE")
        ->check([](const std::string& text) {
            return text.empty() ? std::string("expected a file name, not an empty text")
                                : std::string();
        });
    outputGroup->add_flag("--dump", read.dump, "print it as a hex dump");
    readCmd->add_option("--format", read.format, "the format of the -o file, over its extension")
        ->check(CLI::IsMember({"srec", "ihex", "bin"}))
        ->option_text("srec|ihex|bin");
    outputGroup->require_option(1, 2);
    auto* loadCmd = app.add_subcommand("load", "store an image file in the box");
    loadCmd->add_option("--mcu", load.mcu, "the target part, as o8rprog mcus lists it")
        ->option_text("PART")
        ->required();
    loadCmd->add_option("FILE", load.file, kImageFileHelp)->required();
    auto* query = app.add_subcommand("query", "print the name of the image the box stores");
    auto* updateCmd =
        app.add_subcommand("update", "update the firmware of a box in its firmware-update mode");
    updateCmd->add_option("FILE", update.file, "the firmware S-record file (*.mot)")->required();
    auto* gangCmd = app.add_subcommand(
        "gang", "run one command on several boxes at once, one o8rprog for each box");
    gangCmd
        ->add_option("--boxes", gang.boxes,
                     "auto: every box attached; sim:N: N simulated boxes; or the ports, "
                     "separated by commas")
        ->required()
        ->option_text("auto|sim:N|PORT,...");
    gangCmd->add_option("--jobs", gang.jobs, "at most N boxes at a time (default: all)")
        ->check([](const std::string& text) {
            const bool number = !text.empty() && text.size() <= 2 &&
                                text.find_first_not_of("0123456789") == std::string::npos &&
                                std::stoi(text) >= 1 && std::stoi(text) <= kMaxGangBoxes;
            return number ? std::string()
                          : "expected a number of boxes from 1 to " +
                                std::to_string(kMaxGangBoxes) + ", not " + text;
        })
        ->option_text("N");
    gangCmd->footer(
        "\nCOMMAND ARGS...: program, erase, blank-check, read, load or update, with "
        "its arguments, as for one box (read without --dump). The global options go "
        "before gang.");
    auto* doctor = app.add_subcommand(
        "doctor", "say what keeps a box from being used; exit 0 when one can be used");
    JobOptions jobCheck;
    JobOptions jobRun;
    JobOptions jobNew;
    auto* jobCmd = app.add_subcommand(
        "job", "production jobs: check a job file, run it, or write one (o8rprog job --help)");
    jobCmd->require_subcommand(1);
    auto* jobCheckCmd =
        jobCmd->add_subcommand("check", "print a job's plan and every problem; exit 1 on any");
    jobCheckCmd->add_option("FILE", jobCheck.file, "the job file (TOML)")->required();
    auto* jobRunCmd = jobCmd->add_subcommand(
        "run",
        "run a job on one box, or on the job's boxes at once; its log gets a line a "
        "board and one that closes the run");
    jobRunCmd->add_option("FILE", jobRun.file, "the job file (TOML)")->required();
    jobRunCmd->add_option("--boxes", jobRun.boxes, "over the job's own boxes: auto, sim:N or ports")
        ->option_text("auto|sim:N|PORT,...");
    jobRunCmd->add_option("--jobs", jobRun.jobs, "at most N boxes at a time (default: all)")
        ->check(CLI::Range(1, kMaxGangBoxes))
        ->option_text("N");
    jobRunCmd->add_flag("--one-box", jobRun.oneBox)->group("");
    auto* jobNewCmd =
        jobCmd->add_subcommand("new", "write a job file for an image, with its SHA-256 filled in");
    jobNewCmd->add_option("--mcu", jobNew.mcu, "the target part, as o8rprog mcus lists it")
        ->option_text("PART")
        ->required();
    jobNewCmd->add_option("IMAGE", jobNew.file, kImageFileHelp)->required();
    jobNewCmd
        ->add_option("-o,--output", jobNew.output,
                     "the job file to write (default: IMAGE's name with .job.toml, here)")
        ->option_text("FILE");
    jobNewCmd->add_option("--name", jobNew.name, "the job's name (default: the image's)")
        ->option_text("TEXT");
    jobNewCmd
        ->add_option("--steps", jobNew.steps,
                     "the steps in order (default: erase,program,verify); erase [all|BLOCK...], "
                     "blank-check [START-END], program, verify")
        ->delimiter(',')
        ->allow_extra_args(false)
        ->option_text("LIST");
    jobNewCmd->add_option("--job-log", jobNew.log, "the CSV log the job's runs append to")
        ->option_text("FILE");
    jobNewCmd
        ->add_option("--boxes", jobNew.boxes,
                     "the boxes the job runs on at once: auto, sim:N or ports")
        ->option_text("auto|sim:N|PORT,...");
    jobNewCmd->add_option("--start", jobNew.start, "what starts a board in the operator view")
        ->check(CLI::IsMember({"button", "on-plug"}))
        ->option_text("button|on-plug");
    AddSerialOptions(*jobNewCmd, jobNew.serial);

    // Only the program's own help carries the notes below.
    app.footer(HelpFooter());
    app.get_formatter()->label("SUBCOMMAND", "COMMAND");
    app.get_formatter()->label("SUBCOMMANDS", "COMMANDS");
    app.get_formatter()->label("Subcommands", "Commands");

    // Global options may also follow the command.
    for (CLI::App* sub : app.get_subcommands({})) {
        sub->fallthrough();
        for (CLI::App* nested : sub->get_subcommands({}))
            nested->fallthrough();
    }

    // gang's COMMAND and what follows it are for each box's o8rprog.
    std::vector<std::string> args;
    std::size_t parsed = 0;
    try {
        args = JoinOptionValues(app, std::vector<std::string>(argv, argv + argc));
        parsed = SplitGangCommand(app, *gangCmd, args, gang.command);
    } catch (const UsageError& e) {
        std::cerr << e.what() << "\nRun with --help for more information.\n";
        return kExitUsage;
    }
    std::vector<char*> pointers;
    for (std::size_t i = 0; i < parsed; ++i)
        pointers.push_back(args[i].data());
    try {
        app.parse(static_cast<int>(pointers.size()), pointers.data());
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? kExitOk : kExitUsage;
    }

    if (app.get_subcommands().empty()) {
        std::cerr << "A command is required: mcus, image, detect, program, erase, blank-check, "
                     "read, load, query, update, doctor, gang or job\nRun with --help for more "
                     "information.\n";
        return kExitUsage;
    }

    if (*gangCmd) {
        try {
            return RunGang(global, gang);
        } catch (const UsageError& e) {
            std::cerr << e.what() << "\nRun with --help for more information.\n";
            return kExitUsage;
        }
    }
    // The same ending for every command's failure that is not its own.
    const auto guarded = [](const std::function<int()>& run) {
        try {
            return run();
        } catch (const UsageError& e) {
            std::cerr << e.what() << "\nRun with --help for more information.\n";
            NoteFailure("UsageError", e.what());
            return kExitUsage;
        } catch (const ShownFailure& e) {
            NoteFailure("Failed", e.what());
            return kExitFailure;
        } catch (const std::exception& e) {
            std::cerr << "o8rprog: " << e.what() << '\n';
            NoteFailure("Failed", e.what());
            return kExitFailure;
        }
    };
    // A job keeps its own records: a line a board and one closing the run.
    if (*jobCmd) {
        return guarded([&] {
            CheckOutputFiles(global, false);
            if (*jobCheckCmd)
                return RunJobCheck(global, jobCheck);
            if (*jobRunCmd)
                return RunJobRun(global, jobRun);
            return RunJobNew(global, jobNew);
        });
    }
    // Only one command runs: its part and image are the ones given.
    CommandNames names;
    names.command = app.get_subcommands().front()->get_name();
    names.part = image.mcu + program.mcu + erase.mcu + blank.mcu + read.mcu + load.mcu;
    names.file = image.file + program.file + load.file + update.file;
    BeginRecord(global, names);

    return guarded([&] {
        CheckOutputFiles(global, false);
        if (*mcus)
            return RunMcus(global);
        if (*imageCmd)
            return RunImage(global, image);
        if (*detect)
            return RunDetect(global, detectOptions);
        if (*programCmd)
            return RunProgram(global, program);
        if (*eraseCmd)
            return RunErase(global, erase);
        if (*blankCmd)
            return RunBlankCheck(global, blank);
        if (*readCmd)
            return RunRead(global, read);
        if (*loadCmd)
            return RunLoad(global, load);
        if (*query)
            return RunQuery(global);
        if (*updateCmd)
            return RunUpdate(global, update);
        if (*doctor)
            return RunDoctor(global);
        return kExitUsage;
    });
}

}  // namespace o8r::cli

int main(int argc, char** argv) {
    const o8r::cli::ClosedStreams closed = o8r::cli::HoldStandardStreams();
    o8r::cli::PrepareConsole();
    // UTF-8 inside on every platform, whatever the system's code page.
    std::vector<std::string> arguments = o8r::cli::Utf8Arguments(argc, argv);
    std::vector<char*> pointers;
    for (std::string& argument : arguments)
        pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    return o8r::cli::Main(static_cast<int>(arguments.size()), pointers.data(), closed);
}
