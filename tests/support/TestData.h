#pragma once

#include <string>

namespace o8r::test {

// Paths of the source tree and of the built programs, fixed at configure time.
std::string SourcePath(const std::string& relative);
std::string BinPath(const std::string& relative);

}  // namespace o8r::test
