#pragma once

// Where the running o8rprog lies, so that MCUType.mcu is found beside it
// whatever the working directory.

#include <string>

namespace o8r::cli {

// The executable's directory with a trailing separator; empty when unknown.
std::string ProgramDirectory(const char* argv0);

// What starts this very executable again, whatever its file is called now:
// /proc/self/exe on Linux, else the running program's full name.
std::string OwnExecutable();

// A file named on the command line as a full path, as a file chooser hands it
// back (the Load header takes the file's name from after its last separator).
std::string FullPath(const std::string& path);

}  // namespace o8r::cli
