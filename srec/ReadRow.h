#pragma once

#include <array>
#include <string>

namespace o8r {

// One row of the read-data hex dump: column 0 is a space and the six-digit row
// address (" 00C000"), columns 1 to 16 the bytes as "00".."FF", or empty for
// addresses outside the range read.
using ReadRow = std::array<std::string, 17>;

}  // namespace o8r
