#pragma once

// The start every device command on one part shares: the catalogue read, the
// part --mcu names, and the box with the ID code given and the part chosen in
// the list, attached in normal mode.

#include <functional>
#include <string>
#include <vector>

#include "cli/CatalogueAccess.h"
#include "cli/CommandSession.h"
#include "cli/Options.h"

namespace o8r::cli {

// What a command judges before it runs; either may be left empty.
struct PartChecks {
    // Once the part is known, before the box is reached: throws UsageError for
    // an option the part cannot take.
    std::function<void(const std::vector<std::string>& lines, const SelectedPart& part)> options;
    // Once the part is chosen, before the box is touched: false refuses the
    // run, the reason shown.
    std::function<bool(CommandSession& box)> beforeAttach;
};

// Sets the box up for the part `mcu` names and returns what `command` returns
// for it; kExitFailure when the setup fails, the reason shown.
int RunOnPart(const GlobalOptions& global, const std::string& mcu, const PartChecks& checks,
              const std::function<int(CommandSession& box)>& command);

}  // namespace o8r::cli
