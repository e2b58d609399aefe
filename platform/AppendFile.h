#pragma once

// Logs that several processes append to at once, which each operating system
// makes safe its own way: a line is appended whole or not at all, and a new
// log gets its header before anyone else appends.

#include <string>

namespace o8r {

// Why `path` cannot be an output file of the run: "a FIFO", "a folder", "a
// device", or empty when it is a regular file or not there yet. With
// `streams`, devices (/dev/null, /dev/stderr) and FIFOs that a process reads
// are taken too. Never blocks, never creates anything.
std::string NotAnOutputFile(const std::string& path, bool streams);

// Platform part: opens `path` for appending (creating it), writes `header`
// when the file is empty and then `line`, each with one write. False with a reason.
bool AppendLines(const std::string& path, const std::string& header, const std::string& line,
                 std::string& error);

}  // namespace o8r
