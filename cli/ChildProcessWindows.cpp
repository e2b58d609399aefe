#if defined(_WIN32)

#include "cli/ChildProcess.h"

namespace o8r::cli {

std::string ChildProcessesUnavailable() {
    return "gang is not available on Windows";
}

std::unique_ptr<ChildProcess> StartChild(const std::string&, const std::vector<std::string>&,
                                         std::string& error) {
    error = "gang is not available on Windows";
    return nullptr;
}

void PumpChildren(const std::vector<ChildProcess*>&, int, const ChildOutput&) {}

void InstallGangInterrupt() {}

void RemoveGangInterrupt() {}

int GangInterrupts() {
    return 0;
}

std::string MakeTemporaryFolder(std::string& error) {
    error = "gang is not available on Windows";
    return {};
}

}  // namespace o8r::cli

#endif
