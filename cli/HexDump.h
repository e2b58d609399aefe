#pragma once

// The read-data window's list on a terminal.

#include <string>
#include <vector>

#include "core/image/ReadRow.h"

namespace o8r::cli {

// The rows as the window's list shows them, with a heading line.
[[nodiscard]] std::string FormatDump(const std::vector<ReadRow>& rows);

}  // namespace o8r::cli
