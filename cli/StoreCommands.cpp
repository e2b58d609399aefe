// o8rprog load and query: an image stored in the box, and which one it stores.

#include <iostream>

#include "cli/CommandSession.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"
#include "cli/PartCommand.h"
#include "cli/ProgramPath.h"

namespace o8r::cli {

int RunLoad(const GlobalOptions& global, const FileOptions& options) {
    return RunOnPart(global, options.mcu, {}, [&](CommandSession& box) {
        return box.Report(box.Box().Load(FullPath(options.file), box.Hooks())) ? kExitOk
                                                                               : kExitFailure;
    });
}

int RunQuery(const GlobalOptions& global) {
    CommandSession box(global, nullptr);
    if (!box.Attach(Outcome::NormalMode)) {
        return kExitFailure;
    }
    const OperationResult result = box.Box().QueryStore();
    if (!box.Report(result)) {
        return kExitFailure;
    }
    std::cout << (result.outcome == Outcome::StoredName ? result.storedName : "(empty)") << '\n';
    return kExitOk;
}

}  // namespace o8r::cli
