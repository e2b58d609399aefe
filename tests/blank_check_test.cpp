// Blank Check, end to end against the simulated box: which pages are read,
// which bytes of them count, the progress by page, and every ending.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/model/Ids.h"
#include "core/operations/AddressRangeEntry.h"
#include "core/window/SharedState.h"
#include "support/ControllerHarness.h"

namespace o8r::test {
namespace {

constexpr char kPart[] = "R5F212A8SN";  // region 2 = [0x4000, 0x14000)
constexpr char kSelected[] = "You have selected R5F212A8.";
const Message kEmpty = MainMsg("Check area is empty.", "INFO", MsgIcon::None);
const Message kCancelQuestion =
    MainMsg("Are you sure to cancel checking?", "WARNING", MsgIcon::Question, MsgButtons::YesNo);

// The page numbers requested with 'R', as the trace shows their two bytes.
std::vector<std::string> Requests(const std::vector<std::string>& data) {
    std::vector<std::string> pages;
    for (std::size_t i = 0; i + 1 < data.size(); ++i) {
        if (data[i] == "write 1 52 -> 1")
            pages.push_back(data[i + 1]);
    }
    return pages;
}

struct Check {
    ControllerHarness h;
    explicit Check(const std::string& start, const std::string& end, SimOptions options = {})
        : h(options) {
        EXPECT_TRUE(h.StartWithPart(kPart));
        h.ScriptAddressRange(start, end);
    }
};

TEST(BlankCheckTest, OnlyTheBytesOfTheRangeCount) {
    struct Case {
        const char* start;
        const char* end;
        std::vector<std::uint32_t> filledOutside;
        std::vector<std::string> requests;
        std::vector<int> progress;
    };
    const Case cases[] = {
        {"0F010", "0F01F", {0xF00F, 0xF020}, {"write 2 F000 -> 2"}, {0, 100, 0}},
        {"0F080",
         "0F17F",
         {0xF07F, 0xF180},
         {"write 2 F000 -> 2", "write 2 F100 -> 2"},
         {0, 50, 100, 0}},
        {"0F000",
         "0F3FF",
         {0xEFFF, 0xF400},
         {"write 2 F000 -> 2", "write 2 F100 -> 2", "write 2 F200 -> 2", "write 2 F300 -> 2"},
         {0, 25, 50, 75, 100, 0}},
        {"10000", "100FF", {0xFFFF, 0x10100}, {"write 2 0001 -> 2"}, {0, 100, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.start) + "-" + c.end);
        Check check(c.start, c.end);
        auto& h = check.h;
        for (std::uint32_t a : c.filledOutside)
            h.box.Target().Poke(a, 0x00);
        std::string promptSeen;
        h.prompts.addressDialog = [&, start = std::string(c.start),
                                   end = std::string(c.end)](AddressRangeEntry& dialog) {
            promptSeen = dialog.Prompt();
            std::string s = start, e = end;
            return dialog.PressOk(s, e) ? DialogResult::Ok : DialogResult::Cancel;
        };
        h.controller.OnBlankCheck();
        EXPECT_EQ(promptSeen, "Please set check range");
        h.ExpectRunningWindow(IDC_BLANK_CHECK, IDC_BLANK_CHECK_LABEL, {IDC_PROGRAM});
        h.RunUntilIdle();
        EXPECT_EQ(h.prompts.messages, std::vector<Message>{kEmpty});
        EXPECT_EQ(Requests(h.DataLines()), c.requests);
        EXPECT_EQ(h.view.progressHistory, c.progress);
        h.ExpectIdleWindow(kSelected);
    }
}

TEST(BlankCheckTest, TheFirstFilledByteEndsTheCheckBeforeTheReset) {
    Check check("0F000", "0F3FF");
    auto& h = check.h;
    h.box.Target().Poke(0xF1A3, 0x5A);
    h.box.Target().Poke(0xF2A0, 0x00);  // later, never looked at
    bool runningDuringMessage = false;
    std::string traceEndDuringMessage;
    h.prompts.onMessage = [&](const Message&) {
        runningDuringMessage = ControllerTestAccess::m_operationRunning(h.controller) &&
                               h.view.Text(IDC_BLANK_CHECK_LABEL) == "Cancel" &&
                               h.view.Shown(IDC_PROGRESS);
        traceEndDuringMessage = h.TraceLines().back();
    };
    h.controller.OnBlankCheck();
    h.RunUntilIdle();
    EXPECT_EQ(h.prompts.messages,
              std::vector<Message>{
                  MainMsg("Check area is not empty.\nThe first filled address is 0x0F1A3.", "INFO",
                          MsgIcon::Exclamation)});
    EXPECT_TRUE(runningDuringMessage) << "the window still shows the running check";
    EXPECT_EQ(traceEndDuringMessage.rfind("read 256 -> ", 0), 0u) << "no reset before the message";
    EXPECT_EQ(Requests(h.DataLines()),
              (std::vector<std::string>{"write 2 F000 -> 2", "write 2 F100 -> 2"}));
    EXPECT_EQ(h.view.progressHistory, (std::vector<int>{0, 25, 0}));
    EXPECT_EQ(h.TraceLines().back(), "flush 1 1");  // reset after it
    h.ExpectIdleWindow(kSelected);
}

TEST(BlankCheckTest, TheFilledAddressIsFiveDigitsWide) {
    Check check("10000", "101FF");
    auto& h = check.h;
    h.box.Target().Poke(0x10105, 0x7F);
    h.controller.OnBlankCheck();
    h.RunUntilIdle();
    ASSERT_EQ(h.prompts.messages.size(), 1u);
    EXPECT_EQ(h.prompts.messages[0].text,
              "Check area is not empty.\nThe first filled address is 0x10105.");
}

TEST(BlankCheckTest, CancelAnsweredNoReadsEveryPageOnce) {
    Check check("0F000", "0F9FF");
    auto& h = check.h;
    h.controller.OnBlankCheck();
    h.RunUntil([&] { return g_currentPage == 0xF3 && h.controller.WaitingReply(); });
    h.prompts.answers.push_back(MsgAnswer::No);
    h.controller.OnBlankCheck();
    EXPECT_TRUE(h.OperationTimerRunning());
    h.RunUntilIdle();
    EXPECT_EQ(h.prompts.messages, (std::vector<Message>{kCancelQuestion, kEmpty}));
    std::vector<std::string> expected;
    for (int page = 0xF0; page <= 0xF9; ++page) {
        char line[32];
        std::snprintf(line, sizeof line, "write 2 %02X00 -> 2", page);
        expected.push_back(line);
    }
    EXPECT_EQ(Requests(h.DataLines()), expected);
}

TEST(BlankCheckTest, CancelAnsweredYesReportsTheShareChecked) {
    struct Case {
        int pagesChecked;
        const char* text;
    };
    const Case cases[] = {
        {3, "Checking is canceled.\n30% is checked."},
        {0, "Checking is canceled.\n 0% is checked."},
    };
    for (const auto& c : cases) {
        Check check("0F000", "0F9FF");
        auto& h = check.h;
        ControllerTestAccess::m_progressPercent(h.controller) =
            64;  // left over from an earlier operation
        h.controller.OnBlankCheck();
        h.RunUntil([&] { return g_currentPage == 0xF0 + c.pagesChecked; });
        const auto requests = Requests(h.DataLines()).size();
        h.prompts.answers.push_back(MsgAnswer::Yes);
        h.controller.OnBlankCheck();
        EXPECT_EQ(h.prompts.messages,
                  (std::vector<Message>{kCancelQuestion, MainMsg(c.text, "INFO", MsgIcon::None)}));
        h.ExpectIdleWindow(kSelected);
        h.RunTicks(20);
        EXPECT_EQ(Requests(h.DataLines()).size(), requests);
    }
}

TEST(BlankCheckTest, APageThatArrivesShortIsNeverTakenForErased) {
    SimOptions options;
    options.faults.shortRead = true;
    Check check("0F000", "0F0FF", options);
    auto& h = check.h;
    h.controller.OnBlankCheck();
    h.RunUntilIdle();
    EXPECT_EQ(h.prompts.messages,
              std::vector<Message>{MainMsg("Time out error!", "ERROR", MsgIcon::Error)});
    h.ExpectIdleWindow("Click MCU list to select. Double click to set power and ID.");
}

TEST(BlankCheckTest, ABoxBusyPastFiftyTicksTimesOut) {
    Check check("0F000", "0F0FF");
    auto& h = check.h;
    h.faults.holdCtsAfter = CallIs("write 52");
    std::uint64_t failedAt = 0;
    h.prompts.onMessage = [&](const Message&) { failedAt = h.clock.Now(); };
    h.controller.OnBlankCheck();
    const std::uint64_t startedAt = h.clock.Now();
    h.RunUntilIdle();
    EXPECT_EQ(h.prompts.messages,
              std::vector<Message>{MainMsg("Time out error!", "ERROR", MsgIcon::Error)});
    EXPECT_GE(failedAt - startedAt, static_cast<std::uint64_t>(TickAllowance(50).count()));
    h.ExpectIdleWindow("Click MCU list to select. Double click to set power and ID.");
}

TEST(BlankCheckTest, RefusalsAndACancelledRangeReadNothing) {
    {
        SCOPED_TRACE("no MCU selected");
        ExpectRefusedWithoutPart(&ProgrammerController::OnBlankCheck,
                                 "You haven't selected MCU yet.");
    }
    {
        SCOPED_TRACE("connect fails: no range asked");
        Check check("0F000", "0F0FF");
        auto& h = check.h;
        h.box.SetTargetPresent(false);
        bool asked = false;
        h.prompts.addressDialog = [&](AddressRangeEntry&) {
            asked = true;
            return DialogResult::Ok;
        };
        h.controller.OnBlankCheck();
        EXPECT_FALSE(asked);
        EXPECT_EQ(h.prompts.messages, std::vector<Message>{MainMsg("Can not connect with target!",
                                                                   "ERROR", MsgIcon::Error)});
    }
    {
        SCOPED_TRACE("range dialog closed");
        ControllerHarness h;
        ASSERT_TRUE(h.StartWithPart(kPart));
        h.controller.OnBlankCheck();
        EXPECT_TRUE(Requests(h.DataLines()).empty());
        EXPECT_TRUE(h.prompts.messages.empty());
        h.ExpectIdleWindow(kSelected);
    }
}

}  // namespace
}  // namespace o8r::test
