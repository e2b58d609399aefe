// The terminal side of o8rprog: where messages go, how questions are
// answered, the progress line, the hex dump and the memory map as printed.

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CatalogueAccess.h"
#include "cli/CheckedOutput.h"
#include "cli/ExitStatus.h"
#include "cli/HexDump.h"
#include "cli/ProgramPath.h"
#include "cli/ProgressBar.h"
#include "cli/TerminalPrompts.h"
#include "core/model/Ids.h"
#include "core/operations/EraseBlockChoice.h"
#include "core/window/TimerSchedule.h"
#include "support/TestData.h"

namespace o8r::cli {
namespace {

// A bar on a string stream whose clock the test moves.
struct Bar {
    std::ostringstream out;
    std::uint64_t now = 0;
    ProgressBar bar;
    explicit Bar(bool enabled = true) : bar(out, enabled, [this] { return now; }) {}
};

TEST(ProgressBarTest, RendersLabelBarPercentAndSeconds) {
    struct Case {
        int percent;
        double seconds;
        const char* line;
    };
    const Case cases[] = {
        {0, 0.0, "Program |                    |   0%  0.0 s"},
        {5, 0.04, "Program |#                   |   5%  0.0 s"},
        {50, 0.8, "Program |##########          |  50%  0.8 s"},
        {99, 12.34, "Program |################### |  99%  12.3 s"},
        {100, 1.0, "Program |####################| 100%  1.0 s"},
        {-3, 0.0, "Program |                    |   0%  0.0 s"},
        {250, 0.0, "Program |####################| 100%  0.0 s"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProgressBar::Render("Program", c.percent, c.seconds), c.line) << c.percent;
    }
}

TEST(ProgressBarTest, RedrawsInPlaceOnlyWhenTheLineChanges) {
    Bar b;
    b.bar.SetLabel("Erase");
    b.now = 5'000'000'000;
    b.bar.Begin();
    b.bar.Update(0);  // the same line: nothing more
    b.now += 300'000'000;
    b.bar.Update(33);
    b.bar.End();
    EXPECT_EQ(b.out.str(),
              "\rErase |                    |   0%  0.0 s\x1b[K"
              "\rErase |######              |  33%  0.3 s\x1b[K"
              "\r\x1b[K");
    EXPECT_FALSE(b.bar.Active());
}

TEST(ProgressBarTest, WithoutLineClearingBlanksOverwriteTheOldLine) {
    Bar b;
    b.bar.SetLineClearing(false);
    b.bar.SetLabel("Read");
    b.now = 100'000'000'000;  // a longer time first, then a shorter line
    b.bar.Begin();
    b.now += 12'300'000'000;
    b.bar.Update(100);
    b.bar.SetLabel("R");
    b.bar.Update(5);
    b.bar.End();
    const std::string first = "Read |                    |   0%  0.0 s";
    const std::string second = "Read |####################| 100%  12.3 s";
    const std::string third = "R |#                   |   5%  12.3 s";
    EXPECT_EQ(b.out.str(), "\r" + first + "\r" + second + "\r" + third +
                               std::string(second.size() - third.size(), ' ') + "\r" +
                               std::string(third.size(), ' ') + "\r");
    EXPECT_EQ(b.out.str().find('\x1b'), std::string::npos);
}

TEST(ProgressBarTest, SuspendClearsTheLineAndTheNextUpdateRedraws) {
    Bar b;
    b.bar.Begin();
    b.bar.Suspend();
    b.bar.Suspend();  // nothing drawn: nothing to clear
    b.bar.Update(0);
    EXPECT_EQ(b.out.str(),
              "\rWorking |                    |   0%  0.0 s\x1b[K"
              "\r\x1b[K"
              "\rWorking |                    |   0%  0.0 s\x1b[K");
}

TEST(ProgressBarTest, DisabledBarWritesNothing) {
    Bar b(false);
    b.bar.Begin();
    b.bar.Update(40);
    b.bar.Suspend();
    b.bar.End();
    EXPECT_EQ(b.out.str(), "");
}

// Prompts over string streams, with a bar that is never drawn.
struct Terminal {
    std::ostringstream out;
    std::ostringstream err;
    std::istringstream in;
    Bar bar{false};
    TerminalPrompts prompts;
    Terminal(bool interactive, bool yes, const std::string& input = "")
        : in(input), prompts(out, err, in, interactive, yes, bar.bar) {}
};

Message Question(const std::string& text) {
    return Message{text, "WARNING", MsgIcon::Question, MsgButtons::YesNo, Owner::MainWindow};
}

TEST(TerminalPromptsTest, CompletionToStdoutEverythingElseToStderrWithCaption) {
    Terminal t(false, false);
    t.prompts.ShowMessage(Message{"Program successfully completed.", "INFO"});
    t.prompts.ShowMessage(Message{"Check area is not empty.\nThe first filled address is 0x0C000.",
                                  "INFO", MsgIcon::Exclamation});
    t.prompts.ShowMessage(Message{"Verify error!", "ERROR", MsgIcon::Error});
    t.prompts.ShowMessage(Message{"Please reset programmer!", "Error", MsgIcon::Error});
    t.prompts.ShowMessage(Message{"You haven't selected erase block.", "WARNING"});
    EXPECT_EQ(t.out.str(),
              "Program successfully completed.\n"
              "Check area is not empty.\nThe first filled address is 0x0C000.\n");
    EXPECT_EQ(t.err.str(),
              "ERROR: Verify error!\n"
              "Error: Please reset programmer!\n"
              "WARNING: You haven't selected erase block.\n");
    EXPECT_TRUE(t.prompts.WasShown("Verify error!"));
    EXPECT_EQ(t.prompts.Shown().size(), 5u);
}

TEST(TerminalPromptsTest, QuestionsAnsweredByTerminalYesOrNo) {
    struct Case {
        const char* name;
        bool interactive;
        bool yes;
        const char* input;
        MsgAnswer answer;
        const char* echo;  // what follows the question on stderr
    };
    const Case cases[] = {
        {"--yes", false, true, "", MsgAnswer::Yes, "y (--yes)\n"},
        {"--yes beats the terminal", true, true, "n\n", MsgAnswer::Yes, "y (--yes)\n"},
        {"no terminal", false, false, "y\n", MsgAnswer::No,
         "n (no terminal to ask; --yes answers Yes)\n"},
        {"y", true, false, "y\n", MsgAnswer::Yes, ""},
        {"YES with blanks", true, false, "  YES \r\n", MsgAnswer::Yes, ""},
        {"n", true, false, "n\n", MsgAnswer::No, ""},
        {"anything else", true, false, "sure\n", MsgAnswer::No, ""},
        {"an empty line", true, false, "\n", MsgAnswer::No, ""},
        {"end of input", true, false, "", MsgAnswer::No, "\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Terminal t(c.interactive, c.yes, c.input);
        EXPECT_EQ(t.prompts.ShowMessage(Question("Exchange?")), c.answer);
        EXPECT_EQ(t.err.str(), std::string("WARNING: Exchange? [y/N] ") + c.echo);
        EXPECT_EQ(t.out.str(), "");
    }
}

TEST(TerminalPromptsTest, ProgramAnswersComeBeforeThePersons) {
    Terminal t(true, false, "n\nn\n");
    // A cancel asked for by Ctrl-C is answered once, then the terminal again.
    t.prompts.nextAnswer = MsgAnswer::Yes;
    EXPECT_EQ(t.prompts.ShowMessage(Question("Are you sure to cancel operation?")), MsgAnswer::Yes);
    EXPECT_EQ(t.prompts.ShowMessage(Question("Are you sure to cancel operation?")), MsgAnswer::No);
}

TEST(TerminalPromptsTest, FilesNamedOnTheCommandLineBecomeFullPathsAndDialogsStayClosed) {
    EXPECT_EQ(FullPath("image.mot"), (std::filesystem::current_path() / "image.mot").string());
    // Already absolute on this platform, so handed over as it is.
    const std::string back = (std::filesystem::temp_directory_path() / "back.mot").string();
    EXPECT_EQ(FullPath(back), back);
    Terminal t(false, false);
    EXPECT_FALSE(t.prompts.ChooseOpenFile(Owner::MainWindow, FileDialogSpec{}).has_value());
    EraseBlockChoice erase(t.prompts);
    EXPECT_EQ(t.prompts.RunEraseDialog(erase), DialogResult::Cancel);
}

TEST(HexDumpTest, RowsOfARangeShowCellsOutsideItAsBlanks) {
    const std::vector<std::uint8_t> bytes = {0xF8, 0xF9, 0xFA, 0xFB, 0xFC,
                                             0xFD, 0xFE, 0xFF, 0x00, 0x01};
    EXPECT_EQ(FormatDump(FormatReadRows(0xC0F8, bytes)),
              "ADDRESS  +0 +1 +2 +3 +4 +5 +6 +7 +8 +9 +A +B +C +D +E +F\n"
              " 00C0F0                          F8 F9 FA FB FC FD FE FF\n"
              " 00C100  00 01\n");
    EXPECT_EQ(FormatDump({}), "ADDRESS  +0 +1 +2 +3 +4 +5 +6 +7 +8 +9 +A +B +C +D +E +F\n");
}

TEST(CatalogueAccessTest, MemoryMapsPrintInclusiveAddressRanges) {
    struct Case {
        MemoryMap map;
        const char* text;
    };
    const Case cases[] = {
        {{0, 0, 0x4000, 0x14000}, "04000-13FFF"},
        {{0x2400, 0x2C00, 0x4000, 0x24000}, "02400-02BFF 04000-23FFF"},
        {{0, 0, 0xFE000, 0x100000}, "FE000-FFFFF"},
        {{0x2400, 0x2400, 0x4000, 0x4000}, "(none)"},
        {{}, "(none)"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatMemoryMap(c.map), c.text);
    }
}

TEST(CatalogueAccessTest, PartsAreFoundWithTrailingBlanksIgnored) {
    const auto lines = ReadCatalogueLines(test::SourcePath("data/MCUType.mcu"));
    ASSERT_TRUE(lines.has_value());
    const SelectedPart part = ResolvePart(*lines, "R5F212B8SN  ");
    EXPECT_EQ(part.record.part, "R5F212B8SN");
    EXPECT_EQ(part.map, (MemoryMap{0x2400, 0x2C00, 0x4000, 0x14000}));
    EXPECT_THROW(ResolvePart(*lines, "R5F212B8S"), UsageError);
    EXPECT_THROW(ResolvePart(*lines, "r5f212b8sn"), UsageError);
    EXPECT_THROW(ResolvePart(*lines, ""), UsageError);
}

// A stream buffer that takes `room` characters and then fails as a full disk does.
class FullAfter : public std::streambuf {
  public:
    explicit FullAfter(std::size_t room) : m_room(room) {}
    const std::string& str() const { return m_text; }

  protected:
    int_type overflow(int_type c) override {
        if (m_text.size() >= m_room) {
            errno = ENOSPC;
            return traits_type::eof();
        }
        m_text += traits_type::to_char_type(c);
        return c;
    }
    std::streamsize xsputn(const char* text, std::streamsize count) override {
        std::streamsize n = 0;
        while (n < count && !traits_type::eq_int_type(overflow(text[n]), traits_type::eof()))
            ++n;
        return n;
    }

  private:
    std::size_t m_room;
    std::string m_text;
};

// Every way into a checked buffer notes the first write not taken, and only
// the first; writes that go through note nothing.
TEST(CheckedOutput, TheFirstFailedWriteIsNotedWithTheSystemsReason) {
    FullAfter roomy(1000);
    CheckedBuffer fine(&roomy, "fine output");
    std::ostream fineOut(&fine);
    fineOut << "some text" << '\n' << std::flush;
    EXPECT_EQ(roomy.str(), "some text\n");
    EXPECT_FALSE(FirstOutputFailure().has_value());

    FullAfter full(4);
    CheckedBuffer checked(&full, "the first");
    std::ostream out(&checked);
    out << "abc" << 'd';
    EXPECT_FALSE(FirstOutputFailure().has_value());
    out << 'e';
    ASSERT_TRUE(FirstOutputFailure().has_value()) << "a single character";
    EXPECT_EQ(FirstOutputFailure()->output, "the first");
    EXPECT_EQ(FirstOutputFailure()->reason, std::strerror(ENOSPC));

    FullAfter other(0);
    CheckedBuffer second(&other, "the second");
    std::ostream more(&second);
    more << "a longer text";
    EXPECT_EQ(FirstOutputFailure()->output, "the first") << "only the first is kept";
    EXPECT_EQ(FinishOutput(kExitOk), kExitFailure);
    EXPECT_EQ(FinishOutput(kExitNotBlank), kExitFailure);
}

}  // namespace
}  // namespace o8r::cli
