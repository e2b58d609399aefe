#pragma once

// What one run did, for the record of every board: the command, the part, the
// box, the image with its checksums, the times, how it ended, and for a job
// its steps and the board's serial number. Both front ends write it as the
// same CSV line, so that one log serves a line whichever program it runs.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace o8r {

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

// One CSV field on one line: CR and LF become spaces; quoted when it holds a
// comma or a quote (quotes doubled).
std::string CsvField(std::string_view text);
// The log's header and a record's line, each ending in LF.
std::string CsvHeader();
std::string CsvLine(const RunRecord& record);

// Milliseconds since 1970 on the system clock.
std::uint64_t NowMs();
// Milliseconds on a steady clock, for durations.
std::uint64_t SteadyMs();
// 2026-12-07T12:46:20.123Z
std::string IsoUtc(std::uint64_t ms);

}  // namespace o8r
