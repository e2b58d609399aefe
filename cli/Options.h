#pragma once

// What the command line asked for, as plain values.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace o8r::cli {

struct GlobalOptions {
    std::string box = "auto";    // auto | sim | serial:PORT
    std::string simState;        // file the simulated box keeps its state in
    std::string simProtect;      // 14 hexadecimal digits for a new simulated target
    bool simUpdateMode = false;  // the simulated box starts in its update loader
    std::vector<std::string> simFaults;
    bool simRealtime = false;           // the simulated box on the real clock
    std::string simTiming;              // fast | typical | slow; empty: typical
    std::string cancelAnswer = "yes";   // yes | no | ask: the answer Ctrl-C gives
    std::optional<std::string> id;      // 2 to 14 hexadecimal digits
    std::optional<std::string> idText;  // 1 to 7 characters
    std::optional<std::uint32_t> base;  // where a binary image file loads
    std::string catalogue;              // empty: MCUType.mcu where CatalogueCandidates says
    std::string trace;                  // file for the bridge trace
    bool yes = false;                   // answer every question with Yes
    bool quiet = false;                 // no progress bar
    std::string programDirectory;       // where the executable lies, with a trailing separator
    bool json = false;                  // one JSON object on stdout, nothing else there
    std::string log;                    // CSV file a line per run is appended to
    bool progressLines = false;         // progress as "@o8r" lines on stderr, for gang
    std::string simSerial;              // the USB serial number the simulated box reports
    std::uint64_t serialIndex = 0;      // for gang: this box's place, for --serial-start
};

// A serial number for each board: where it goes and where it comes from.
struct SerialOptions {
    std::string at;  // ADDR:LEN[:FORMAT]; empty: no serial number
    std::optional<std::uint64_t> start;
    std::uint64_t step = 1;
    std::string counter;  // a file holding the next number
    std::string list;     // a file with one number a line
    bool overwrite = false;
};

struct ImageOptions {
    std::string mcu;
    std::string file;
    SerialOptions serial;
};

struct ProgramOptions {
    std::string mcu;
    std::string file;
    bool verify = false;
    SerialOptions serial;
};

struct JobOptions {
    std::string file;     // check, run: the job; new: the image
    std::string boxes;    // run: over the job's boxes
    int jobs = 0;         // run: boxes at a time
    bool oneBox = false;  // run: this o8rprog is one box of the job's gang
    // new: what the job names
    std::string mcu;
    std::string output;
    std::string name;
    std::vector<std::string> steps;
    std::string log;
    std::string start;
    SerialOptions serial;
};

struct EraseOptions {
    std::string mcu;
    std::vector<std::string> blocks;
    bool all = false;
};

struct RangeOptions {
    std::string mcu;
    std::string range;   // START-END in hexadecimal
    std::string output;  // read: file to save, in the format its extension names
    std::string format;  // read: srec | ihex | bin, over the extension
    bool dump = false;   // read: print the hex dump
};

struct DetectOptions {
    bool all = false;  // a table of every box found
};

struct GangOptions {
    std::string boxes;                 // auto | sim:N | PORT,PORT,...
    int jobs = 0;                      // boxes run at once; 0: all
    std::vector<std::string> command;  // the command and its arguments
};

struct FileOptions {
    std::string mcu;  // load only
    std::string file;
};

}  // namespace o8r::cli
