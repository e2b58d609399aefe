// The read-data window against the simulated box: the page requests, the hex
// dump rows and their blank cells, progress, completion, cancelling, the
// unsaved-data question and the page time-out.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/model/Ids.h"
#include "core/window/SharedState.h"
#include "support/RecordingReadView.h"

namespace o8r::test {
namespace {

const Message kCompleted = ReadMsg("Read completed.", "INFO", MsgIcon::None);
const Message kCancelQuestion =
    ReadMsg("Are you sure to cancel reading?", "WARNING", MsgIcon::Question, MsgButtons::YesNo);
const Message kUnsavedQuestion =
    ReadMsg("The data has not been saved. \nAre you sure to quit anyway without save?", "INFO",
            MsgIcon::Question, MsgButtons::YesNo);
const Message kTimeOut = ReadMsg("Time out errot!", "ERROR", MsgIcon::Error);

// A byte for every address that differs from its neighbours and from 0xFF.
std::uint8_t Pattern(std::uint32_t a) {
    return static_cast<std::uint8_t>((a * 7 + (a >> 8)) % 255);
}

std::string HexByte(std::uint8_t b) {
    static const char digits[] = "0123456789ABCDEF";
    return {digits[b >> 4], digits[b & 0xF]};
}

// The dump of [start, end]: one row per 16-byte line, blank outside the range.
std::vector<ReadRow> ExpectedRows(std::uint32_t start, std::uint32_t end) {
    std::vector<ReadRow> rows;
    for (std::uint32_t row = start & ~0xFu; row <= end; row += 16) {
        ReadRow r;
        char label[8];
        std::snprintf(label, sizeof label, " %06X", static_cast<unsigned>(row));
        r[0] = label;
        for (std::uint32_t k = 0; k < 16; ++k) {
            const std::uint32_t a = row + k;
            if (a >= start && a <= end)
                r[k + 1] = HexByte(Pattern(a));
        }
        rows.push_back(r);
    }
    return rows;
}

std::vector<std::uint16_t> PagesOf(std::uint32_t start, std::uint32_t end) {
    std::vector<std::uint16_t> pages;
    for (std::uint32_t p = start >> 8; p <= end >> 8; ++p)
        pages.push_back(static_cast<std::uint16_t>(p));
    return pages;
}

void ExpectCompletedWindow(ReadWindowRig& rig) {
    EXPECT_TRUE(rig.Session().ReadFinished());
    EXPECT_FALSE(rig.window.Closed());
    EXPECT_FALSE(rig.window.TimerRunning());
    EXPECT_EQ(rig.window.icon, IDI_SAVE);
    EXPECT_EQ(rig.window.statusText, "Read completed.");
    EXPECT_TRUE(rig.window.statusShown);
    EXPECT_FALSE(rig.window.progressShown);
}

struct RangeCase {
    const char* name;
    std::uint32_t start;
    std::uint32_t end;
    std::vector<int> progress;  // after the 0 the window opens with
};

TEST(ReadSessionTest, EveryRangeGivesItsRequestsRowsAndProgress) {
    const RangeCase cases[] = {
        {"three bytes of one row", 0xC003, 0xC005, {100}},
        {"across a page boundary", 0xC0F8, 0xC107, {50, 100}},
        {"four whole pages", 0xC000, 0xC3FF, {25, 50, 75, 100}},
        {"whole rows, no blank cell", 0xC010, 0xC02F, {100}},
        {"one byte of each of two pages", 0xC0FF, 0xC100, {50, 100}},
        {"first, middle and last page", 0xC0F8, 0xC207, {33, 66, 100}},
        {"a single byte", 0x4000, 0x4000, {100}},
        {"the data flash", 0x2400, 0x27FF, {25, 50, 75, 100}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ReadWindowRig rig;
        rig.Fill(c.start, c.end, Pattern);
        rig.SetRange(c.start, c.end);
        ASSERT_TRUE(rig.ReadAll());

        EXPECT_EQ(rig.RequestedPages(), PagesOf(c.start, c.end));
        EXPECT_EQ(rig.Session().Rows(), ExpectedRows(c.start, c.end));
        std::vector<int> progress{0};
        progress.insert(progress.end(), c.progress.begin(), c.progress.end());
        EXPECT_EQ(rig.window.progressHistory, progress);
        EXPECT_EQ(rig.window.rowsChanged.size(), c.progress.size());
        EXPECT_EQ(rig.window.rowsChanged.front(), 0u);
        EXPECT_EQ(rig.h.prompts.messages, std::vector<Message>{kCompleted});
        ExpectCompletedWindow(rig);
    }
}

TEST(ReadSessionTest, CompletionPulsesTheResetLineOnceAndLeavesTheBoxRunning) {
    ReadWindowRig rig;
    rig.SetRange(0xC000, 0xC0FF);
    ASSERT_TRUE(rig.ReadAll());

    auto lines = rig.h.TraceLines();
    const auto lastRead = std::find_if(lines.rbegin(), lines.rend(), [](const std::string& l) {
        return l.rfind("read 256 ", 0) == 0;
    });
    ASSERT_NE(lastRead, lines.rend());
    std::vector<std::string> flows;
    for (auto it = lastRead.base(); it != lines.end(); ++it) {
        if (it->rfind("flow ", 0) == 0 || it->rfind("write ", 0) == 0)
            flows.push_back(*it);
    }
    EXPECT_EQ(flows, (std::vector<std::string>{"flow 0 0 1 0 0 0", "flow 0 0 0 0 0 0"}));
    EXPECT_FALSE(rig.h.box.InReset());

    // Late or foreign ticks change nothing once the read is over.
    rig.h.ClearTrace();
    rig.Session().OnTimer(TIMER_READ);
    rig.Session().OnTimer(TIMER_OPERATION);
    EXPECT_TRUE(rig.h.TraceLines().empty());
}

TEST(ReadSessionTest, DecliningToCancelAtAnyTickLosesAndRepeatsNothing) {
    ReadWindowRig rig;
    rig.Fill(0xC000, 0xC3FF, Pattern);
    rig.SetRange(0xC000, 0xC3FF);
    rig.Open();
    int questions = 0;
    while (!rig.Session().ReadFinished() && questions < 1000) {
        rig.window.RunTicks(rig.Session(), 1);
        if (rig.Session().ReadFinished())
            break;
        rig.h.prompts.answers.push_back(MsgAnswer::No);
        rig.Session().OnButton();
        ++questions;
        EXPECT_TRUE(rig.window.TimerRunning());
    }
    EXPECT_GT(questions, 8);
    EXPECT_EQ(rig.RequestedPages(), PagesOf(0xC000, 0xC3FF));
    EXPECT_EQ(rig.Session().Rows(), ExpectedRows(0xC000, 0xC3FF));
    EXPECT_EQ(rig.h.prompts.messages.back(), kCompleted);
    EXPECT_EQ(rig.h.prompts.messages.front(), kCancelQuestion);
}

TEST(ReadSessionTest, TimeSpentOnTheQuestionDoesNotCountAgainstThePage) {
    // The box needs 1.5 s for a page; 1 s of it passes while the question is up.
    SimOptions slow;
    slow.timings.pageReadNs = 1'500'000'000;
    ReadWindowRig rig(slow);
    rig.SetRange(0xC000, 0xC0FF);
    rig.Open();
    rig.window.RunTicks(rig.Session(), 100);
    rig.h.prompts.answers.push_back(MsgAnswer::No);
    rig.h.prompts.onMessage = [&](const Message&) { rig.h.clock.Advance(1'000'000'000); };
    rig.Session().OnButton();
    rig.h.prompts.onMessage = nullptr;
    ASSERT_TRUE(rig.window.RunTimer(rig.Session()));

    EXPECT_EQ(rig.h.prompts.messages, (std::vector<Message>{kCancelQuestion, kCompleted}));
    EXPECT_EQ(rig.Session().Rows().size(), 16u);
}

TEST(ReadSessionTest, ConfirmedCancelKeepsTheRowsAndSendsNothingMore) {
    ReadWindowRig rig;
    rig.Fill(0xC000, 0xC3FF, Pattern);
    rig.SetRange(0xC000, 0xC3FF);
    rig.Open();
    rig.window.RunTicks(rig.Session(), 1);
    while (rig.Session().Rows().size() < 32)
        rig.window.RunTicks(rig.Session(), 1);
    rig.window.RunTicks(rig.Session(), 1);  // the third page is requested
    rig.h.prompts.answers.push_back(MsgAnswer::Yes);
    rig.Session().OnButton();

    EXPECT_EQ(rig.h.prompts.messages, std::vector<Message>{kCancelQuestion});
    EXPECT_TRUE(rig.Session().ReadFinished());
    EXPECT_FALSE(rig.window.TimerRunning());
    EXPECT_EQ(rig.window.statusText, "Read is canceled.");
    EXPECT_TRUE(rig.window.statusShown);
    EXPECT_FALSE(rig.window.progressShown);
    EXPECT_EQ(rig.window.icon, IDI_SAVE);
    auto expected = ExpectedRows(0xC000, 0xC1FF);
    EXPECT_EQ(rig.Session().Rows(), expected);

    // The abandoned page never lands in the dump, whatever ticks come late.
    rig.h.clock.Advance(100'000'000);
    rig.Session().OnTimer(TIMER_READ);
    EXPECT_EQ(rig.Session().Rows(), expected);
    EXPECT_EQ(rig.RequestedPages(), PagesOf(0xC000, 0xC2FF));
}

// The cancel command (Escape or the close box): questions asked and answers given.
struct CloseCase {
    const char* name;
    bool readToEnd;  // else the command comes while reading
    std::vector<MsgAnswer> answers;
    std::vector<Message> questions;
    std::optional<DialogResult> closedWith;  // nullopt: the window stays open
    bool stillReading;
};

TEST(ReadSessionTest, TheCancelCommandAsksWhatTheStateRequires) {
    using A = MsgAnswer;
    const CloseCase cases[] = {
        {"completed, quit anyway", true, {A::Yes}, {kUnsavedQuestion}, DialogResult::Cancel, false},
        {"completed, stay", true, {A::No}, {kUnsavedQuestion}, std::nullopt, false},
        {"reading, go on", false, {A::No}, {kCancelQuestion}, std::nullopt, true},
        {"reading, stop and quit",
         false,
         {A::Yes, A::Yes},
         {kCancelQuestion, kUnsavedQuestion},
         DialogResult::Cancel,
         false},
        {"reading, stop but stay",
         false,
         {A::Yes, A::No},
         {kCancelQuestion, kUnsavedQuestion},
         std::nullopt,
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ReadWindowRig rig;
        rig.SetRange(0xC000, 0xC1FF);
        rig.Open();
        if (c.readToEnd) {
            ASSERT_TRUE(rig.window.RunTimer(rig.Session()));
        } else {
            while (rig.Session().Rows().empty())
                rig.window.RunTicks(rig.Session(), 1);
            rig.window.RunTicks(rig.Session(), 1);  // the second page is requested
        }
        rig.h.prompts.Clear();
        rig.h.prompts.answers.assign(c.answers.begin(), c.answers.end());
        rig.Session().OnCancelCommand();

        EXPECT_EQ(rig.h.prompts.messages, c.questions);
        EXPECT_EQ(rig.window.closedWith, c.closedWith);
        EXPECT_EQ(rig.window.TimerRunning(), c.stillReading);
        EXPECT_EQ(rig.Session().ReadFinished(), !c.stillReading);
        if (c.stillReading) {
            ASSERT_TRUE(rig.window.RunTimer(rig.Session()));
            EXPECT_EQ(rig.Session().Rows().size(), 32u);
        } else if (!c.closedWith) {
            EXPECT_FALSE(rig.window.TimerRunning());
            EXPECT_FALSE(rig.Session().Rows().empty());
        }
    }
}

// Pages that never come, or come short, end the read the same way: one box,
// and the window closes with OK.
struct LostPageCase {
    const char* name;
    std::function<void(ReadWindowRig&)> arrange;
};

TEST(ReadSessionTest, APageThatDoesNotArriveWholeEndsTheReadWithTheTimeOut) {
    auto secondRequest = [] {
        auto seen = std::make_shared<int>(0);
        return [seen](const std::string& call) { return call == "write 52" && ++*seen == 2; };
    };
    const LostPageCase cases[] = {
        {"CTS stays high", [&](ReadWindowRig& r) { r.h.faults.holdCtsAfter = secondRequest(); }},
        {"half a page",
         [&](ReadWindowRig& r) {
             r.h.faults.replyAfter = secondRequest();
             r.h.faults.reply.assign(128, 0x00);
         }},
        {"nothing at all",
         [&](ReadWindowRig& r) {
             r.h.faults.replyAfter = secondRequest();
             r.h.faults.reply.clear();
         }},
        {"the read fails",
         [](ReadWindowRig& r) {
             auto reads = std::make_shared<int>(0);
             r.h.faults.failWhen = [reads](const std::string& call) {
                 return call == "read 256" && ++*reads == 2;
             };
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ReadWindowRig rig;
        rig.Fill(0xC000, 0xC2FF, Pattern);
        rig.SetRange(0xC000, 0xC2FF);
        c.arrange(rig);
        ASSERT_TRUE(rig.ReadAll());

        EXPECT_EQ(rig.h.prompts.messages, std::vector<Message>{kTimeOut});
        EXPECT_EQ(rig.window.closedWith, DialogResult::Ok);
        EXPECT_EQ(rig.Session().Rows(), ExpectedRows(0xC000, 0xC0FF));
        EXPECT_EQ(rig.RequestedPages(), PagesOf(0xC000, 0xC1FF));
        // A closed window ignores anything that still reaches it.
        rig.Session().OnButton();
        rig.Session().OnCancelCommand();
        EXPECT_EQ(rig.h.prompts.messages.size(), 1u);
    }
}

}  // namespace
}  // namespace o8r::test
