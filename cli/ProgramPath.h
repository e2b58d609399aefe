#pragma once

// Where the running o8rprog lies, so that MCUType.mcu is found beside it
// whatever the working directory.

#include <string>

namespace o8r::cli {

// The executable's directory with a trailing separator; empty when unknown.
std::string ProgramDirectory(const char* argv0);

}  // namespace o8r::cli
