#pragma once

// Whether the standard streams are attached to a terminal.

namespace o8r::cli {

bool StdinIsTerminal();
bool StdoutIsTerminal();
bool StderrIsTerminal();

}  // namespace o8r::cli
