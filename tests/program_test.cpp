// Program, end to end against the simulated box: the bytes the box receives,
// the messages, the progress bar and the window after every ending; and the
// file choice that precedes it.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/model/Ids.h"
#include "core/model/Messages.h"
#include "core/operations/BaseAddressEntry.h"
#include "core/window/SharedState.h"
#include "support/ControllerHarness.h"
#include "support/SRecordText.h"

namespace o8r::test {
namespace {

constexpr char kPart[] = "R5F212A8SN";  // region 2 = [0x4000, 0x14000)
constexpr char kSelected[] = "You have selected R5F212A8.";
constexpr std::uint32_t kBase = 0x4000;

// The data lines after the connect handshake (which ends with its 'O').
std::vector<std::string> AfterHandshake(const std::vector<std::string>& data) {
    std::size_t start = 0;
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (data[i].rfind("write 7 ", 0) == 0) {
            start = i + 2;
            break;
        }
    }
    return {data.begin() + static_cast<std::ptrdiff_t>(std::min(start, data.size())), data.end()};
}

const Message kCompleted = MainMsg("Program successfully completed.", "INFO", MsgIcon::None);
const Message kCancelQuestion =
    MainMsg("Are you sure to cancel operation?", "WARNING", MsgIcon::Question, MsgButtons::YesNo);

struct ProgramRun {
    ControllerHarness h;
    std::vector<std::uint8_t> image;

    explicit ProgramRun(std::size_t pages, SimOptions options = {}, const char* part = kPart)
        : h(options) {
        EXPECT_TRUE(h.StartWithPart(part));
        image = h.ChoosePatternImage(kBase, pages);
    }
};

TEST(ProgramTest, FourPagesGoToTheTargetWithProgressAndCompletion) {
    ProgramRun run(4);
    auto& h = run.h;
    h.controller.OnProgram();

    // Running: the Program button is the Cancel button, the rest is disabled.
    h.ExpectRunningWindow(IDC_PROGRAM, IDC_PROGRAM_LABEL,
                          {IDC_ERASE, IDC_READ, IDC_LOAD, IDC_BLANK_CHECK, IDC_LOAD_LABEL});

    EXPECT_EQ(h.RunUntilIdle(), TimerSchedule::RunEnd::Done);
    EXPECT_EQ(h.prompts.messages, std::vector<Message>{kCompleted});
    ASSERT_EQ(g_pageCount, 4);
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < 4; ++i) {
        expected.push_back("write 1 56 -> 1");
        expected.push_back(RecordWriteLine(i));
        expected.push_back("read 1 -> 4F");
    }
    EXPECT_EQ(AfterHandshake(h.DataLines()), expected);
    // The connect's reset, the four pages (never 100), the final reset.
    EXPECT_EQ(h.view.progressHistory, (std::vector<int>{0, 0, 25, 50, 75, 0}));
    for (std::size_t i = 0; i < run.image.size(); ++i) {
        ASSERT_EQ(h.box.Target().Byte(kBase + static_cast<std::uint32_t>(i)), run.image[i]) << i;
    }
    h.ExpectIdleWindow(kSelected);  // the status line keeps its text
}

TEST(ProgramTest, AllFiveHundredTwelvePagesOfTheLargestPartAreProgrammed) {
    ProgramRun run(512, {}, "R5F212ACSN");
    auto& h = run.h;
    h.controller.OnProgram();
    EXPECT_EQ(h.RunUntilIdle(), TimerSchedule::RunEnd::Done);
    EXPECT_EQ(h.prompts.messages, std::vector<Message>{kCompleted});
    EXPECT_EQ(g_pageCount, 512);
    EXPECT_EQ(CountStarting(h.DataLines(), "write 1 56 -> 1"), 512u);
    const auto& memory = h.box.Target().Image();
    EXPECT_TRUE(std::equal(run.image.begin(), run.image.end(), memory.begin() + kBase));
    EXPECT_EQ(*std::max_element(h.view.progressHistory.begin(), h.view.progressHistory.end()), 99);
}

TEST(ProgramTest, AFileWithoutPageRecordsEndsAtTheFirstTick) {
    ControllerHarness h;
    ASSERT_TRUE(h.StartWithPart(kPart));
    // Data below 0x200 is taken into the image but makes no page record.
    h.ChooseFile(h.WriteImage("low.mot", 0x100, PatternBytes(16)));
    h.controller.OnProgram();
    h.RunUntilIdle();
    EXPECT_EQ(g_pageCount, 0);
    EXPECT_EQ(h.prompts.messages, std::vector<Message>{kCompleted});
    EXPECT_TRUE(AfterHandshake(h.DataLines()).empty());
    h.ExpectIdleWindow(kSelected);
}

