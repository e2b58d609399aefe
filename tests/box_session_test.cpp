// The operations API against the simulated box: each operation's success and
// a few of its failures, as typed results and the messages they make.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/model/Messages.h"
#include "core/operations/BoxSession.h"
#include "core/window/SharedState.h"
#include "support/ControllerHarness.h"
#include "support/SessionRig.h"
#include "support/TestData.h"

namespace o8r::test {
namespace {

constexpr char kPart[] = "R5F212A8SN";
constexpr std::uint32_t kBase = 0xC000;

using Rig = SessionRig;

struct Row {
    const char* name;
    std::function<OperationResult(Rig&)> run;
    Outcome outcome;
    std::string firstMessage;  // empty: none shown
};

std::string FirstText(const OperationResult& result) {
    const auto messages = MessagesFor(result);
    return messages.empty() ? std::string() : messages.front().text;
}

TEST(BoxSessionTest, EachOperationEndsAsTheBoxAnswers) {
    const std::vector<Row> rows = {
        {"program", [](Rig& r) { return r.session.Program(r.image, r.Hooks()); },
         Outcome::Completed, text::kProgramCompleted},
        {"program, a page answered wrong",
         [](Rig& r) {
             r.h.faults.replyAfter = CallIs("write 56");
             r.h.faults.reply = {'X'};
             return r.session.Program(r.image, r.Hooks());
         },
         Outcome::VerifyError, text::kVerifyError},
        {"program, the box stays busy",
         [](Rig& r) {
             r.h.faults.holdCtsAfter = CallIs("write 56");
             return r.session.Program(r.image, r.Hooks());
         },
         Outcome::TimeOut, text::kTimeOutError},
        {"program, no target",
         [](Rig& r) {
             r.h.box.SetTargetPresent(false);
             return r.session.Program(r.image, r.Hooks());
         },
         Outcome::CanNotConnectTarget, text::kCanNotConnectTarget},
        {"program, a file that is not there",
         [](Rig& r) { return r.session.Program(r.image + ".gone", r.Hooks()); },
         Outcome::FileRefused, text::kCanNotOpenFile},
        {"program, cancelled",
         [](Rig& r) {
             r.cancel.Request();
             return r.session.Program(r.image, r.Hooks());
         },
         Outcome::Cancelled, "Operating is canceled.\n 0% is finished."},
        {"verify after program",
         [](Rig& r) {
             (void)r.session.Program(r.image, r.Hooks());
             return r.session.Verify(r.Hooks());
         },
         Outcome::Completed, text::kVerifyCompleted},
        {"verify, a byte changed",
         [](Rig& r) {
             (void)r.session.Program(r.image, r.Hooks());
             r.h.box.Target().Poke(0xC101, 0x00);
             return r.session.Verify(r.Hooks());
         },
         Outcome::VerifyMismatch,
         "Verify error!\nThe byte at 0x0C101 reads 0x00, 0x08 was programmed."},
        {"erase",
         [](Rig& r) {
             return r.session.Erase({0x00C0, 0x0080}, r.Hooks());
         },
         Outcome::Completed, text::kEraseCompleted},
        {"erase, refused by the box",
         [](Rig& r) {
             r.h.faults.replyAfter = CallIs("write 45");
             r.h.faults.reply = {'F'};
             return r.session.Erase({0x00C0}, r.Hooks());
         },
         Outcome::EraseError, text::kEraseError},
        {"erase ignores a cancel",
         [](Rig& r) {
             r.cancel.Request();
             return r.session.Erase({0x00C0}, r.Hooks());
         },
         Outcome::Completed, text::kEraseCompleted},
        {"blank check", [](Rig& r) { return r.session.BlankCheck(0xC000, 0xC1FF, r.Hooks()); },
         Outcome::Completed, text::kCheckAreaEmpty},
        {"blank check, data found",
         [](Rig& r) {
             r.h.box.Target().Poke(0xC105, 0x12);
             return r.session.BlankCheck(0xC000, 0xC1FF, r.Hooks());
         },
         Outcome::CheckAreaNotEmpty, text::CheckAreaNotEmptyText(0xC105)},
        {"blank check, a page comes short",
         [](Rig& r) {
             r.h.faults.replyAfter = CallIs("write 52");
             r.h.faults.reply = std::vector<std::uint8_t>(255, 0xFF);
             return r.session.BlankCheck(0xC000, 0xC1FF, r.Hooks());
         },
         Outcome::TimeOut, text::kTimeOutError},
        {"read", [](Rig& r) { return r.session.Read(0xC003, 0xC005, r.Hooks()); },
         Outcome::Completed, text::kReadCompleted},
        {"read, the box stays busy",
         [](Rig& r) {
             r.h.faults.holdCtsAfter = CallIs("write 52");
             return r.session.Read(0xC000, 0xC0FF, r.Hooks());
         },
         Outcome::ReadTimeOut, text::kReadTimeOut},
        {"load", [](Rig& r) { return r.session.Load(r.image, r.Hooks()); }, Outcome::Completed,
         text::kLoadCompleted},
        {"load over a stored image, kept",
         [](Rig& r) {
             (void)r.session.Load(r.image, r.Hooks());
             return r.session.Load(r.image, r.Hooks());
         },
         Outcome::StoreKept, ""},
        {"query, empty store", [](Rig& r) { return r.session.QueryStore(); }, Outcome::StoreEmpty,
         ""},
        {"query after a load",
         [](Rig& r) {
             (void)r.session.Load(r.image, r.Hooks());
             return r.session.QueryStore();
         },
         Outcome::StoredName, ""},
        {"update of a box in its normal firmware",
         [](Rig& r) { return r.session.Update(r.image, r.Hooks()); }, Outcome::NotInUpdateMode,
         text::kNotInUpdateMode},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Rig rig;
        const OperationResult result = row.run(rig);
        EXPECT_EQ(OutcomeName(result.outcome), std::string(OutcomeName(row.outcome)));
        EXPECT_EQ(FirstText(result), row.firstMessage);
        EXPECT_FALSE(result.resetFailed);
        EXPECT_EQ(result.Succeeded(), row.outcome == Outcome::Completed ||
                                          row.outcome == Outcome::StoreEmpty ||
                                          row.outcome == Outcome::StoredName);
    }
}

TEST(BoxSessionTest, ReadAndQueryCarryWhatTheBoxHolds) {
    Rig rig;
    for (std::uint32_t a = 0xC003; a <= 0xC005; ++a)
        rig.h.box.Target().Poke(a, static_cast<std::uint8_t>(a));
    const OperationResult read = rig.session.Read(0xC003, 0xC005, rig.Hooks());
    EXPECT_EQ(read.rangeStart, 0xC003u);
    EXPECT_EQ(read.data, (std::vector<std::uint8_t>{0x03, 0x04, 0x05}));

    ASSERT_TRUE(rig.session.Load(rig.image, rig.Hooks()).Succeeded());
    EXPECT_EQ(rig.session.QueryStore().storedName, "image");
}

TEST(BoxSessionTest, DetectFindsTheModeAndUpdatesALoader) {
    SimOptions options;
    options.updateMode = true;
    Rig rig(options);
    EXPECT_EQ(rig.session.Detect().outcome, Outcome::FirmwareUpdateMode);
    EXPECT_EQ(rig.session.Target().map, kFirmwareUpdateMap);
    const OperationResult update =
        rig.session.Update(SourcePath("data/firmware-sample.mot"), rig.Hooks());
    EXPECT_EQ(OutcomeName(update.outcome), std::string("Completed"));
    EXPECT_EQ(FirstText(update), text::kUpdateCompleted);
    rig.session.Release();
}

}  // namespace
}  // namespace o8r::test
