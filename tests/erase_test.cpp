// Erase, end to end against the simulated box: one 'E' per chosen block in
// list order, the progress steps, and every ending.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/catalogue/Catalogue.h"
#include "core/model/Ids.h"
#include "core/operations/EraseBlockChoice.h"
#include "core/window/SharedState.h"
#include "support/ControllerHarness.h"
#include "support/ScratchDir.h"
#include "support/TestData.h"

namespace o8r::test {
namespace {

// R5F212A8SN lists its blocks as 2 (0x04000), 1 (0x08000), 0 (0x0C000), 3 (0x10000).
constexpr char kPart[] = "R5F212A8SN";
constexpr char kSelected[] = "You have selected R5F212A8.";
constexpr std::uint32_t kBlockStarts[] = {0x04000, 0x08000, 0x0C000, 0x10000};

const Message kCompleted = MainMsg("Erase successfully completed.", "INFO", MsgIcon::None);

std::vector<std::string> EraseLines(const std::vector<std::string>& data) {
    std::vector<std::string> lines;
    bool inErase = false;
    for (const auto& line : data) {
        if (line == "write 1 45 -> 1")
            inErase = true;
        if (inErase)
            lines.push_back(line);
    }
    return lines;
}

// Puts a programmed byte at the start of every block, so that erasing shows.
void FillBlocks(ControllerHarness& h) {
    for (std::uint32_t start : kBlockStarts)
        h.box.Target().Poke(start + 0x10, 0x00);
}

bool Erased(ControllerHarness& h, std::size_t block) {
    return h.box.Target().Byte(kBlockStarts[block] + 0x10) == 0xFF;
}

TEST(EraseTest, ChosenBlocksAreErasedInListOrderWithProgressSteps) {
    ControllerHarness h;
    ASSERT_TRUE(h.StartWithPart(kPart));
    FillBlocks(h);
    h.ScriptEraseRows({3, 0, 2});  // checked in another order than listed
    h.controller.OnErase();

    // Running: no Cancel, every command control disabled.
    for (ControlId id :
         {IDC_PROGRAM, IDC_ERASE, IDC_READ, IDC_LOAD, IDC_BLANK_CHECK, IDC_PROGRAM_LABEL,
          IDC_ERASE_LABEL, IDC_READ_LABEL, IDC_LOAD_LABEL, IDC_BLANK_CHECK_LABEL}) {
        EXPECT_FALSE(h.view.Enabled(id)) << id;
    }
    EXPECT_TRUE(h.view.Shown(IDC_PROGRESS));
    EXPECT_FALSE(h.view.Shown(IDC_STATUS));
    EXPECT_EQ(g_eraseList, "004000C00100");
    EXPECT_EQ(g_eraseBlockCount, 3);

    h.RunUntilIdle();
    EXPECT_EQ(h.prompts.messages, std::vector<Message>{kCompleted});
    EXPECT_EQ(EraseLines(h.DataLines()), (std::vector<std::string>{
                                             "write 1 45 -> 1",
                                             "write 2 4000 -> 2",
                                             "read 1 -> 4F",
                                             "write 1 45 -> 1",
                                             "write 2 C000 -> 2",
                                             "read 1 -> 4F",
                                             "write 1 45 -> 1",
                                             "write 2 0001 -> 2",
                                             "read 1 -> 4F",
                                         }));
    EXPECT_EQ(h.view.progressHistory, (std::vector<int>{0, 33, 66, 99, 0}));
    EXPECT_TRUE(Erased(h, 0));
    EXPECT_FALSE(Erased(h, 1));
    EXPECT_TRUE(Erased(h, 2));
    EXPECT_TRUE(Erased(h, 3));
    EXPECT_TRUE(g_eraseList.empty());
    h.ExpectIdleWindow(kSelected);
}

TEST(EraseTest, ProgressStepIsAHundredOverTheBlockCount) {
    struct Case {
        bool all;
        std::vector<std::size_t> rows;
        std::vector<int> progress;
    };
    const Case cases[] = {
        {false, {1}, {0, 100, 0}},
        {true, {}, {0, 25, 50, 75, 100, 0}},
    };
    for (const auto& c : cases) {
        ControllerHarness h;
        ASSERT_TRUE(h.StartWithPart(kPart));
        FillBlocks(h);
        if (c.all) {
            h.ScriptEraseAll();
        } else {
            h.ScriptEraseRows(c.rows);
        }
        h.controller.OnErase();
        h.RunUntilIdle();
        EXPECT_EQ(h.prompts.messages, std::vector<Message>{kCompleted});
        EXPECT_EQ(h.view.progressHistory, c.progress);
        EXPECT_EQ(h.box.CommandLog().size(), 2 + c.progress.size() - 2);  // C, U, one E each
    }
}

TEST(EraseTest, AWrongAnswerStopsWithEraseErrorAndTheRestStaysUnerased) {
    SimOptions options;
    options.faults.wrongAnswerAtPage = 2;
    ControllerHarness h(options);
    ASSERT_TRUE(h.StartWithPart(kPart));
    FillBlocks(h);
    h.ScriptEraseAll();
    h.controller.OnErase();
    h.RunUntilIdle();
    EXPECT_EQ(h.prompts.messages,
              std::vector<Message>{MainMsg("Erase error!", "ERROR", MsgIcon::Error)});
    const auto lines = EraseLines(h.DataLines());
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "write 1 45 -> 1"), 2);
    EXPECT_EQ(lines.back(), "read 1 -> 58");
    EXPECT_FALSE(Erased(h, 2));
    EXPECT_FALSE(Erased(h, 3));
    EXPECT_EQ(g_eraseList, "00C00100") << "the blocks not sent stay listed";
    h.ExpectIdleWindow("Click MCU list to select. Double click to set power and ID.");
}