TEST(ProgramTest, AWrongAnswerEndsWithVerifyErrorAndNothingMoreIsSent) {
    SimOptions options;
    options.faults.wrongAnswerAtPage = 2;
    ProgramRun run(4, options);
    auto& h = run.h;
    h.controller.OnProgram();
    h.RunUntilIdle();
    EXPECT_EQ(h.prompts.messages,
              std::vector<Message>{MainMsg("Verify error!", "ERROR", MsgIcon::Error)});
    const auto after = AfterHandshake(h.DataLines());
    EXPECT_EQ(CountStarting(after, "write 1 56 -> 1"), 2u);
    EXPECT_EQ(after.back(), "read 1 -> 58");
    h.ExpectIdleWindow("Click MCU list to select. Double click to set power and ID.");
}

TEST(ProgramTest, ABoxBusyPastTheAllowanceTimesOut) {
    ProgramRun run(4);
    auto& h = run.h;
    h.faults.holdCtsAfter = CallIs("write 56");
    std::uint64_t sentAt = 0;
    std::uint64_t failedAt = 0;
    h.prompts.onMessage = [&](const Message&) { failedAt = h.clock.Now(); };
    h.controller.OnProgram();
    sentAt = h.clock.Now();
    h.RunUntilIdle();
    EXPECT_EQ(h.prompts.messages,
              std::vector<Message>{MainMsg("Time out error!", "ERROR", MsgIcon::Error)});
    EXPECT_EQ(CountStarting(h.DataLines(), "write 1 56 -> 1"), 1u);
    // 100 ticks of allowance, counted as elapsed time.
    EXPECT_GE(failedAt - sentAt, static_cast<std::uint64_t>(TickAllowance(100).count()));
    h.ExpectIdleWindow("Click MCU list to select. Double click to set power and ID.");
}

TEST(ProgramTest, ASlowBoxOnAFastTimerIsNotCutShort) {
    SimOptions options;
    options.timings.pageProgramNs = 1'200'000'000;  // far more than 100 ticks of 1 ms
    ProgramRun run(3, options);
    auto& h = run.h;
    h.controller.OnProgram();
    h.RunUntilIdle();
    EXPECT_EQ(h.prompts.messages, std::vector<Message>{kCompleted});
}

TEST(ProgramTest, CancelAnsweredNoGoesOnWithoutRepeatingOrSkipping) {
    ProgramRun run(4);
    auto& h = run.h;
    h.controller.OnProgram();
    h.RunUntil([&] { return h.controller.PageIndex() == 2 && h.controller.WaitingReply(); });
    bool timerStoppedDuringQuestion = false;
    h.prompts.onMessage = [&](const Message&) {
        timerStoppedDuringQuestion = !h.OperationTimerRunning();
    };
    h.prompts.answers.push_back(MsgAnswer::No);
    h.controller.OnProgram();
    EXPECT_TRUE(timerStoppedDuringQuestion);
    EXPECT_TRUE(h.OperationTimerRunning());
    EXPECT_TRUE(ControllerTestAccess::m_operationRunning(h.controller));
    h.RunUntilIdle();

    EXPECT_EQ(h.prompts.messages, (std::vector<Message>{kCancelQuestion, kCompleted}));
    EXPECT_EQ(RecordWrites(AfterHandshake(h.DataLines())),
              (std::vector<std::string>{RecordWriteLine(0), RecordWriteLine(1), RecordWriteLine(2),
                                        RecordWriteLine(3)}));
    EXPECT_TRUE(
        std::equal(run.image.begin(), run.image.end(), h.box.Target().Image().begin() + kBase));
}

