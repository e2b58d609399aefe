#include "support/TestData.h"

namespace o8r::test {

std::string SourcePath(const std::string& relative) {
    return std::string(O8R_SOURCE_DIR) + "/" + relative;
}

std::string BinPath(const std::string& relative) {
    return std::string(O8R_BIN_DIR) + "/" + relative;
}

}  // namespace o8r::test
