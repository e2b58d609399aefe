// What a person at the window runs into: the part that goes with the list on
// show, the busy look of a connect, and closing the window while the box works.

#include <gtest/gtest.h>

#include <algorithm>

#include "support/ControllerHarness.h"

namespace o8r::test {
namespace {

constexpr char kPart[] = "R5F212A8SN";

std::ptrdiff_t At(const std::vector<std::string>& log, const std::string& line) {
    return std::find(log.begin(), log.end(), line) - log.begin();
}

TEST(WindowUsabilityTest, SwitchingSeriesLeavesNoPartSelected) {
    ControllerHarness h;
    ASSERT_TRUE(h.StartWithPart(kPart));
    h.controller.OnTreeSelectionChanged(h.view.tree.front().series.back());
    EXPECT_EQ(g_selectedMcu, "");
    EXPECT_EQ(h.view.StatusText(), "Click MCU list to select. Double click to set ID code.");
    h.controller.OnBlankCheck();
    EXPECT_EQ(h.prompts.messages, std::vector<Message>{MainMsg("You haven't selected MCU yet.",
                                                               "WARNING", MsgIcon::Exclamation)});
    EXPECT_TRUE(h.TraceLines().empty());
}

TEST(WindowUsabilityTest, AConnectShowsItselfAndTakesNoClicks) {
    ControllerHarness h;
    ASSERT_TRUE(h.StartWithPart(kPart));
    h.ChoosePatternImage(0x4000, 2);
    h.controller.OnProgram();
    const auto& log = h.view.log;
    const auto busy = At(log, "busy 1");
    const auto text = At(log, "text 1024 Connecting to the programmer...");
    const auto disabled = At(log, "enable 1001 0");
    const auto done = At(log, "busy 0");
    EXPECT_LT(busy, text);
    EXPECT_LT(busy, disabled);
    EXPECT_LT(text, done);
    ASSERT_LT(done, static_cast<std::ptrdiff_t>(log.size()));
    EXPECT_EQ(h.RunUntilIdle(), TimerSchedule::RunEnd::Done);
    EXPECT_FALSE(h.view.busy);
    h.ExpectIdleWindow("You have selected R5F212A8.");
}

TEST(WindowUsabilityTest, ClosingWhileAnOperationRunsAsksFirst) {
    const Message question = MainMsg("An operation is running. Stop it and close?", "WARNING",
                                     MsgIcon::Question, MsgButtons::YesNo);
    using Answer = ProgrammerController::CloseAnswer;
    struct Case {
        const char* name;
        bool erase;
        MsgAnswer reply;
        Answer expected;
        int closesAfterEnd;
    };
    const Case cases[] = {
        {"program, No: it goes on", false, MsgAnswer::No, Answer::Stay, 0},
        {"program, Yes: cancelled", false, MsgAnswer::Yes, Answer::CloseNow, 0},
        {"erase, Yes: waited for", true, MsgAnswer::Yes, Answer::CloseWhenEnded, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ControllerHarness h;
        ASSERT_TRUE(h.StartWithPart(kPart));
        // Nothing running: the window closes without a question.
        EXPECT_EQ(h.controller.OnCloseRequested(), Answer::CloseNow);
        if (c.erase) {
            h.ScriptEraseAll();
            h.controller.OnErase();
        } else {
            h.ChoosePatternImage(0x4000, 8);
            h.controller.OnProgram();
        }
        h.RunTicks(3);
        ASSERT_TRUE(h.controller.Busy());
        h.prompts.answers.push_back(c.reply);
        EXPECT_EQ(h.controller.OnCloseRequested(), c.expected);
        ASSERT_FALSE(h.prompts.messages.empty());
        EXPECT_EQ(h.prompts.messages.front(), question);
        EXPECT_EQ(h.controller.Busy(), c.expected != Answer::CloseNow);
        h.RunUntilIdle();
        EXPECT_EQ(h.view.closeRequests, c.closesAfterEnd);
        if (c.reply == MsgAnswer::No) {
            EXPECT_EQ(h.prompts.messages.back().text, "Program successfully completed.");
        }
    }
}

}  // namespace
}  // namespace o8r::test
