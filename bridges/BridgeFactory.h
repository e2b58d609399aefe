#pragma once

// Picks the bridge a front end talks through, from a --box choice: every real
// box found on the serial ports, one named port, or the simulated box.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/protocol/Bridge.h"
#include "core/protocol/Clock.h"
#include "sim/SimFaults.h"
#include "sim/SimOptions.h"

namespace o8r {

struct BoxChoice {
    enum class Kind { Auto, Sim, Serial, UsbXpress };
    Kind kind = Kind::Auto;
    std::string port;  // Serial: the port name, e.g. /dev/ttyUSB0
    // UsbXpress (Windows): the box by the library's index (a number without
    // leading zeros: 0, 1, 12) or else by its USB serial number.
    std::optional<std::uint32_t> usbIndex;
    std::string usbSerial;
    SimOptions sim;            // Sim: layout, timings, faults
    std::string simStatePath;  // Sim: empty = a fresh box every run
    // Sim: how long a run waits while another run holds the state file.
    std::chrono::milliseconds simStateWait{10'000};
};

// "auto", "sim", "serial:PORT" or "usbxpress:INDEX|SERIAL"; nullopt with an error text otherwise.
std::optional<BoxChoice> ParseBoxChoice(std::string_view text, std::string& error);

// The bridge for a choice, or nullptr with an error text. A simulated box with
// a state path holds the file's lock for the bridge's life (waiting for
// another run to let it go, within `simStateWait`), starts from the file (a
// missing file is a new box; a switch that would change an existing box's
// target, such as a protected target, is refused) and writes it back through
// SaveBoxState, or when the bridge is destroyed if that was never called; a
// failure then is reported on standard error, since a destructor has no one
// else to tell.
std::unique_ptr<Bridge> MakeBridge(const BoxChoice& choice, Clock& clock, std::string& error);

// Writes the state of a simulated box made with a state path to its file now;
// true for any other bridge. False with an error text when it cannot be written.
bool SaveBoxState(Bridge& bridge, std::string& error);

// A real box as the system lists it.
struct FoundBox {
    std::string port;       // Windows: usbxpress:INDEX
    std::string usbSerial;  // empty where the system does not give it
    int vid = -1;
    int pid = -1;
    std::string product = {};  // Windows: the library's description of the box
};

// The --box choice that reaches `box` alone: serial:PORT, or on Windows
// usbxpress:SERIAL (usbxpress:INDEX where the library gives no serial).
std::string BoxChoiceFor(const FoundBox& box);

// Every real box attached, sorted by port; nullopt with an error text where
// boxes cannot be listed one by one (no serial support, or Windows).
std::optional<std::vector<FoundBox>> FindBoxes(std::string& error);

}  // namespace o8r
