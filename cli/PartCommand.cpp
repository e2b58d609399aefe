#include "cli/PartCommand.h"

#include <iostream>

#include "cli/ExitStatus.h"

namespace o8r::cli {

int RunOnPart(const GlobalOptions& global, const std::string& mcu, const PartChecks& checks,
              const std::function<int(CommandSession& box)>& command) {
    const auto lines = LoadCatalogue(global, std::cerr);
    if (!lines) {
        return kExitFailure;
    }
    const SelectedPart part = ResolvePart(*lines, mcu);
    if (checks.options) {
        checks.options(*lines, part);
    }

    CommandSession box(global, &part.record);
    // The part first: an ID code taken from an image is read under its map.
    box.SelectPart(part);
    if (!box.ApplyIdCode(global)) {
        return kExitFailure;
    }
    if (checks.beforeAttach && !checks.beforeAttach(box)) {
        return kExitFailure;
    }
    if (!box.Attach(Outcome::NormalMode)) {
        return kExitFailure;
    }
    return command(box);
}

}  // namespace o8r::cli