TEST(ProgramTest, TheTimeTheCancelQuestionIsOpenDoesNotCountAgainstTheBox) {
    SimOptions options;
    options.timings.pageProgramNs = 2'000'000'000;  // longer than the whole allowance
    ProgramRun run(1, options);
    auto& h = run.h;
    h.controller.OnProgram();
    h.RunUntil([&] { return h.controller.WaitingReply(); });
    h.RunTicks(100);  // 0.1 s into the page
    // The question stays open for a second; ticks stop meanwhile.
    h.prompts.onMessage = [&](const Message&) { h.clock.Advance(1'000'000'000); };
    h.prompts.answers.push_back(MsgAnswer::No);
    h.controller.OnProgram();
    h.RunUntilIdle();
    EXPECT_EQ(h.prompts.messages, (std::vector<Message>{kCancelQuestion, kCompleted}));
}

TEST(ProgramTest, CancelAnsweredYesReportsThePercentageInTwoColumns) {
    struct Case {
        std::size_t pages;
        int sentBeforeCancel;
        const char* text;
    };
    const Case cases[] = {
        {14, 2, "Operating is canceled.\n 7% is finished."},
        {4, 3, "Operating is canceled.\n50% is finished."},
        {4, 1, "Operating is canceled.\n 0% is finished."},
    };
    for (const auto& c : cases) {
        ProgramRun run(c.pages);
        auto& h = run.h;
        const std::size_t sent = CountStarting(
            h.CancelAtPage(&ProgrammerController::OnProgram, c.sentBeforeCancel, MsgAnswer::Yes),
            "write 1 56 -> 1");
        EXPECT_EQ(h.prompts.messages,
                  (std::vector<Message>{kCancelQuestion, MainMsg(c.text, "INFO", MsgIcon::None)}));
        h.ExpectIdleWindow("Click MCU list to select. Double click to set ID code.");
        // Nothing more goes to the box.
        h.RunTicks(50);
        EXPECT_EQ(CountStarting(h.DataLines(), "write 1 56 -> 1"), sent);
    }
}

TEST(ProgramTest, RefusalsBeforeAnythingIsSent) {
    {
        SCOPED_TRACE("no MCU selected");
        ExpectRefusedWithoutPart(&ProgrammerController::OnProgram, "You haven't selected MCU yet.");
    }
    {
        SCOPED_TRACE("file dialog cancelled");
        ControllerHarness h;
        ASSERT_TRUE(h.StartWithPart(kPart));
        h.controller.OnProgram();
        EXPECT_TRUE(h.prompts.messages.empty());
        EXPECT_EQ(h.prompts.openSpecs.size(), 1u);
        EXPECT_EQ(h.prompts.openSpecs[0].title, "Select open file");
        EXPECT_EQ(h.prompts.openSpecs[0].filterLabel, "Motorola Format(*.mot)");
        EXPECT_EQ(h.prompts.openSpecs[0].pattern, "*.mot");
        EXPECT_TRUE(AfterHandshake(h.DataLines()).empty());
        EXPECT_EQ(h.TraceLines().back(), "flush 1 1");  // the box was reset last
        h.ExpectIdleWindow(kSelected);
    }
    {
        SCOPED_TRACE("file refused by the loader");
        ControllerHarness h;
        ASSERT_TRUE(h.StartWithPart(kPart));
        h.ChooseFile(h.WriteImage("outside.mot", 0x20000, PatternBytes(16)));
        h.controller.OnProgram();
        ASSERT_EQ(h.prompts.messages.size(), 1u);
        EXPECT_EQ(h.prompts.messages[0].text,
                  "Load file address is out of memory map!\nLine 2: address 20000");
        EXPECT_FALSE(h.OperationTimerRunning());
        h.ExpectIdleWindow(kSelected);
    }
}

TEST(ProgramTest, ProtectedTargetNeedsItsIdCode) {
    const std::array<std::uint8_t, 7> code = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};
    struct Case {
        std::array<std::uint8_t, 7> entered;
        std::vector<Message> messages;
        bool fileAsked;
    };
    const Case cases[] = {
        {code, {kCompleted}, true},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
         {MainMsg("ID code error!", "ERROR", MsgIcon::Error)},
         false},
    };
    for (const auto& c : cases) {
        SimOptions options;
        options.faults.protectedCode = code;
        ProgramRun run(2, options);
        auto& h = run.h;
        g_idCode = c.entered;
        h.controller.OnProgram();
        h.RunUntilIdle();
        EXPECT_EQ(h.prompts.messages, c.messages);
        EXPECT_EQ(h.prompts.openSpecs.empty(), !c.fileAsked);
        EXPECT_EQ(h.box.Target().Byte(kBase) == run.image[0], c.fileAsked);
    }
}

TEST(ProgramTest, UnpluggedBoxAsksForAResetThenTimesOut) {
    SimOptions options;
    options.faults.unplugAtPage = 2;
    ProgramRun run(4, options);
    auto& h = run.h;
    h.controller.OnProgram();
    h.RunUntilIdle();
    EXPECT_EQ(h.prompts.messages,
              (std::vector<Message>{MainMsg("Please reset programmer!", "Error", MsgIcon::Error),
                                    MainMsg("Time out error!", "ERROR", MsgIcon::Error)}));
    // The poll saw the box go: the window shows the picture alone.
    EXPECT_TRUE(h.view.Shown(IDC_PICTURE));
    EXPECT_FALSE(h.view.Shown(IDC_PROGRAM));
    EXPECT_FALSE(ControllerTestAccess::m_operationRunning(h.controller));
    EXPECT_FALSE(h.OperationTimerRunning());
}

// ---------------------------------------------------------------------------
// Choosing the file.

