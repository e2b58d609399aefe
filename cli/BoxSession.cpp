#include "cli/BoxSession.h"

#include <iostream>
#include <stdexcept>

#include "app/Ids.h"
#include "app/Messages.h"
#include "app/SharedState.h"
#include "catalogue/IdCodeDialog.h"
#include "cli/ExitStatus.h"
#include "cli/Interrupt.h"
#include "cli/Terminal.h"
#include "link/BridgeFactory.h"
#include "link/TracingBridge.h"
#include "sim/SimFaults.h"
#include "srec/Utf8Path.h"

namespace o8r::cli {

namespace {

constexpr int kPollPeriodMs = 200;

// Texts of the command line's own, where the window would simply show its
// start view.
constexpr char kNoProgrammer[] = "No programmer is detected!";
constexpr char kCanNotOpenProgrammer[] = "Can not open programmer!";
constexpr char kInUpdateMode[] =
    "The programmer is in firmware-update mode: only o8rprog update can be used.";
constexpr char kNotInUpdateMode[] =
    "The programmer is not in firmware-update mode: reset it into its loader first.";

BoxChoice MakeChoice(const GlobalOptions& global, const McuRecord* part) {
    std::string error;
    auto choice = ParseBoxChoice(global.box, error);
    if (!choice) {
        throw UsageError("--box: " + error);
    }
    const bool simOptions = !global.simState.empty() || !global.simProtect.empty() ||
                            global.simUpdateMode || !global.simFaults.empty() || global.simRealtime;
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

}  // namespace

BoxSession::BoxSession(const GlobalOptions& global, const McuRecord* part)
    : m_clock(MakeClock(global)),
      m_bar(std::cerr, StderrIsTerminal() && !global.quiet, [this] { return m_clock->Now(); }),
      m_view(m_bar, m_timers),
      m_prompts(std::cout, std::cerr, std::cin, StdinIsTerminal(), global.yes, m_bar) {
    if (StderrIsTerminal() && !global.quiet)
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
    if (!global.trace.empty()) {
        // Binary: the same LF lines on every platform.
        m_traceFile.open(PathFromUtf8(global.trace),
                         std::ios::out | std::ios::trunc | std::ios::binary);
        if (!m_traceFile) {
            throw std::runtime_error("can not write the trace file " + global.trace);
        }
        m_tracing = std::make_unique<TracingBridge>(*m_box, m_traceFile);
        m_link = m_tracing.get();
    }
    m_controller = std::make_unique<ProgrammerController>(*m_link, *m_clock, m_view, m_prompts);
    // The erase dialog reads the block entries from the catalogue.
    g_mcuFilePath = CataloguePath(global);
}

BoxSession::~BoxSession() {
    m_bar.End();
    if (m_detected) {
        m_controller->CloseLink();
    }
    m_timers.Stop(TIMER_DEVICE_POLL);
    m_timers.Stop(TIMER_OPERATION);
}

std::optional<BoxMode> BoxSession::Detect() {
    // As the window starts: the poll timer runs for the rest of the run; its
    // first tick comes at once instead of after 200 ms.
    m_timers.Start(TIMER_DEVICE_POLL, kPollPeriodMs);
    m_controller->OnTimer(TIMER_DEVICE_POLL);
    m_detected = true;
    if (g_lastDeviceCount == 0) {
        m_prompts.ShowMessage(Message{kNoProgrammer, text::kCaptionError, MsgIcon::Error,
                                      MsgButtons::Ok, Owner::MainWindow});
        return std::nullopt;
    }
    if (g_lastDeviceCount != 1) {
        return std::nullopt;  // the poll has said so
    }
    if (g_hDevice == 0) {
        m_prompts.ShowMessage(Message{kCanNotOpenProgrammer, text::kCaptionError, MsgIcon::Error,
                                      MsgButtons::Ok, Owner::MainWindow});
        return std::nullopt;
    }
    return m_controller->m_bUpdateMode ? BoxMode::FirmwareUpdate : BoxMode::Normal;
}

bool BoxSession::Attach(BoxMode wanted) {
    const auto mode = Detect();
    if (!mode) {
        return false;
    }
    if (*mode != wanted) {
        m_prompts.ShowMessage(Message{wanted == BoxMode::Normal ? kInUpdateMode : kNotInUpdateMode,
                                      text::kCaptionError, MsgIcon::Error, MsgButtons::Ok,
                                      Owner::MainWindow});
        return false;
    }
    return true;
}

void BoxSession::SelectPart(const SelectedPart& part) {
    g_selectedMcu = part.record.part;
    SetMemoryMap(part.map);
}

bool BoxSession::ApplyIdCode(const GlobalOptions& global) {
    g_idCode.fill(0xFF);
    if (!global.id && !global.idText) {
        return true;
    }
    IdCodeDialog dialog(m_prompts);
    dialog.SetCharacterMode(global.idText.has_value());
    return dialog.PressOk(global.idText ? *global.idText : *global.id);
}

void BoxSession::Dispatch(int timerId) {
    m_controller->OnTimer(timerId);
}

void BoxSession::RunOperation(const std::function<void()>& cancel) {
    m_timers.RunUntil(
        *m_clock, [&] { return !m_timers.IsRunning(TIMER_OPERATION); },
        [&](int id) {
            if (Interrupted() && cancel) {
                AcknowledgeInterrupt();
                m_prompts.nextAnswer = MsgAnswer::Yes;
                cancel();
                return;
            }
            Dispatch(id);
        });
}

void BoxSession::RunButton(const std::string& label, const std::function<void()>& button) {
    Label(label);
    button();
    RunOperation(button);
}

}  // namespace o8r::cli
