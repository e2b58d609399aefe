#pragma once

// Ctrl-C during an operation: the first one asks the running operation to
// cancel as its Cancel button would (the box is reset and the usual cancel
// message shown); a second one ends the program at once.

#include "core/operations/BoxSession.h"

namespace o8r::cli {

void InstallInterruptHandler(CancelToken& token);
void RemoveInterruptHandler();

}  // namespace o8r::cli
