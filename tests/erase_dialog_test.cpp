// The Erase setting dialog: the rows it lists for the selected part, the
// select-all box, the double click, and the erase list its OK button builds.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/model/Messages.h"
#include "core/operations/EraseBlockChoice.h"
#include "core/window/SharedState.h"
#include "support/RecordingPrompts.h"
#include "support/TestData.h"

namespace o8r {
namespace {

struct Row {
    const char* block;
    const char* size;
    const char* address;
};

const Message kNoBlock = test::Msg(text::kNoEraseBlock, text::kCaptionWarning, MsgIcon::Exclamation,
                                   MsgButtons::Ok, Owner::EraseSetting);

std::string Part(const char* name) {
    std::string part = name;
    part.resize(10, ' ');
    return part;
}

class EraseDialog : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetSharedState();
        g_cataloguePath = test::SourcePath("tests/data/erase_blocks.mcu");
    }

    // Fills the dialog for `part` of the current catalogue.
    void Open(const std::string& part) {
        g_selectedMcu = part;
        m_dialog.Fill(g_cataloguePath, g_selectedMcu);
    }

    void ExpectRows(const std::vector<Row>& rows, const std::string& what) {
        ASSERT_EQ(m_dialog.Rows().size(), rows.size()) << what;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(m_dialog.Rows()[i].block, rows[i].block) << what << ", row " << i;
            EXPECT_EQ(m_dialog.Rows()[i].size, rows[i].size) << what << ", row " << i;
            EXPECT_EQ(m_dialog.Rows()[i].address, rows[i].address) << what << ", row " << i;
            EXPECT_FALSE(m_dialog.Checked(i)) << what << ", row " << i;
        }
        EXPECT_FALSE(m_dialog.SelectAll()) << what;
    }

    test::RecordingPrompts m_prompts;
    EraseBlockChoice m_dialog{m_prompts};
};

TEST_F(EraseDialog, RowsOfTheSelectedPart) {
    const struct {
        const char* part;
        std::vector<Row> rows;
    } cases[] = {
        {"NAMES",
         {{"Block 0", "  1K", "  0x0F000"},
          {"Block A", "  1K", "  0x02400"},
          {"Block 12", " 16K", "  0x04000"},
          {"Block B", "  2K", "  0x0c000"},
          {"Block B0", "128K", "  0xFFFFF"}}},
        // Only as many entries as the count field announces.
        {"COUNTED", {{"Block 1", " 16K", "  0x04000"}, {"Block 2", " 16K", "  0x08000"}}},
        {"BADCOUNT", {}},
        // An unreadable address or a cut-off entry would leave a block unerased:
        // the part gets no rows (and a message, below).
        {"BROKEN", {}},
        // The first record of a part, as the memory map takes it.
        {"TWICE", {{"Block 0", " 16K", "  0x04000"}}},
        {"COMMENTED", {}},
        {"NONE", {}},
        {"ABSENT", {}},
    };
    for (const auto& c : cases) {
        Open(Part(c.part));
        ExpectRows(c.rows, c.part);
    }
    // The part name is matched with its blanks.
    Open("NAMES");
    ExpectRows({}, "NAMES without its blanks");
}

// Only a part whose entries can all be used fills the dialog; any other is
// refused with the catalogue check's message, naming the line and the part.
TEST_F(EraseDialog, APartWithAnUnusableEntryIsRefused) {
    for (const char* part : {"NAMES", "COUNTED", "TWICE", "NONE", "ABSENT"}) {
        g_selectedMcu = Part(part);
        EXPECT_TRUE(m_dialog.Fill(g_cataloguePath, g_selectedMcu)) << part;
    }
    EXPECT_TRUE(m_prompts.messages.empty());

    g_selectedMcu = Part("BROKEN");
    EXPECT_FALSE(m_dialog.Fill(g_cataloguePath, g_selectedMcu));
    EXPECT_TRUE(m_dialog.Rows().empty());
    EXPECT_EQ(m_prompts.messages,
              std::vector<Message>{test::Msg(
                  "MCU file line 7: part BROKEN has a block entry with the bad start address "
                  "\"0800G\".",
                  text::kCaptionError, MsgIcon::Error, MsgButtons::Ok, Owner::MainWindow)});
}

TEST_F(EraseDialog, RowsOfAShippedPart) {
    g_cataloguePath = test::SourcePath("data/MCUType.mcu");
    Open("R5F212B8SN");
    ExpectRows({{"Block A", "  1K", "  0x02400"},
                {"Block B", "  1K", "  0x02800"},
                {"Block 2", " 16K", "  0x04000"},
                {"Block 1", " 16K", "  0x08000"},
                {"Block 0", " 16K", "  0x0C000"},
                {"Block 3", " 16K", "  0x10000"}},
               "R5F212B8SN");
}

