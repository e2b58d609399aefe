#pragma once

// Ctrl-C during an operation: the first one asks the running operation to
// cancel as its Cancel button would (the box is reset and the usual cancel
// message shown); a second one ends the program at once.

namespace o8r::cli {

void InstallInterruptHandler();
bool Interrupted();
// The interrupt has been acted upon; the next one ends the program.
void AcknowledgeInterrupt();

}  // namespace o8r::cli
