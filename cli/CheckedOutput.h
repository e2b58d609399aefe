#pragma once

// Output that cannot be written (a full disk, /dev/full) fails the command:
// every write to standard output, standard error and the trace goes through a
// buffer that notes the first write not taken, and the run then ends with
// exit status 1 and one message naming the stream and the system's reason.

#include <optional>
#include <streambuf>
#include <string>

namespace o8r::cli {

// Passes everything on to another stream buffer and notes the first write
// that buffer does not take.
class CheckedBuffer : public std::streambuf {
  public:
    // `name` says which output it is in the message: "standard output".
    // A `closed` output takes nothing: every write to it fails.
    CheckedBuffer(std::streambuf* target, std::string name, bool closed = false);

  protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

  private:
    std::streambuf* m_target;
    std::string m_name;
    bool m_closed;
};

struct OutputFailure {
    std::string output;  // "standard output", "the trace file box.trace"
    std::string reason;  // the system's text
};

// Notes a failed write; only the first of a run is kept.
void NoteOutputFailure(const std::string& output, int error);
std::optional<OutputFailure> FirstOutputFailure();

// "can not write to standard output: Broken pipe"
std::string OutputFailureText(const OutputFailure& failure);

// std::cout and std::cerr through checked buffers for as long as it lives;
// a stream the program was started without fails every write.
class CheckedStandardStreams {
  public:
    CheckedStandardStreams(bool stdoutClosed = false, bool stderrClosed = false);
    ~CheckedStandardStreams();
    CheckedStandardStreams(const CheckedStandardStreams&) = delete;
    CheckedStandardStreams& operator=(const CheckedStandardStreams&) = delete;

  private:
    std::streambuf* m_outTarget;
    std::streambuf* m_errTarget;
    CheckedBuffer m_out;
    CheckedBuffer m_err;
};

// The exit status once the standard streams are flushed: `status`, or
// kExitFailure after one message when any output failed, on standard error or,
// when that was closed, on standard output.
int FinishOutput(int status);

}  // namespace o8r::cli
