#pragma once

// The console the program runs in: whether the standard streams are attached
// to a terminal, and the platform's set-up of it.

#include <cstddef>
#include <string>
#include <vector>

namespace o8r::cli {

bool StdinIsTerminal();
bool StdoutIsTerminal();
bool StderrIsTerminal();

// The command line as UTF-8 text. On Windows from the wide command line (the
// narrow argv there is in the ANSI code page, which cannot hold every name);
// elsewhere argv as it is.
std::vector<std::string> Utf8Arguments(int argc, char** argv);

// Which of the standard streams the program was started without.
struct ClosedStreams {
    bool in = false;
    bool out = false;
    bool err = false;
};

// Holds each closed standard stream on the null device, so that no file the
// program opens later takes its place (a trace or a lock file would get the
// messages), and ignores SIGPIPE: a reader that went away makes a failed
// write, noticed and reported, instead of ending the run before its record.
ClosedStreams HoldStandardStreams();

// The rows of the terminal standard error shows on; 0 when unknown.
std::size_t TerminalRows();

// Windows: the console reads and writes UTF-8. Elsewhere nothing to do.
void PrepareConsole();

// Lets the error stream's terminal take the escape sequences that clear a
// line; false where it cannot (older Windows consoles), and the progress bar
// then redraws with carriage returns and blanks only.
bool EnableLineClearing();

}  // namespace o8r::cli