TEST_F(EraseDialog, SelectAllAndDoubleClick) {
    Open(Part("NAMES"));
    auto checked = [this] {
        std::vector<bool> states;
        for (std::size_t i = 0; i < m_dialog.Rows().size(); ++i)
            states.push_back(m_dialog.Checked(i));
        return states;
    };
    m_dialog.ToggleRow(1);
    m_dialog.ToggleRow(3);
    EXPECT_EQ(checked(), (std::vector<bool>{false, true, false, true, false}));
    m_dialog.ToggleRow(3);
    EXPECT_EQ(checked(), (std::vector<bool>{false, true, false, false, false}));
    // A double click that hits no row changes nothing.
    for (int row : {-1, 5, 1000})
        m_dialog.ToggleRow(row);
    EXPECT_EQ(checked(), (std::vector<bool>{false, true, false, false, false}));

    m_dialog.SetSelectAll(true);
    EXPECT_TRUE(m_dialog.SelectAll());
    EXPECT_EQ(checked(), std::vector<bool>(5, true));
    m_dialog.ToggleRow(0);
    EXPECT_EQ(checked(), (std::vector<bool>{false, true, true, true, true}));
    m_dialog.SetSelectAll(false);
    EXPECT_EQ(checked(), std::vector<bool>(5, false));

    // Filling again starts unchecked.
    m_dialog.SetSelectAll(true);
    m_dialog.Fill(g_cataloguePath, g_selectedMcu);
    EXPECT_EQ(checked(), std::vector<bool>(5, false));
    EXPECT_FALSE(m_dialog.SelectAll());
}

TEST_F(EraseDialog, OkBuildsTheListInRowOrder) {
    const struct {
        const char* what;
        std::vector<int> clicks;  // double clicks, in the order made
        const char* list;
    } cases[] = {
        {"one row", {0}, "00F0"},
        {"checked backwards, listed in row order", {4, 2, 0}, "00F000400FFF"},
        {"lower-case digits kept", {3}, "00c0"},
        {"every row", {0, 1, 2, 3, 4}, "00F00024004000c00FFF"},
        {"unchecked again", {1, 2, 1}, "0040"},
    };
    for (const auto& c : cases) {
        Open(Part("NAMES"));
        for (int row : c.clicks)
            m_dialog.ToggleRow(row);
        EXPECT_TRUE(m_dialog.PressOk()) << c.what;
        EXPECT_EQ(m_dialog.EraseList(), c.list) << c.what;
        EXPECT_EQ(m_dialog.BlockCount(), static_cast<int>(std::string(c.list).size() / 4))
            << c.what;
    }
    EXPECT_TRUE(m_prompts.messages.empty());
}

TEST_F(EraseDialog, OkWithNoRowCheckedWarnsAndStaysOpen) {
    Open(Part("COUNTED"));
    m_dialog.ToggleRow(1);
    EXPECT_TRUE(m_dialog.PressOk());
    Open(Part("NAMES"));
    EXPECT_FALSE(m_dialog.PressOk());
    EXPECT_EQ(m_dialog.EraseList(), "");
    EXPECT_EQ(m_dialog.BlockCount(), 0);

    // A part without rows, and a missing catalogue, can only warn.
    Open(Part("ABSENT"));
    EXPECT_FALSE(m_dialog.PressOk());
    g_cataloguePath = test::SourcePath("tests/data/no-such-catalogue.mcu");
    Open(Part("NAMES"));
    EXPECT_TRUE(m_dialog.Rows().empty());
    EXPECT_FALSE(m_dialog.PressOk());
    EXPECT_EQ(m_prompts.messages, (std::vector<Message>(3, kNoBlock)));

    // Checking a row afterwards lets the same dialog close.
    g_cataloguePath = test::SourcePath("tests/data/erase_blocks.mcu");
    Open(Part("COUNTED"));
    m_dialog.ToggleRow(1);
    EXPECT_TRUE(m_dialog.PressOk());
    EXPECT_EQ(m_dialog.EraseList(), "0080");
    EXPECT_EQ(m_dialog.BlockCount(), 1);
}

// More than 127 blocks must neither wrap the count nor lose a group.
TEST_F(EraseDialog, TwoHundredBlocksAllCounted) {
    auto path =
        std::filesystem::temp_directory_path() /
        ("o8r-erase-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".mcu");
    std::string line = ":Test      Blocks    MANY      200K    C8 ";
    std::string expected;
    for (int k = 0; k < 200; ++k) {
        char entry[16];
        std::snprintf(entry, sizeof entry, "%02X   1K %05X ", k % 256, 0x4000 + k * 0x400);
        line += entry;
        char group[8];
        std::snprintf(group, sizeof group, "0%03X", (0x4000 + k * 0x400) >> 8);
        expected += group;
    }
    std::ofstream(path, std::ios::binary) << line << "\r\n";
    g_cataloguePath = path.string();
    Open(Part("MANY"));
    std::filesystem::remove(path);
    ASSERT_EQ(m_dialog.Rows().size(), 200u);
    m_dialog.SetSelectAll(true);
    EXPECT_TRUE(m_dialog.PressOk());
    EXPECT_EQ(m_dialog.BlockCount(), 200);
    EXPECT_EQ(m_dialog.EraseList(), expected);
}

}  // namespace
}  // namespace o8r
