#pragma once

// Around every command: the record started, stdout held back under --json,
// and at the end the JSON object, the log line and, for gang, the closing
// "@o8r end" line.

#include <string>
#include <string_view>

#include "cli/Options.h"
#include "cli/RunRecord.h"

namespace o8r::cli {

struct CommandNames {
    std::string command;  // program, erase, ...
    std::string part;     // --mcu, or empty
    std::string file;     // the image file, or empty
};

// The run's output files (--log; without `gang` also --sim-state and
// --trace) judged before anything is made beside them, such as a state
// file's lock. Throws UsageError naming the option.
void CheckOutputFiles(const GlobalOptions& global, bool gang);

// Starts the record of the command about to run; under --json its stdout is
// held back from here on.
void BeginRecord(const GlobalOptions& global, const CommandNames& names);
// Writes the record out as --json and --log ask and returns the exit
// status; without a begun record, `status` as it is. A log that cannot be
// written turns success into failure: a board without its record is not
// traceable.
int FinishRecord(int status);

// The line that closes a job's run, appended to `log` after the run's own
// record (or alone, after a gang) when FinishRecord writes it out.
void CloseRun(const std::string& log, const RunRecord& closing);

// A failure that ended the run without an operation's result.
void NoteFailure(std::string_view outcome, const std::string& text);
// A failure that came after the operation's ending and overrules it (the
// simulated box's state lost): the record must not say it succeeded.
void ReplaceEnding(std::string_view outcome, const std::string& text);

// Progress for a gang: one "@o8r KIND TEXT" line on stderr, when asked for;
// false when not.
bool StreamLine(std::string_view kind, std::string_view text);

}  // namespace o8r::cli
