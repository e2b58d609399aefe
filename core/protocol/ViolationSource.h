#pragma once

// A bridge that judges the traffic it carries (the simulated box) reports
// every broken rule of the box's protocol here: a command written while the
// box is busy, a byte the box cannot hear, a loader command before the
// synchronisation. A tracing bridge writes them into its trace.

#include <string>
#include <vector>

namespace o8r {

class ViolationSource {
  public:
    virtual ~ViolationSource() = default;
    // The violations found since the last call, oldest first.
    virtual std::vector<std::string> TakeNewViolations() = 0;
};

}  // namespace o8r
