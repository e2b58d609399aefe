// The read-back check after Program: every programmed page read again with 'R'
// and compared, against the simulated box on the virtual clock.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/model/Messages.h"
#include "core/operations/BoxSession.h"
#include "core/operations/VerifyPages.h"
#include "core/window/SharedState.h"
#include "support/ControllerHarness.h"

namespace o8r::test {
namespace {

constexpr char kPart[] = "R5F212A8SN";
constexpr std::uint32_t kBase = 0xC000;

const std::vector<std::uint8_t> kImage = PatternBytes(3 * 256);

// Page `index` of the image in upper-case hexadecimal, as the trace shows it.
std::string PageHex(std::size_t index) {
    std::string hex;
    for (std::size_t k = 0; k < 256; ++k) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", kImage[index * 256 + k]);
        hex += digits;
    }
    return hex;
}

std::string MismatchText(std::uint32_t address, std::uint8_t actual) {
    char text[96];
    std::snprintf(text, sizeof text,
                  "Verify error!\nThe byte at 0x%05X reads 0x%02X, 0x%02X was programmed.",
                  static_cast<unsigned>(address), actual, kImage[address - kBase]);
    return text;
}

// The harness with three pages programmed at 0xC000 and the trace cleared.
struct Programmed {
    ControllerHarness h;
    std::string image;

    explicit Programmed(SimOptions options = {}) : h(options) {
        EXPECT_TRUE(h.StartWithPart(kPart));
        image = h.WriteImage("image.mot", kBase, kImage);
        h.ChooseFile(image);
        h.controller.OnProgram();
        h.RunUntilIdle();
        EXPECT_EQ(h.prompts.Texts(), std::vector<std::string>{text::kProgramCompleted});
        h.prompts.Clear();
        h.ClearTrace();
    }

    struct Listener : OperationListener {
        std::vector<int> seen;
        void Progress(int percent) override { seen.push_back(percent); }
    } progress;

    // The read-back of the image (or of none) as the operations API runs it,
    // its messages shown.
    bool Verify(bool withImage = true) {
        BoxSession session(h.bridge, h.clock);
        session.SetTarget(h.WindowTarget());
        EXPECT_EQ(session.Detect().outcome, Outcome::NormalMode);
        h.ClearTrace();
        if (withImage) {
            EXPECT_TRUE(session.UseImage(image, {}).Succeeded());
        }
        const OperationResult result = session.Verify({&progress, nullptr, nullptr});
        for (const Message& message : MessagesFor(result))
            h.prompts.ShowMessage(message);
        return result.Succeeded();
    }

    // The page requests the box received: "write 2 C000" is page 0x00C0.
    std::vector<std::string> Requests() const {
        std::vector<std::string> requests;
        const auto lines = h.DataLines();
        for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
            if (lines[i] == "write 1 52 -> 1") {
                requests.push_back(lines[i + 1]);
            }
        }
        return requests;
    }
};

TEST(VerifyPagesTest, ProgrammedPagesReadBackEqual) {
    Programmed run;
    EXPECT_TRUE(run.Verify());

    EXPECT_EQ(run.Requests(), (std::vector<std::string>{"write 2 C000 -> 2", "write 2 C100 -> 2",
                                                        "write 2 C200 -> 2"}));
    // The bar at 0, then a step before each page.
    EXPECT_EQ(run.progress.seen, (std::vector<int>{0, 0, 33, 66}));
    EXPECT_EQ(run.h.prompts.messages,
              std::vector<Message>{MainMsg(text::kVerifyCompleted, "INFO", MsgIcon::None)});
    // The box is reset afterwards and the window idle again.
    const auto lines = run.h.TraceLines();
    const auto lastRead = std::find(lines.rbegin(), lines.rend(), "read 256 -> " + PageHex(2));
    ASSERT_NE(lastRead, lines.rend());
    EXPECT_NE(std::find(lines.rbegin(), lastRead, "flow 0 0 1 0 0 0"), lastRead);
}

TEST(VerifyPagesTest, EveryWayOfFailingNamesItsCause) {
    struct Case {
        const char* name;
        std::function<void(Programmed&)> spoil;
        std::string message;
        std::size_t requests;  // page requests sent before the check stopped
    };
    const std::vector<Case> cases = {
        {"a flash byte changed after programming",
         [](Programmed& r) { r.h.box.Target().Poke(0xC112, 0x00); }, MismatchText(0xC112, 0x00), 2},
        {"the last byte of the last page changed",
         [](Programmed& r) { r.h.box.Target().Poke(0xC2FF, kImage[0x2FF] ^ 0x01); },
         MismatchText(0xC2FF, kImage[0x2FF] ^ 0x01), 3},
        {"the box stays busy after a request",
         [](Programmed& r) { r.h.faults.holdCtsAfter = CallIs("write C100"); }, text::kTimeOutError,
         2},
        {"a page arrives short",
         [](Programmed& r) {
             r.h.faults.replyAfter = CallIs("write C000");
             r.h.faults.reply = std::vector<std::uint8_t>(255, 0x00);
         },
         text::kTimeOutError, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Programmed run;
        c.spoil(run);
        EXPECT_FALSE(run.Verify());
        EXPECT_EQ(run.Requests().size(), c.requests);
        EXPECT_EQ(run.h.prompts.messages,
                  std::vector<Message>{MainMsg(c.message, "ERROR", MsgIcon::Error)});
    }
}

TEST(VerifyPagesTest, FailedConnectReadsNothing) {
    Programmed run;
    run.h.box.SetTargetPresent(false);
    EXPECT_FALSE(run.Verify());
    EXPECT_TRUE(run.Requests().empty());
    EXPECT_EQ(run.h.prompts.Texts(), std::vector<std::string>{text::kCanNotConnectTarget});
}

TEST(VerifyPagesTest, OutcomeWithoutRecordsIsAMatch) {
    Programmed run;
    EXPECT_TRUE(run.Verify(false));
    EXPECT_EQ(run.h.prompts.Texts(), std::vector<std::string>{text::kVerifyCompleted});
}

TEST(VerifyPagesTest, MessagesOfEachOutcome) {
    using Kind = VerifyOutcome::Kind;
    struct Case {
        VerifyOutcome outcome;
        Message message;
    };
    const Case cases[] = {
        {{Kind::Match, 4, 0, 0, 0}, MainMsg(text::kVerifyCompleted, "INFO", MsgIcon::None)},
        {{Kind::Mismatch, 0, 0x4000, 0xFF, 0x7F},
         MainMsg("Verify error!\nThe byte at 0x04000 reads 0x7F, 0xFF was programmed.", "ERROR",
                 MsgIcon::Error)},
        {{Kind::Mismatch, 9, 0xFFFFF, 0x01, 0x00},
         MainMsg("Verify error!\nThe byte at 0xFFFFF reads 0x00, 0x01 was programmed.", "ERROR",
                 MsgIcon::Error)},
        {{Kind::TimedOut, 1, 0xC100, 0, 0}, MainMsg(text::kTimeOutError, "ERROR", MsgIcon::Error)},
        {{Kind::ShortPage, 0, 0xC000, 0, 0}, MainMsg(text::kTimeOutError, "ERROR", MsgIcon::Error)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MessageFor(VerifyResult(c.outcome)), c.message);
    }
}

}  // namespace
}  // namespace o8r::test
