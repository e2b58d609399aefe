#pragma once

// What one run of a command did, for --json and --log: the command, the part,
// the box, the image with its checksums, the times, and how it ended. The
// command session fills it as results come in; Main writes it out at the end.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/image/PageImage.h"
#include "core/image/SerialNumber.h"
#include "core/model/Message.h"
#include "core/model/Outcome.h"

namespace o8r::cli {

struct RunRecord {
    std::string command;  // program, erase, read, ... as given on the command line
    std::string part;     // --mcu
    std::string port;     // the box: its serial port, or "sim"
    std::string usbSerial;
    // The image the command sent (program, load, update, image).
    std::string imageFile;
    std::optional<std::uint64_t> imageSize;  // bytes of the file
    int pages = 0;
    std::string crc32;          // of the page records, 8 hexadecimal digits
    std::string sha256;         // of the page records, 64 hexadecimal digits
    std::string imageFormat;    // srec | ihex | bin
    std::string idCode;         // the ID code the image carries; empty: none
    std::uint64_t startMs = 0;  // milliseconds since 1970, UTC
    std::uint64_t endMs = 0;
    // The duration, on a clock that never steps back with the system's time.
    std::uint64_t steadyStartMs = 0;
    std::uint64_t durationMs = 0;
    std::string outcome;  // OutcomeName of the last result, or a front-end ending
    std::string message;  // the text that reports the ending
    bool messageIsError = false;
    std::string lastQuestion;  // the last question asked, for a refusal without a message
    bool resetFailed = false;
    int exitStatus = 0;
    std::optional<std::uint32_t> firstFilledAddress;  // blank-check found data here
    std::optional<std::string> storedName;            // query
    std::optional<std::uint64_t> bytesRead;           // read
    std::string output;                               // what the command printed on stdout
    // A job's run: the job file and its SHA-256, each step and how it ended.
    std::string job;
    std::string jobSha256;
    std::vector<std::pair<std::string, std::string>> steps;
    // The board's serial number, where it went and its bytes (hexadecimal).
    std::optional<std::uint64_t> serial;
    std::string serialAt;
    std::string serialBytes;
    // The line that closes a job's run: its boards counted.
    std::optional<std::uint64_t> programmed;
    std::optional<std::uint64_t> failed;
};

// The record of this process's run.
RunRecord& CurrentRecord();

// The ending of an operation as the API returned it.
void NoteResult(const OperationResult& result);
// A message shown to the user; the first error (or else the last notice)
// becomes the record's message.
void NoteMessage(const Message& message);
// Page count and checksums of the image's page records, when it holds any.
void NoteImagePages(const PageImage& image);

// The serial number the board was given.
void NoteSerial(const SerialPatch& patch);

// Milliseconds since 1970 on the system clock.
std::uint64_t NowMs();
// Milliseconds on a steady clock, for durations.
std::uint64_t SteadyMs();
// 2026-12-07T12:46:20.123Z
std::string IsoUtc(std::uint64_t ms);

}  // namespace o8r::cli
