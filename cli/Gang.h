#pragma once

// The boxes of a gang and the command line each box's o8rprog gets.

#include <string>
#include <vector>

#include "cli/Options.h"

namespace o8r::cli {

constexpr int kMaxGangBoxes = 64;

// How a gang's boxes ended, for whoever ran it (a job counts its boards).
struct GangTally {
    std::size_t total = 0;
    std::size_t succeeded = 0;
};

struct GangBox {
    std::string label;  // sim:2, /dev/ttyUSB0: how the gang names the box
    std::string box;    // the --box choice for its o8rprog
    int index = 0;      // 1, 2, ...: the N of --sim-fault N=SPEC and of NAME.N
};

// The boxes --boxes names: auto, sim:N or PORT,PORT,...; empty with a reason.
std::vector<GangBox> GangBoxes(const std::string& spec, std::string& error);

// The arguments of one box's o8rprog (without the program itself).
std::vector<std::string> GangChildArguments(const GlobalOptions& global, const GangBox& box,
                                            const std::string& stateFolder,
                                            const std::vector<std::string>& command);

}  // namespace o8r::cli
