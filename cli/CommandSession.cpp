#include "cli/CommandSession.h"

#include <cerrno>
#include <iostream>
#include <memory>
#include <stdexcept>

#include "bridges/BridgeFactory.h"
#include "cli/CheckedOutput.h"
#include "cli/Doctor.h"
#include "cli/ExitStatus.h"
#include "cli/Interrupt.h"
#include "cli/ProgramPath.h"
#include "cli/ProgressEvents.h"
#include "cli/RunOutput.h"
#include "cli/RunRecord.h"
#include "cli/Terminal.h"
#include "core/image/ImageFile.h"
#include "core/link/TracingBridge.h"
#include "core/model/Messages.h"
#include "core/operations/FileLoadJob.h"
#include "core/operations/IdCodeEntry.h"
#include "platform/Utf8Path.h"
#include "sim/SimFaults.h"

namespace o8r::cli {

namespace {

BoxChoice MakeChoice(const GlobalOptions& global, const McuRecord* part) {
    std::string error;
    auto choice = ParseBoxChoice(global.box, error);
    if (!choice) {
        throw UsageError("--box: " + error);
    }
    const bool simOptions = !global.simState.empty() || !global.simProtect.empty() ||
                            global.simUpdateMode || !global.simFaults.empty() ||
                            global.simRealtime || !global.simTiming.empty() ||
                            !global.simSerial.empty();
    if (choice->kind != BoxChoice::Kind::Sim) {
        if (simOptions) {
            throw UsageError("the --sim-* options need --box sim");
        }
        return *choice;
    }
    if (part != nullptr) {
        choice->sim.blocks = FlashBlocksForPart(*part);
    }
    choice->sim.updateMode = global.simUpdateMode;
    if (!global.simTiming.empty()) {
        const auto profile = ParseTimingProfile(global.simTiming);
        if (!profile) {
            throw UsageError("--sim-timing: use fast, typical or slow, not " + global.simTiming);
        }
        choice->sim.timings = TimingsFor(*profile);
    }
    if (!global.simProtect.empty()) {
        if (auto problem = ParseSimFault("protected:" + global.simProtect, choice->sim);
            !problem.empty()) {
            throw UsageError("--sim-protect: " + problem);
        }
    }
    for (const std::string& fault : global.simFaults) {
        if (auto problem = ParseSimFault(fault, choice->sim); !problem.empty()) {
            throw UsageError("--sim-fault: " + problem);
        }
    }
    choice->simStatePath = global.simState;
    return *choice;
}

std::unique_ptr<Clock> MakeClock(const GlobalOptions& global) {
    // The simulated box runs on virtual time, instantly and the same way every
    // time, unless it is asked to take real time.
    if (global.box == "sim" && !global.simRealtime) {
        return std::make_unique<VirtualClock>();
    }
    return std::make_unique<RealClock>();
}

// Under --progress=json the events tell what the terminal would be told.
std::ostream& Unwritten() {
    static std::ostream none(nullptr);
    return none;
}

const char* PhaseLabel(Phase phase) {
    switch (phase) {
        case Phase::LoadingFile:
            return "Loading";
        case Phase::Program:
            return "Program";
        case Phase::Verify:
            return "Verify";
        case Phase::Erase:
            return "Erase";
        case Phase::BlankCheck:
            return "Blank Check";
        case Phase::Read:
            return "Read";
        case Phase::Load:
            return "Load";
        case Phase::Update:
            return "Update";
    }
    return "Working";
}

}  // namespace

CommandSession::CommandSession(const GlobalOptions& global, const McuRecord* part)
    : m_clock(MakeClock(global)),
      m_bar(std::cerr, StderrIsTerminal() && !global.quiet && !EventsOn(),
            [this] { return m_clock->Now(); }),
      m_prompts(global.json ? std::cerr : std::cout, EventsOn() ? Unwritten() : std::cerr, std::cin,
                StdinIsTerminal() && !EventsOn(), global.yes, m_bar),
      m_cancelAnswer(global.cancelAnswer) {
    if (StderrIsTerminal() && !global.quiet && !EventsOn())
        m_bar.SetLineClearing(EnableLineClearing());
    const BoxChoice choice = MakeChoice(global, part);
    std::string error;
    m_box = MakeBridge(choice, *m_clock, error);
    if (!m_box && choice.kind == BoxChoice::Kind::Auto) {
        // The box's library could not be used: said as the window would say it.
        m_prompts.ShowMessage(
            Message{error, text::kCaptionError, MsgIcon::Error, MsgButtons::Ok, Owner::MainWindow});
        throw ShownFailure(error);
    }
    if (!m_box) {
        throw std::runtime_error(error);
    }
    m_link = m_box.get();
    if (choice.kind == BoxChoice::Kind::Serial)
        m_port = choice.port;
    else if (choice.kind == BoxChoice::Kind::Auto)
        m_port = CurrentRecord().port;
    if (!global.trace.empty()) {
        // Binary: the same LF lines on every platform.
        m_traceFile.open(PathFromUtf8(global.trace),
                         std::ios::out | std::ios::trunc | std::ios::binary);
        if (!m_traceFile) {
            throw std::runtime_error("can not write the trace file " + global.trace);
        }
        m_traceName = "the trace file " + global.trace;
        m_traceChecked = std::make_unique<CheckedBuffer>(m_traceFile.rdbuf(), m_traceName);
        m_traceOut = std::make_unique<std::ostream>(m_traceChecked.get());
        m_tracing = std::make_unique<TracingBridge>(*m_box, *m_traceOut);
        m_link = m_tracing.get();
    }
    m_session = std::make_unique<BoxSession>(*m_link, *m_clock);
    SessionTarget target = m_session->Target();
    target.binaryBase = global.base;
    m_session->SetTarget(std::move(target));
    InstallInterruptHandler(m_cancel);
    // The erase dialog's rules read the block entries from the catalogue.
    m_cataloguePath = cli::CataloguePath(global);
}

namespace {
std::string g_stateSaveFailure;
}  // namespace

CommandSession::~CommandSession() {
    m_bar.End();
    m_session->Release();
    NoteImagePages(m_session->Image());
    RemoveInterruptHandler();
    if (m_traceOut) {
        // The last lines of the trace reach the disk here, or fail to.
        m_traceOut->flush();
        errno = 0;
        m_traceFile.close();
        if (m_traceFile.fail())
            NoteOutputFailure(m_traceName, errno);
    }
    // The simulated box's state, once the box is let go: a run whose box was
    // not kept has failed, whatever it did.
    std::string error;
    if (!SaveBoxState(*m_box, error)) {
        g_stateSaveFailure = "the simulated box's state was not saved: " + error;
        std::cerr << "o8rprog: " << g_stateSaveFailure << std::endl;
    }
}

const std::string& CommandSession::StateSaveFailure() {
    return g_stateSaveFailure;
}

std::optional<Outcome> CommandSession::Detect() {
    const OperationResult found = m_session->Detect();
    if (!Report(found)) {
        return std::nullopt;
    }
    return found.outcome;
}

bool CommandSession::Attach(Outcome wantedMode) {
    const auto mode = Detect();
    if (!mode) {
        return false;
    }
    if (*mode != wantedMode) {
        OperationResult wrong{Operation::Detect, wantedMode == Outcome::NormalMode
                                                     ? Outcome::NotInNormalMode
                                                     : Outcome::NotInUpdateMode};
        Report(wrong);
        return false;
    }
    return true;
}

void CommandSession::SelectPart(const SelectedPart& part) {
    SessionTarget target = m_session->Target();
    target.part = part.record.part;
    target.map = part.map;
    m_session->SetTarget(std::move(target));
}

bool CommandSession::ApplyIdCode(const GlobalOptions& global) {
    SessionTarget target = m_session->Target();
    target.idCode = ErasedIdCode();
    bool accepted = true;
    if (global.id && global.id->starts_with("image:")) {
        // The code an image protects the part with, read as programming it would.
        const std::string file = global.id->substr(6);
        auto image = std::make_unique<PageImage>();
        const auto failure = LoadImageFile(*image, FullPath(file), target.map, {}, global.base);
        if (failure) {
            m_prompts.ShowMessage(*failure);
            return false;
        }
        target.idCode = ImageIdCode(*image).value_or(ErasedIdCode());
    } else if (global.id || global.idText) {
        IdCodeEntry dialog(m_prompts, target.idCode);
        dialog.SetCharacterMode(global.idText.has_value());
        accepted = dialog.PressOk(global.idText ? *global.idText : *global.id);
    }
    m_session->SetTarget(std::move(target));
    return accepted;
}

bool CommandSession::Report(const OperationResult& result) {
    NoteResult(result);
    if (m_shownEnding) {
        // Shown as the operation ended; only a reset that failed afterwards is new.
        if (result.resetFailed && !m_shownEnding->resetFailed &&
            m_shownEnding->outcome != Outcome::ResetFailed) {
            Report(OperationResult{result.operation, Outcome::ResetFailed});
        }
        m_shownEnding.reset();
        return result.Succeeded();
    }
    for (Message message : MessagesFor(result)) {
        // The window's text alone leaves a user who may not open the port
        // guessing: the system's reason and where to look next.
        if (result.outcome == Outcome::CanNotOpenProgrammer && !m_port.empty()) {
            if (const std::string why = PortOpenProblem(m_port); !why.empty())
                message.text +=
                    "\n" + m_port + ": " + why + "\nrun \"o8rprog doctor\" to see what to change";
        }
        m_prompts.ShowMessage(message);
    }
    return result.Succeeded();
}

void CommandSession::Finished(const OperationResult& result) {
    m_shownEnding.reset();
    Report(result);
    m_shownEnding = result;
}

OperationHooks CommandSession::Hooks() {
    OperationHooks hooks;
    hooks.listener = this;
    hooks.cancel = &m_cancel;
    hooks.questions = this;
    return hooks;
}

void CommandSession::PhaseStarted(Phase phase) {
    m_bar.SetLabel(PhaseLabel(phase));
    StreamLine("phase", PhaseLabel(phase));
    PhaseEvent(phase, true);
    m_phase = phase;
    m_bar.Begin();
    m_barShown = true;
    m_percent = 0;
}

void CommandSession::Progress(int percent) {
    // The line only moves forward.
    if (m_barShown && percent >= m_percent) {
        if (percent != m_percent) {
            StreamLine("percent", std::to_string(percent));
            ProgressEvent(m_phase, percent);
        }
        m_bar.Update(percent);
        m_percent = percent;
    }
}

void CommandSession::PhaseEnded(Phase phase) {
    PhaseEvent(phase, false);
    if (m_barShown) {
        m_bar.End();
    }
    m_barShown = false;
}

void CommandSession::CannotCancel(Phase phase) {
    // Said from here, never from the signal handler: the Ctrl-C only set the token.
    const char* what = phase == Phase::Update  ? "The firmware update"
                       : phase == Phase::Erase ? "The erase"
                                               : "The verify read-back";
    const std::string text = std::string(what) + " cannot be cancelled; please wait.";
    m_bar.Suspend();
    CancelEvent(phase, false, text);
    // A gang shows it at once, beside the box, and not as the box's failure.
    if (!StreamLine("notice", text) && !EventsOn())
        std::cerr << text << std::endl;
}

bool CommandSession::ReplaceStoredImage(const std::string& name) {
    return m_prompts.ShowMessage(StoredImageQuestion(name)) == MsgAnswer::Yes;
}

bool CommandSession::ConfirmCancel(Operation operation) {
    // Ctrl-C is the Cancel button: its question takes --cancel-answer ("ask"
    // leaves it to the terminal).
    if (m_cancelAnswer != "ask")
        m_prompts.nextAnswer = m_cancelAnswer == "no" ? MsgAnswer::No : MsgAnswer::Yes;
    const Message question = CancelQuestionFor(operation);
    const bool cancelled = m_prompts.ShowMessage(question) == MsgAnswer::Yes;
    CancelEvent(m_phase, cancelled, question.text);
    return cancelled;
}

}  // namespace o8r::cli
