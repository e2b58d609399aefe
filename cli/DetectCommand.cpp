// o8rprog detect: whether exactly one box is there, and in which mode.

#include <iostream>

#include "cli/CommandSession.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"

namespace o8r::cli {

int RunDetect(const GlobalOptions& global) {
    CommandSession box(global, nullptr);
    const auto mode = box.Detect();
    if (!mode) {
        return kExitFailure;
    }
    std::cout << (*mode == Outcome::NormalMode ? "normal" : "firmware-update") << '\n';
    return kExitOk;
}

}  // namespace o8r::cli
