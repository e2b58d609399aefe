// Saving the read-data window: the file's bytes, the overwrite question, the
// failures, and that a file is only ever whole and only then counts as saved.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/model/Ids.h"
#include "core/operations/FileLoadJob.h"
#include "core/window/SharedState.h"
#include "support/RecordingReadView.h"
#include "support/SRecordText.h"

namespace o8r::test {
namespace {

const Message kSaved = ReadMsg("Read data is saved successfully.", "INFO", MsgIcon::None);
const Message kOverwrite = ReadMsg("Selected file is already exist.\nAre you sure to overwrite it?",
                                   "WARNING", MsgIcon::Exclamation, MsgButtons::YesNo);
const Message kUnsavedQuestion =
    ReadMsg("The data has not been saved. \nAre you sure to quit anyway without save?", "INFO",
            MsgIcon::Question, MsgButtons::YesNo);

// A finished read of [start, end] whose bytes are byteAt(address).
struct SavedRead : ReadWindowRig {
    SavedRead(std::uint32_t start, std::uint32_t end,
              const std::function<std::uint8_t(std::uint32_t)>& byteAt) {
        SetRange(start, end);
        Fill(start, end, byteAt);
        EXPECT_TRUE(ReadAll());
        h.prompts.Clear();
    }
    std::string Save(const std::string& path) {
        h.prompts.saveFiles.push_back(path);
        Session().OnButton();
        return ReadWholeFile(path);
    }
};

std::uint8_t LowByte(std::uint32_t a) {
    return static_cast<std::uint8_t>(a);
}

TEST(SaveTest, TheFileHoldsTheRangeAsS2RecordsBetweenHeaderAndTerminator) {
    struct Case {
        std::uint32_t start, end;
        std::function<std::uint8_t(std::uint32_t)> byteAt;
        std::string file;
    };
    const Case cases[] = {
        {0xC0F8, 0xC117, LowByte,
         "S00600005A4F4B05\r\n"
         "S20C00C0F8F8F9FAFBFCFDFEFF5F\r\n"
         "S21400C100000102030405060708090A0B0C0D0E0FB2\r\n"
         "S20C00C110101112131415161786\r\n"
         "S80400C0F04B"},
        {0xC003, 0xC005, [](std::uint32_t a) { return std::uint8_t(0x11 * (a - 0xC002)); },
         "S00600005A4F4B05\r\n"
         "S20700C003112233CF\r\n"
         "S80400C0003B"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        SavedRead read(c.start, c.end, c.byteAt);
        const std::string path = read.h.scratch.File("read.mot");
        EXPECT_EQ(read.Save(path), c.file);

        ASSERT_EQ(read.h.prompts.saveSpecs.size(), 1u);
        const auto& spec = read.h.prompts.saveSpecs[0];
        EXPECT_EQ(spec.title, "Save file");
        EXPECT_EQ(spec.filterLabel, "Motorola Format(*.mot)");
        EXPECT_EQ(spec.pattern, "*.mot");
        EXPECT_EQ(spec.defaultExtension, ".mot");
        EXPECT_EQ(read.h.prompts.messages, std::vector<Message>{kSaved});
        EXPECT_TRUE(read.Session().DataSaved());
        EXPECT_EQ(read.window.statusText, "Read data is saved.");
        EXPECT_EQ(read.window.icon, IDI_SAVED);

        // Saved data lets the window go without a question.
        read.h.prompts.Clear();
        read.Session().OnCancelCommand();
        EXPECT_TRUE(read.h.prompts.messages.empty());
        EXPECT_EQ(read.window.closedWith, DialogResult::Cancel);
    }
}

TEST(SaveTest, AnExistingFileIsReplacedOnlyWhenTheUserSaysSo) {
    SavedRead read(0xC003, 0xC005, LowByte);
    const std::string path = read.h.scratch.Write("old.mot", "old contents");

    read.h.prompts.answers = {MsgAnswer::No};
    EXPECT_EQ(read.Save(path), "old contents");
    EXPECT_EQ(read.h.prompts.messages, std::vector<Message>{kOverwrite});
    EXPECT_FALSE(read.Session().DataSaved());
    EXPECT_EQ(read.window.icon, IDI_SAVE);
    EXPECT_EQ(read.window.statusText, "Read completed.");

    read.h.prompts.Clear();
    read.h.prompts.answers = {MsgAnswer::Yes};
    EXPECT_EQ(read.Save(path),
              "S00600005A4F4B05\r\n" + SRecordLine('2', 0xC003, {3, 4, 5}) + "\r\nS80400C0003B");
    EXPECT_EQ(read.h.prompts.messages, (std::vector<Message>{kOverwrite, kSaved}));
    EXPECT_TRUE(read.Session().DataSaved());

    // Saving again to the same path asks again.
    read.h.prompts.Clear();
    read.h.prompts.answers = {MsgAnswer::Yes};
    read.Save(path);
    EXPECT_EQ(read.h.prompts.messages, (std::vector<Message>{kOverwrite, kSaved}));
}

TEST(SaveTest, AFileThatCannotBeWrittenIsReportedAndLeavesNothingBehind) {
    struct Case {
        const char* name;
        std::string subPath;  // under the scratch directory
        std::vector<MsgAnswer> answers;
        std::vector<Message> questions;
    };
    const Case cases[] = {
        // A folder is refused before the overwrite question.
        {"missing folder", "no/such/folder/read.mot", {}, {}},
        {"a folder of that name", "taken", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SavedRead read(0xC000, 0xC0FF, LowByte);
        const auto folder = read.h.scratch.Path();
        std::filesystem::create_directory(folder / "taken");
        const std::string path = (folder / c.subPath).string();
        read.h.prompts.answers.assign(c.answers.begin(), c.answers.end());
        read.Save(path);

        // The path, then the system's reason on a line of its own.
        ASSERT_EQ(read.h.prompts.messages.size(), c.questions.size() + 1);
        const Message shown = read.h.prompts.messages.back();
        const std::string head = "Can not save file!\n" + path + "\n";
        EXPECT_EQ(shown.text.substr(0, head.size()), head);
        EXPECT_GT(shown.text.size(), head.size()) << "a reason follows";
        EXPECT_EQ(shown, ReadMsg(shown.text, "ERROR", MsgIcon::Error));
        EXPECT_FALSE(read.Session().DataSaved());
        EXPECT_EQ(read.window.icon, IDI_SAVE);
        EXPECT_EQ(read.window.statusText, "Read completed.");
        // Only what the test made is there: no file, no temporary left over.
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::recursive_directory_iterator(folder)) {
            names.push_back(e.path().filename().string());
        }
        EXPECT_EQ(names, std::vector<std::string>{"taken"});

        // The data still counts as unsaved.
        read.h.prompts.Clear();
        read.Session().OnCancelCommand();
        EXPECT_EQ(read.h.prompts.messages, std::vector<Message>{kUnsavedQuestion});
    }
}

TEST(SaveTest, NothingIsAskedOrWrittenWithoutRowsOrWithoutAChosenFile) {
    // Cancelled before the first page came: no rows.
    ReadWindowRig empty;
    empty.SetRange(0xC000, 0xC0FF);
    empty.Open();
    empty.h.prompts.answers = {MsgAnswer::Yes};
    empty.Session().OnButton();
    empty.h.prompts.Clear();
    empty.Session().OnButton();
    EXPECT_EQ(empty.h.prompts.messages,
              std::vector<Message>{
                  ReadMsg("There is no data to save.", "WARNING", MsgIcon::Exclamation)});
    EXPECT_TRUE(empty.h.prompts.saveSpecs.empty());
    EXPECT_FALSE(empty.Session().DataSaved());

    // The chooser closed without a file.
    SavedRead read(0xC000, 0xC0FF, LowByte);
    read.Session().OnButton();
    EXPECT_EQ(read.h.prompts.saveSpecs.size(), 1u);
    EXPECT_TRUE(read.h.prompts.messages.empty());
    EXPECT_FALSE(read.Session().DataSaved());
    EXPECT_EQ(read.window.icon, IDI_SAVE);
}

class NoLoadView : public FileLoadView {
  public:
    void SetText(const std::string&) override {}
    void SetProgress(int) override {}
};

TEST(SaveTest, AWholeProgrammedRangeReadsBackAndLoadsBackAsTheImage) {
    constexpr std::uint32_t kStart = 0x4000;
    constexpr std::uint32_t kEnd = 0x13FFF;  // the part's whole program ROM
    const auto image = PatternBytes(kEnd - kStart + 1, 0x35);
    SavedRead read(kStart, kEnd, [&](std::uint32_t a) { return image[a - kStart]; });

    ASSERT_EQ(read.Session().Rows().size(), image.size() / 16);
    for (std::size_t i = 0; i < image.size(); ++i) {
        char cell[3];
        std::snprintf(cell, sizeof cell, "%02X", image[i]);
        ASSERT_EQ(read.Session().Rows()[i / 16][i % 16 + 1], cell) << "at " << kStart + i;
    }

    const std::string path = read.h.scratch.File("whole.mot");
    read.Save(path);
    g_filePath = path;
    FileLoadJob job(read.h.prompts, g_state.image, g_filePath, CurrentMemoryMap());
    NoLoadView loadView;
    ASSERT_TRUE(job.Run(loadView)) << ::testing::PrintToString(read.h.prompts.messages);
    EXPECT_TRUE(std::equal(image.begin(), image.end(), g_memImage.begin() + kStart));
    EXPECT_EQ(g_pageCount, image.size() / 256);
}

}  // namespace
}  // namespace o8r::test