TEST(EraseTest, ABoxBusyPastTwoHundredTicksTimesOut) {
    ControllerHarness h;
    ASSERT_TRUE(h.StartWithPart(kPart));
    h.ScriptEraseRows({0});
    h.faults.holdCtsAfter = CallIs("write 45");
    std::uint64_t failedAt = 0;
    h.prompts.onMessage = [&](const Message&) { failedAt = h.clock.Now(); };
    h.controller.OnErase();
    const std::uint64_t startedAt = h.clock.Now();
    h.RunUntilIdle();
    EXPECT_EQ(h.prompts.messages,
              std::vector<Message>{MainMsg("Time out error!", "ERROR", MsgIcon::Error)});
    EXPECT_GE(failedAt - startedAt, static_cast<std::uint64_t>(TickAllowance(200).count()));
    h.ExpectIdleWindow("Click MCU list to select. Double click to set power and ID.");
}

TEST(EraseTest, ASlowBlockEraseWithinTheAllowanceCompletes) {
    SimOptions options;
    options.timings.blockEraseNs = 2'500'000'000;  // under 200 x 15.625 ms
    ControllerHarness h(options);
    ASSERT_TRUE(h.StartWithPart(kPart));
    h.ScriptEraseRows({0, 1});
    h.controller.OnErase();
    h.RunUntilIdle();
    EXPECT_EQ(h.prompts.messages, std::vector<Message>{kCompleted});
}

TEST(EraseTest, RefusalsAndACancelledDialogEraseNothing) {
    {
        SCOPED_TRACE("no MCU selected");
        ExpectRefusedWithoutPart(&ProgrammerController::OnErase, "You haven't select MCU yet.");
    }
    {
        SCOPED_TRACE("connect fails: the dialog never opens");
        ControllerHarness h;
        ASSERT_TRUE(h.StartWithPart(kPart));
        h.box.SetTargetPresent(false);
        bool dialogShown = false;
        h.prompts.eraseDialog = [&](EraseBlockChoice&) {
            dialogShown = true;
            return DialogResult::Ok;
        };
        h.controller.OnErase();
        EXPECT_FALSE(dialogShown);
        EXPECT_EQ(h.prompts.messages, std::vector<Message>{MainMsg("Can not connect with target!",
                                                                   "ERROR", MsgIcon::Error)});
    }
    {
        SCOPED_TRACE("dialog closed without OK");
        ControllerHarness h;
        ASSERT_TRUE(h.StartWithPart(kPart));
        FillBlocks(h);
        std::size_t rowsListed = 0;
        h.prompts.eraseDialog = [&](EraseBlockChoice& dialog) {
            rowsListed = dialog.Rows().size();
            return DialogResult::Cancel;
        };
        h.controller.OnErase();
        EXPECT_EQ(rowsListed, 4u);
        EXPECT_TRUE(EraseLines(h.DataLines()).empty());
        EXPECT_TRUE(h.prompts.messages.empty());
        EXPECT_FALSE(Erased(h, 0));
        h.ExpectIdleWindow(kSelected);
    }
    {
        SCOPED_TRACE("OK with no row checked, then closed");
        ControllerHarness h;
        ASSERT_TRUE(h.StartWithPart(kPart));
        h.ScriptEraseRows({});
        h.controller.OnErase();
        const Message warning{"You haven't selected erase block.", "WARNING", MsgIcon::Exclamation,
                              MsgButtons::Ok, Owner::EraseSetting};
        EXPECT_EQ(h.prompts.messages, std::vector<Message>{warning});
        EXPECT_TRUE(EraseLines(h.DataLines()).empty());
        h.ExpectIdleWindow(kSelected);
    }
}

// A block entry the catalogue check finds unusable stops Erase before the
// dialog, with the check's own message: no block is skipped without a word.
TEST(EraseTest, APartWithABadBlockEntryIsRefusedWithTheCatalogueCheckMessage) {
    ControllerHarness h;
    std::string text = ReadWholeFile(SourcePath("data/MCUType.mcu"));
    const std::string record = "R5F212A8SN64K     04 02  16K 04000 01  16K 08000";
    ASSERT_NE(text.find(record), std::string::npos);
    text.replace(text.find(record) + record.size() - 5, 5, "0G000");
    const std::string catalogue = h.scratch.Write("MCUType.mcu", text);
    h.InitWindow(h.scratch.Path().string());
    h.Poll();
    ASSERT_TRUE(h.SelectPart(kPart));
    FillBlocks(h);
    h.prompts.Clear();
    bool dialogShown = false;
    h.prompts.eraseDialog = [&](EraseBlockChoice&) {
        dialogShown = true;
        return DialogResult::Ok;
    };

    h.controller.OnErase();
    h.RunUntilIdle();
    const auto problem = BlockEntryProblem(*ReadCatalogueLines(catalogue), kPart);
    ASSERT_TRUE(problem.has_value());
    EXPECT_EQ(h.prompts.messages, std::vector<Message>{MainMsg(*problem, "ERROR", MsgIcon::Error)});
    EXPECT_FALSE(dialogShown);
    EXPECT_FALSE(h.OperationTimerRunning());
    for (std::size_t block = 0; block < 4; ++block)
        EXPECT_FALSE(Erased(h, block)) << block;
    EXPECT_TRUE(EraseLines(h.DataLines()).empty());
}

}  // namespace
}  // namespace o8r::test
