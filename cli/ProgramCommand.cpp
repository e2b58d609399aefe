// o8rprog program: the image programmed page by page, and on request every
// programmed page read back and compared.

#include "cli/CommandSession.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/PartCommand.h"
#include "cli/ProgramPath.h"

namespace o8r::cli {

int RunProgram(const GlobalOptions& global, const ProgramOptions& options) {
    return RunOnPart(global, options.mcu, {}, [&](CommandSession& box) {
        if (!box.Report(box.Box().Program(FullPath(options.file), box.Hooks()))) {
            return kExitFailure;
        }
        if (!options.verify) {
            return kExitOk;
        }
        return box.Report(box.Box().Verify(box.Hooks())) ? kExitOk : kExitFailure;
    });
}

}  // namespace o8r::cli
