// o8rprog program: the Program button with the file chosen beforehand, and on
// request a read-back of every programmed page.

#include "app/Messages.h"
#include "cli/BoxSession.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/PartCommand.h"
#include "operations/VerifyPages.h"

namespace o8r::cli {

int RunProgram(const GlobalOptions& global, const ProgramOptions& options) {
    return RunOnPart(global, options.mcu, {}, [&](BoxSession& box) {
        ProgrammerController& controller = box.Controller();
        box.Prompts().openFile = options.file;
        box.RunButton("Program", [&] { controller.OnProgram(); });
        if (!box.Prompts().WasShown(text::kProgramCompleted)) {
            return kExitFailure;
        }
        if (!options.verify) {
            return kExitOk;
        }

        box.Label("Verify");
        const bool same =
            RunVerifyPages(controller, box.GetBridge(), box.GetClock(), box.View(), box.Prompts());
        return same ? kExitOk : kExitFailure;
    });
}

}  // namespace o8r::cli
