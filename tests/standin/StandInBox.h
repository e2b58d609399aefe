#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "core/protocol/Bridge.h"

namespace o8r::standin {

// How many boxes the library shows: O8R_STANDIN_BOXES, or 0 when unset (one
// box, whose own device count the library passes on, faults included).
std::uint32_t BoxCount();

// Box `index` of this process (0 when there is one), made at its first call
// from the environment (O8R_STANDIN_STATE, O8R_STANDIN_FAULTS) with the
// catalogue in `folder`; nullptr after a message on standard error when it
// cannot be made, or when there is no such box.
Bridge* Box(const std::filesystem::path& folder, std::uint32_t index);

// The USB serial number of box `index`: STANDIN1, STANDIN2, ...
std::string Serial(std::uint32_t index);

// Time-outs, kept for boxes made later and given to those already made.
void SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs);

}  // namespace o8r::standin
