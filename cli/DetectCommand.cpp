// o8rprog detect: whether exactly one box is there, and in which mode.

#include <iostream>

#include "cli/BoxSession.h"
#include "cli/Commands.h"
#include "cli/ExitStatus.h"

namespace o8r::cli {

int RunDetect(const GlobalOptions& global) {
    BoxSession box(global, nullptr);
    const auto mode = box.Detect();
    if (!mode) {
        return kExitFailure;
    }
    std::cout << (*mode == BoxMode::Normal ? "normal" : "firmware-update") << '\n';
    return kExitOk;
}

}  // namespace o8r::cli
