// o8rprog update: the Update button of a box that came up in its firmware
// loader.

#include <iostream>

#include "app/Messages.h"
#include "cli/BoxSession.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"

namespace o8r::cli {

int RunUpdate(const GlobalOptions& global, const FileOptions& options) {
    BoxSession box(global, nullptr);
    // Detection sets the memory map to the box's own program memory.
    if (!box.Attach(BoxMode::FirmwareUpdate)) {
        return kExitFailure;
    }
    box.Prompts().openFile = options.file;
    box.Label("Update");
    // The whole update runs inside the button's handler.
    box.Controller().OnLoadButton();
    return box.Prompts().WasShown(text::kUpdateCompleted) ? kExitOk : kExitFailure;
}

}  // namespace o8r::cli
