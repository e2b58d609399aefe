#pragma once

// One run's programmer box on the command line: the clock, the bridge (real or
// simulated, traced on request), the operations API over them, and the
// terminal that shows progress, asks the questions and prints the messages.

#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "cli/CatalogueAccess.h"
#include "cli/Options.h"
#include "cli/ProgressBar.h"
#include "cli/TerminalPrompts.h"
#include "core/operations/BoxSession.h"
#include "core/protocol/Bridge.h"
#include "core/protocol/Clock.h"

namespace o8r::cli {

class CommandSession : public OperationListener, public OperationQuestions {
  public:
    // Throws UsageError for a --box or --sim-* choice that cannot be made, and
    // std::runtime_error when the box cannot be reached at all. A new simulated
    // target gets the flash blocks of `part` when one is given.
    CommandSession(const GlobalOptions& global, const McuRecord* part);
    // Releases the box as closing the window does (reset held, handle closed).
    ~CommandSession() override;
    CommandSession(const CommandSession&) = delete;
    CommandSession& operator=(const CommandSession&) = delete;

    // Why a session of this run could not write its simulated box's state
    // back (said on standard error; the run fails); empty when it could.
    static const std::string& StateSaveFailure();

    // Finds exactly one box in the wanted mode; false after the reason is shown.
    bool Attach(Outcome wantedMode);
    // The box's mode, or nothing after the reason is shown.
    std::optional<Outcome> Detect();

    // The part chosen in the list and its memory map become the session's target.
    void SelectPart(const SelectedPart& part);
    // The target's ID code: seven 0xFF (the erased state) unless --id or --id-text
    // gives a code, which goes through the ID code dialog's rules. False when refused.
    bool ApplyIdCode(const GlobalOptions& global);

    // Shows a result's messages (those not shown as the operation ended); true
    // when it is a success.
    bool Report(const OperationResult& result);

    BoxSession& Box() { return *m_session; }
    // Progress, cancel (Ctrl-C) and questions for an operation.
    OperationHooks Hooks();
    TerminalPrompts& Prompts() { return m_prompts; }
    // The catalogue the part came from (the erase dialog reads its block entries).
    const std::string& CataloguePath() const { return m_cataloguePath; }

    // OperationListener: the progress line.
    void PhaseStarted(Phase phase) override;
    void Progress(int percent) override;
    void PhaseEnded(Phase phase) override;
    void Finished(const OperationResult& result) override;
    void CannotCancel(Phase phase) override;
    // OperationQuestions: asked on the terminal (or answered by --yes).
    bool ReplaceStoredImage(const std::string& name) override;
    bool ConfirmCancel(Operation operation) override;

  private:
    std::unique_ptr<Clock> m_clock;
    std::unique_ptr<Bridge> m_box;  // the real or simulated box
    std::ofstream m_traceFile;
    std::string m_traceName;
    std::unique_ptr<std::streambuf> m_traceChecked;  // checks every write to m_traceFile
    std::unique_ptr<std::ostream> m_traceOut;
    std::unique_ptr<Bridge> m_tracing;
    Bridge* m_link = nullptr;  // what the session talks to
    ProgressBar m_bar;
    TerminalPrompts m_prompts;
    CancelToken m_cancel;
    std::unique_ptr<BoxSession> m_session;
    std::string m_cataloguePath;
    std::string m_cancelAnswer;                    // yes | no | ask
    std::string m_port;                            // the serial port of the box, where known
    std::optional<OperationResult> m_shownEnding;  // shown by Finished, not yet returned
    bool m_barShown = false;
    int m_percent = 0;
    Phase m_phase = Phase::Program;  // the phase running, for its events
};

}  // namespace o8r::cli
