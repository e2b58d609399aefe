#pragma once

// A production job for the operator view's tests: an image and a job file in
// a scratch folder, and the view run from the main window over simulated
// boxes, driven from inside its own loop.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "GuiHarness.h"
#include "gui/OperatorWindow.h"
#include "support/ScratchDir.h"

namespace o8r::test {

class OperatorRig {
  public:
    // `boxes` as the job names them ("" for the window's own box); the boxes
    // numbered in `faulty` (from 0) answer a page wrongly.
    explicit OperatorRig(GuiHarness& h, std::string boxes = "", std::vector<int> faulty = {});

    ScratchDir dir;
    std::string jobPath;
    std::vector<SimulatedBox*> madeBoxes;

    // Opens the job from the main window; `drive` runs inside the view's loop
    // and ends by leaving the view (or the rig leaves it afterwards).
    bool Run(const std::function<void(OperatorWindow&)>& drive);

    // Start pressed with F5, then every board to its end.
    static bool StartAndFinish(OperatorWindow& view);
    static void Leave(OperatorWindow& view);

  private:
    GuiHarness& m_h;
    std::vector<int> m_faulty;
};

}  // namespace o8r::test