TEST(SelectAndLoadFileTest, TheSizeLimitIsTwoAndAHalfMillionBytes) {
    struct Case {
        std::size_t size;
        bool accepted;
    };
    for (const Case c : {Case{2'500'000, true}, Case{2'500'001, false}}) {
        ControllerHarness h;
        ASSERT_TRUE(h.StartWithPart(kPart));
        // A valid image, filled up with blank lines after its terminator.
        std::string text = SRecordImage(kBase, PatternBytes(256));
        text.append(c.size - text.size(), '\n');
        h.ChooseFile(h.scratch.Write("big.mot", text));
        h.controller.OnProgram();
        h.RunUntilIdle();
        if (c.accepted) {
            EXPECT_EQ(h.prompts.messages, std::vector<Message>{kCompleted});
        } else {
            EXPECT_EQ(h.prompts.messages,
                      std::vector<Message>{
                          MainMsg("Selected file is too large!", "ERROR", MsgIcon::None)});
            EXPECT_EQ(h.loadDialogRuns, 0);
        }
        h.ExpectIdleWindow(kSelected);
    }
}

TEST(SelectAndLoadFileTest, TheLastLoadIsReusedOnlyForTheSameFileUnderTheSameMap) {
    ControllerHarness h;
    ASSERT_TRUE(h.StartWithPart(kPart));
    const std::string path = h.WriteImage("image.mot", kBase, PatternBytes(512));
    // Written a while ago: a file of this very second is never reused where
    // file times have whole seconds only.
    std::filesystem::last_write_time(
        path, std::chrono::time_point_cast<std::chrono::seconds>(
                  std::filesystem::file_time_type::clock::now() - std::chrono::hours(1)));

    h.ChooseFile(path);
    EXPECT_TRUE(h.controller.SelectAndLoadFile());
    EXPECT_EQ(h.loadDialogRuns, 1);
    EXPECT_EQ(g_filePath, path);
    EXPECT_FALSE(h.view.Enabled(IDC_PROGRAM));

    h.ChooseFile(path);
    EXPECT_TRUE(h.controller.SelectAndLoadFile());
    EXPECT_EQ(h.loadDialogRuns, 1) << "same file, same map: no second load";

    ASSERT_TRUE(h.SelectPart("R5F212B8SN"));  // another memory map
    h.ChooseFile(path);
    EXPECT_TRUE(h.controller.SelectAndLoadFile());
    EXPECT_EQ(h.loadDialogRuns, 2);

    // A failed load leaves nothing to reuse.
    // (A first character other than S or : would make it a binary image.)
    const std::string bad = h.scratch.Write("bad.mot", "S not an image\n");
    h.ChooseFile(bad);
    EXPECT_FALSE(h.controller.SelectAndLoadFile());
    h.ChooseFile(path);
    EXPECT_TRUE(h.controller.SelectAndLoadFile());
    EXPECT_EQ(h.loadDialogRuns, 4);
    EXPECT_EQ(g_pageCount, 2);
}

TEST(SelectAndLoadFileTest, AFileThatDoesNotExistGoesToTheLoaderWhichRefusesIt) {
    ControllerHarness h;
    ASSERT_TRUE(h.StartWithPart(kPart));
    h.ChooseFile(h.scratch.File("missing.mot"));
    EXPECT_FALSE(h.controller.SelectAndLoadFile());
    EXPECT_EQ(h.loadDialogRuns, 1);
    ASSERT_EQ(h.prompts.messages.size(), 1u);
    EXPECT_EQ(h.prompts.messages[0].text, "Can not open file!");
}

// A binary chosen in the window goes where its own small dialog says, and
// nowhere when that dialog is cancelled.
TEST(ProgramTest, ABinaryGoesWhereTheBaseDialogSays) {
    for (const bool cancel : {false, true}) {
        SCOPED_TRACE(cancel ? "cancelled" : "at 0C000");
        ControllerHarness h;
        ASSERT_TRUE(h.StartWithPart(kPart));
        const std::vector<std::uint8_t> bytes = PatternBytes(300);
        h.ChooseFile(h.scratch.Write("image.bin", std::string(bytes.begin(), bytes.end())));
        h.prompts.baseDialog = [cancel](BaseAddressEntry& dialog) {
            return !cancel && dialog.PressOk("0C000") ? DialogResult::Ok : DialogResult::Cancel;
        };
        h.controller.OnProgram();
        h.RunUntilIdle();
        const auto& memory = h.box.Target().Image();
        EXPECT_EQ(std::equal(bytes.begin(), bytes.end(), memory.begin() + 0xC000), !cancel);
        EXPECT_EQ(h.prompts.Texts(), cancel ? std::vector<std::string>{}
                                            : std::vector<std::string>{text::kProgramCompleted});
        h.ExpectIdleWindow(kSelected);
    }
}

}  // namespace
}  // namespace o8r::test
