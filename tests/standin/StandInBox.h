#pragma once

#include <filesystem>

#include "core/protocol/Bridge.h"

namespace o8r::standin {

// The one simulated box of this process, made at the first call from the
// environment (O8R_STANDIN_STATE, O8R_STANDIN_FAULTS) with the catalogue in
// `folder`; nullptr after a message on standard error when it cannot be made.
Bridge* Box(const std::filesystem::path& folder);

}  // namespace o8r::standin
