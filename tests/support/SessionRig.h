#pragma once

// The operations API over a simulated box with a part chosen and a two-page
// image at 0xC000 written (a box in update mode gets neither).

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "core/operations/BoxSession.h"
#include "support/ControllerHarness.h"
#include "support/TestData.h"

namespace o8r::test {

struct SessionRig {
    static constexpr char kPart[] = "R5F212A8SN";
    static constexpr std::uint32_t kImageBase = 0xC000;

    ControllerHarness h;
    BoxSession session{h.bridge, h.clock};
    CancelToken cancel;
    std::string image;

    explicit SessionRig(SimOptions options = {}) : h(options) {
        if (!options.updateMode) {
            EXPECT_TRUE(h.StartWithPart(kPart));
            session.SetTarget(h.WindowTarget());
            // The session opens the box afresh; the window's handle is let go.
            EXPECT_EQ(session.Detect().outcome, Outcome::NormalMode);
            h.ClearTrace();
            image = h.WriteImage("image.mot", kImageBase, PatternBytes(2 * 256));
        }
    }
    OperationHooks Hooks() { return {nullptr, &cancel, nullptr}; }
};

}  // namespace o8r::test
