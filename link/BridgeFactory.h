#pragma once

// Picks the bridge a front end talks through, from a --box choice: every real
// box found on the serial ports, one named port, or the simulated box.

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/Bridge.h"
#include "link/Clock.h"
#include "sim/SimFaults.h"
#include "sim/SimOptions.h"

namespace o8r {

struct BoxChoice {
    enum class Kind { Auto, Sim, Serial };
    Kind kind = Kind::Auto;
    std::string port;          // Serial: the port name, e.g. /dev/ttyUSB0
    SimOptions sim;            // Sim: layout, timings, faults
    std::string simStatePath;  // Sim: empty = a fresh box every run
};

// "auto", "sim" or "serial:PORT"; nullopt with an error text otherwise.
std::optional<BoxChoice> ParseBoxChoice(std::string_view text, std::string& error);

// The bridge for a choice, or nullptr with an error text. A simulated box with
// a state path starts from that file (a missing file is a new box) and writes
// it back when the bridge is destroyed; a failure to write it is reported on
// standard error, since a destructor has no one else to tell.
std::unique_ptr<Bridge> MakeBridge(const BoxChoice& choice, Clock& clock, std::string& error);

// A real box as the system lists it.
struct FoundBox {
    std::string port;
    std::string usbSerial;  // empty where the system does not give it
    int vid = -1;
    int pid = -1;
};

// Every real box attached, sorted by port; nullopt with an error text where
// boxes cannot be listed one by one (no serial support, or Windows).
std::optional<std::vector<FoundBox>> FindBoxes(std::string& error);

}  // namespace o8r
