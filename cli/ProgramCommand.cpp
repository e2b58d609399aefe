// o8rprog program: the Program button with the file chosen beforehand, and on
// request a read-back of every programmed page.

#include <iostream>

#include "app/Messages.h"
#include "cli/BoxSession.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "operations/VerifyPages.h"

namespace o8r::cli {

int RunProgram(const GlobalOptions& global, const ProgramOptions& options) {
    const auto lines = LoadCatalogue(global, std::cerr);
    if (!lines) {
        return kExitFailure;
    }
    const SelectedPart part = ResolvePart(*lines, options.mcu);
    BoxSession box(global, &part.record);
    if (!box.ApplyIdCode(global)) {
        return kExitFailure;
    }
    box.SelectPart(part);
    if (!box.Attach(BoxMode::Normal)) {
        return kExitFailure;
    }

    ProgrammerController& controller = box.Controller();
    box.Prompts().openFile = options.file;
    box.Label("Program");
    controller.OnProgram();
    box.RunOperation([&] { controller.OnProgram(); });
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
}

}  // namespace o8r::cli
