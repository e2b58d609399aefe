// o8rprog update: new firmware for a box that came up in its firmware loader.

#include "cli/CommandSession.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/ProgramPath.h"

namespace o8r::cli {

int RunUpdate(const GlobalOptions& global, const FileOptions& options) {
    CommandSession box(global, nullptr);
    // Detection sets the memory map to the box's own program memory.
    if (!box.Attach(Outcome::FirmwareUpdateMode)) {
        return kExitFailure;
    }
    return box.Report(box.Box().Update(FullPath(options.file), box.Hooks())) ? kExitOk
                                                                             : kExitFailure;
}

}  // namespace o8r::cli
