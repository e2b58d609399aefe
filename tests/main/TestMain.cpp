// The main of every unit-test program: each test starts from the process-wide
// state of a fresh process, whatever the test before it left.

#include <gtest/gtest.h>

#include "core/window/SharedState.h"

namespace {

class FreshSharedState : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { o8r::ResetSharedState(); }
};

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshSharedState);
    return RUN_ALL_TESTS();
}
