#pragma once

// What the operator view needs of a production job and of the boxes it runs
// on. A job (its file, its serials, its log) and a board's run on one box
// stand behind these two small interfaces, so that the view's logic is the
// same whatever runs the job's steps.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/operations/BoxSession.h"

namespace o8r {

// What the operator compares with the paper traveller.
struct OperatorJobFacts {
    std::string name;
    std::string part;
    std::string imageName;           // the file's name, without its folder
    std::string imageSha256;         // 64 hexadecimal digits
    std::vector<std::string> boxes;  // as the job names them; one "" for the only box
    bool startOnPlug = false;        // a box plugged in starts a board by itself
};

// How one board ended.
struct BoardOutcome {
    bool passed = false;
    std::optional<std::uint64_t> serial;
    std::string message;        // what the operator reads on the banner; empty when passed
    std::string outcome;        // the last step's ending by name ("Completed", "VerifyError", ...)
    std::string steps;          // "erase 0,1=Completed;program=Completed"
    std::uint64_t startMs = 0;  // milliseconds since 1970, UTC
};

// One box with its own engine session: a board at a time, stepped like the
// engine from the window's timer.
class BoardRunner {
  public:
    virtual ~BoardRunner() = default;
    // The box is there (plugged in, one found on its port).
    [[nodiscard]] virtual bool Attached() = 0;
    virtual void Begin(std::optional<std::uint64_t> serial) = 0;
    // Pending::Box while the board is under way, Pending::Ended when Outcome() holds.
    [[nodiscard]] virtual Pending Step() = 0;
    [[nodiscard]] virtual int Percent() const = 0;
    // The step at work ("program"), or empty.
    [[nodiscard]] virtual std::string Activity() const = 0;
    [[nodiscard]] virtual const BoardOutcome& Outcome() const = 0;
};

class OperatorJob {
  public:
    virtual ~OperatorJob() = default;
    [[nodiscard]] virtual const OperatorJobFacts& Facts() const = 0;
    // Whether boards get serial numbers; the next one as it stands (for the view).
    [[nodiscard]] virtual bool UsesSerials() const = 0;
    [[nodiscard]] virtual std::optional<std::uint64_t> NextSerial() const = 0;
    // Takes the next serial for a board: no other run gets it. Empty with
    // `error` set when none can be had.
    [[nodiscard]] virtual std::optional<std::uint64_t> TakeSerial(std::string& error) = 0;
    // Appends a board's record to the job's log; false with `error` when it could not.
    [[nodiscard]] virtual bool Record(const std::string& box, const BoardOutcome& outcome,
                                      std::string& error) = 0;
    // The view's session ends: the line that closes it, with its boards counted.
    virtual void CloseRun(int passed, int failed) = 0;
    // The last `count` records of the job's log, oldest first, one line each.
    [[nodiscard]] virtual std::vector<std::string> LastRecords(std::size_t count) const = 0;
};

}  // namespace o8r
