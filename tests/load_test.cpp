// Load, end to end against the simulated box: the stored-file query and its
// question, the 'D' header, the records without a command byte, the progress,
// and every ending.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/model/Ids.h"
#include "core/window/SharedState.h"
#include "support/ControllerHarness.h"

namespace o8r::test {
namespace {

constexpr char kPart[] = "R5F212A8SN";
constexpr char kSelected[] = "You have selected R5F212A8.";
constexpr std::uint32_t kBase = 0x4000;
const std::string kEmptyStoreAnswer = "read 16 -> " + std::string(32, 'F');
const Message kCompleted = MainMsg("File load successfully completed.", "INFO", MsgIcon::None);
const Message kCancelQuestion =
    MainMsg("Are you sure to cancel loading?", "WARNING", MsgIcon::Question, MsgButtons::YesNo);

void StoreFile(ControllerHarness& h, const std::string& name) {
    SimStore& store = h.box.Store();
    store.filled = true;
    store.name.fill(' ');
    std::copy(name.begin(), name.end(), store.name.begin());
}

struct LoadRun {
    ControllerHarness h;
    explicit LoadRun(std::size_t pages, SimOptions options = {}) : h(options) {
        EXPECT_TRUE(h.StartWithPart(kPart));
        g_idCode = {1, 2, 3, 4, 5, 6, 7};
        h.ChoosePatternImage(kBase, pages);
    }
};

TEST(LoadTest, IntoAnEmptyStoreNoQuestionIsAsked) {
    LoadRun run(4);
    auto& h = run.h;
    h.controller.OnLoadButton();

    h.ExpectRunningWindow(IDC_LOAD, IDC_LOAD_LABEL,
                          {IDC_PROGRAM, IDC_ERASE, IDC_READ, IDC_BLANK_CHECK, IDC_PROGRAM_LABEL});

    h.RunUntilIdle();
    EXPECT_EQ(h.prompts.messages, std::vector<Message>{kCompleted});
    std::vector<std::string> expected = {
        "write 1 3F -> 1",
        kEmptyStoreAnswer,
        "write 3 440400 -> 3",
        "write 7 01020304050607 -> 7",
        "write 16 696D6167652020202020202020202020 -> 16",  // "image" and 11 spaces
        "write 1 00 -> 1",
        "read 1 -> 4F",
    };
    for (std::size_t i = 0; i < 4; ++i) {
        expected.push_back(RecordWriteLine(i));
        expected.push_back("read 1 -> 4F");
    }
    EXPECT_EQ(h.DataLines(), expected);
    EXPECT_EQ(h.view.progressHistory, (std::vector<int>{0, 0, 25, 50, 75, 0}));

    const SimStore& store = h.box.Store();
    EXPECT_TRUE(store.filled);
    EXPECT_EQ(store.id, g_idCode);
    ASSERT_EQ(store.records.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(store.records[i], g_pageRecords[i]) << i;
    h.ExpectIdleWindow(kSelected);
}

TEST(LoadTest, OverAStoredFileTheUserIsAskedFirst) {
    const Message question = MainMsg(
        "The file \"BLINK\" is in programmer.\nReload will erase this file!\nAre you sure "
        "to continue?",
        "INFO", MsgIcon::Question, MsgButtons::YesNo);
    {
        SCOPED_TRACE("Yes");
        LoadRun run(2);
        auto& h = run.h;
        StoreFile(h, "BLINK");
        h.prompts.answers.push_back(MsgAnswer::Yes);
        h.controller.OnLoadButton();
        h.RunUntilIdle();
        EXPECT_EQ(h.prompts.messages, (std::vector<Message>{question, kCompleted}));
        EXPECT_EQ(h.box.Store().records.size(), 2u);
    }
    {
        SCOPED_TRACE("No");
        LoadRun run(2);
        auto& h = run.h;
        StoreFile(h, "BLINK");
        h.prompts.answers.push_back(MsgAnswer::No);
        h.controller.OnLoadButton();
        EXPECT_EQ(h.prompts.messages, std::vector<Message>{question});
        EXPECT_TRUE(h.prompts.openSpecs.empty()) << "no file dialog";
        EXPECT_EQ(CountStarting(h.DataLines(), "write 3 44"), 0u);
        EXPECT_EQ(h.TraceLines().back(), "flush 1 1");  // reset
        EXPECT_FALSE(h.OperationTimerRunning());
        h.ExpectIdleWindow(kSelected);
    }
}

TEST(LoadTest, OnlyAWholeAnswerSaysWhetherTheStoreIsEmpty) {
    // A byte of 0x80 or more is an empty store; an answer that came short says
    // nothing about the store and ends the load before anything is stored.
    struct Case {
        const char* name;
        std::vector<std::uint8_t> answer;
        Message shown;
    };
    const Message timeOut = MainMsg("Time out error!", "ERROR", MsgIcon::Error);
    const Case cases[] = {
        {"a byte of 0x80 or more",
         {'B', 'L', 'I', 'N', 'K', 0x80, ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '},
         kCompleted},
        {"fifteen bytes",
         {'B', 'L', 'I', 'N', 'K', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '},
         timeOut},
        {"three bytes only", {'B', 'L', 'I'}, timeOut},
        {"nothing at all", {}, timeOut},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoadRun run(1);
        auto& h = run.h;
        h.faults.replyAfter = CallIs("write 3F");
        h.faults.reply = c.answer;
        h.controller.OnLoadButton();
        h.RunUntilIdle();
        EXPECT_EQ(h.prompts.messages, std::vector<Message>{c.shown});
        if (c.shown != kCompleted) {
            EXPECT_EQ(CountStarting(h.DataLines(), "write 3 44"), 0u) << "nothing stored";
            EXPECT_TRUE(h.prompts.openSpecs.empty()) << "no file dialog";
            h.ExpectIdleWindow(kSelected);
        }
    }
}

TEST(LoadTest, AFileWithoutRecordsSendsTheHeaderWithCountZeroAndEnds) {
    ControllerHarness h;
    ASSERT_TRUE(h.StartWithPart(kPart));
    h.ChooseFile(h.WriteImage("low.mot", 0x80, PatternBytes(16)));
    h.controller.OnLoadButton();
    h.RunUntilIdle();
    EXPECT_EQ(h.prompts.messages, std::vector<Message>{kCompleted});
    EXPECT_EQ(CountStarting(h.DataLines(), "write 3 440000 -> 3"), 1u);
    EXPECT_EQ(CountStarting(h.DataLines(), "write 260 "), 0u);
}

TEST(LoadTest, CancelAnsweredNoAwaitsTheOutstandingRecordAndGoesOn) {
    LoadRun run(4);
    auto& h = run.h;
    h.controller.OnLoadButton();
    h.RunUntil([&] { return h.controller.PageIndex() == 3 && h.controller.WaitingReply(); });
    h.prompts.answers.push_back(MsgAnswer::No);
    h.controller.OnLoadButton();
    EXPECT_TRUE(h.controller.WaitingReply());
    h.RunUntilIdle();
    EXPECT_EQ(h.prompts.messages, (std::vector<Message>{kCancelQuestion, kCompleted}));
    EXPECT_EQ(RecordWrites(h.DataLines()),
              (std::vector<std::string>{RecordWriteLine(0), RecordWriteLine(1), RecordWriteLine(2),
                                        RecordWriteLine(3)}));
    EXPECT_EQ(h.box.Store().records.size(), 4u);
}

TEST(LoadTest, CancelAnsweredYesQuotesTheLastPercentage) {
    struct Case {
        std::size_t pages;
        int sent;
        const char* text;
    };
    const Case cases[] = {
        {4, 3, "Loading is canceled.\n50% is finished."},
        {20, 2, "Loading is canceled.\n 5% is finished."},
    };
    for (const auto& c : cases) {
        LoadRun run(c.pages);
        auto& h = run.h;
        h.CancelAtPage(&ProgrammerController::OnLoadButton, c.sent, MsgAnswer::Yes);
        EXPECT_EQ(h.prompts.messages,
                  (std::vector<Message>{kCancelQuestion, MainMsg(c.text, "INFO", MsgIcon::None)}));
        h.ExpectIdleWindow(kSelected);
        const auto sent = CountStarting(h.DataLines(), "write 260 ");
        h.RunTicks(20);
        EXPECT_EQ(CountStarting(h.DataLines(), "write 260 "), sent);
    }
}

TEST(LoadTest, AWrongAnswerIsAVerifyError) {
    SimOptions options;
    options.faults.wrongAnswerAtPage = 2;
    LoadRun run(4, options);
    auto& h = run.h;
    h.controller.OnLoadButton();
    h.RunUntilIdle();
    EXPECT_EQ(h.prompts.messages,
              std::vector<Message>{MainMsg("Verify error!", "ERROR", MsgIcon::Error)});
    EXPECT_EQ(CountStarting(h.DataLines(), "write 260 "), 2u);
    h.ExpectIdleWindow("Click MCU list to select. Double click to set power and ID.");
}

TEST(LoadTest, ABoxBusyPastFiftyTicksTimesOut) {
    LoadRun run(2);
    auto& h = run.h;
    h.faults.holdCtsAfter = CallStartsWith("write 4000");  // the first record
    h.controller.OnLoadButton();
    h.RunUntilIdle();
    EXPECT_EQ(h.prompts.messages,
              std::vector<Message>{MainMsg("Time out error!", "ERROR", MsgIcon::Error)});
    EXPECT_EQ(CountStarting(h.DataLines(), "write 260 "), 1u);
    h.ExpectIdleWindow("Click MCU list to select. Double click to set power and ID.");
}

struct StartFailure {
    const char* name;
    std::function<void(ControllerHarness&)> setUp;
    const char* text;
    MsgIcon icon;
    std::size_t resetsAtMessage;
    std::size_t resetsAtEnd;
};

TEST(LoadTest, EachFailureBeforeTheTransferShowsItsMessage) {
    const StartFailure rows[] = {
        {"line set-up", [](ControllerHarness& h) { h.faults.failWhen = CallIs("baud 500000"); },
         "Can not open target!", MsgIcon::Error, 0, 0},
        {"box not ready", [](ControllerHarness& h) { h.faults.holdCtsAfter = CallIs("line 0800"); },
         "Time out error!", MsgIcon::Error, 1, 1},
        {"'?' not written",
         [](ControllerHarness& h) { h.faults.shortWriteWhen = CallIs("write 3F"); },
         "Connection is broken!", MsgIcon::None, 0, 0},
        {"no answer to '?'",
         [](ControllerHarness& h) { h.faults.holdCtsAfter = CallIs("write 3F"); },
         "Time out error!", MsgIcon::Error, 1, 1},
        {"header refused",
         [](ControllerHarness& h) {
             h.faults.replyAfter = CallIs("write 00");
             h.faults.reply = {'I'};
         },
         "Can not connect with programmer!", MsgIcon::Error, 2, 3},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        LoadRun run(2);
        auto& h = run.h;
        row.setUp(h);
        std::size_t resetsAtMessage = 99;
        h.prompts.onMessage = [&](const Message&) { resetsAtMessage = ResetsIn(h.TraceLines()); };
        h.controller.OnLoadButton();
        EXPECT_EQ(h.prompts.messages, std::vector<Message>{MainMsg(row.text, "ERROR", row.icon)});
        EXPECT_EQ(resetsAtMessage, row.resetsAtMessage);
        EXPECT_EQ(ResetsIn(h.TraceLines()), row.resetsAtEnd);
        EXPECT_EQ(CountStarting(h.DataLines(), "write 260 "), 0u);
        EXPECT_FALSE(h.OperationTimerRunning());
        EXPECT_FALSE(ControllerTestAccess::m_operationRunning(h.controller));
    }
}

TEST(LoadTest, RefusalsAndACancelledFileDialog) {
    {
        SCOPED_TRACE("no MCU selected");
        ExpectRefusedWithoutPart(&ProgrammerController::OnLoadButton,
                                 "You haven't selected MCU yet.");
    }
    {
        SCOPED_TRACE("file dialog cancelled");
        ControllerHarness h;
        ASSERT_TRUE(h.StartWithPart(kPart));
        h.controller.OnLoadButton();
        EXPECT_EQ(h.DataLines(), (std::vector<std::string>{"write 1 3F -> 1", kEmptyStoreAnswer}));
        EXPECT_EQ(h.prompts.openSpecs.size(), 1u);
        EXPECT_EQ(h.TraceLines().back(), "flush 1 1");
        h.ExpectIdleWindow(kSelected);
    }
}

TEST(LoadTest, InUpdateModeTheButtonStartsTheFirmwareUpdateInstead) {
    SimOptions options;
    options.updateMode = true;
    ControllerHarness h(options);
    h.Start();
    h.ClearTrace();
    h.controller.OnLoadButton();  // the file dialog is cancelled
    const auto lines = h.TraceLines();
    EXPECT_EQ(lines.front(), "baud 19200");
    EXPECT_EQ(CountStarting(lines, "write 1 3F"), 0u);
    EXPECT_TRUE(h.view.Enabled(IDC_LOAD));
    EXPECT_TRUE(h.view.Enabled(IDC_LOAD_LABEL));
}

}  // namespace
}  // namespace o8r::test
