#pragma once

// Fault switches of the simulated box written as text, as the command line
// takes them ("--sim-fault unplug-at-page:3").

#include <string>
#include <string_view>

#include "sim/SimOptions.h"

namespace o8r {

// Applies one fault to `options`; returns an error text, empty on success.
std::string ParseSimFault(std::string_view spec, SimOptions& options);

// Every fault, one line each, for a help text.
std::string SimFaultHelp();

}  // namespace o8r
