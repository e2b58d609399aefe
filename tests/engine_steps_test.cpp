// The one engine two ways: an operation stepped as the window steps it (one
// step per 1 ms tick) ends as the same operation run to the end, with the same
// bytes to and from the box; and two sessions on two boxes in one process
// advance side by side.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "core/operations/BoxSession.h"
#include "sim/SimulatedBox.h"
#include "support/SRecordText.h"
#include "support/ScratchDir.h"
#include "support/SessionRig.h"
#include "support/TestData.h"

namespace o8r::test {
namespace {

constexpr std::uint64_t kTick = 1'000'000;  // the window's operation timer

struct Row {
    const char* name;
    Operation operation;
    std::function<void(SessionRig&)> setUp;
    std::function<OperationResult(SessionRig&)> run;
    std::function<Pending(SessionRig&, Question)> answer;
};

// Steps the begun operation to its end as the window's timer would.
OperationResult Stepped(SessionRig& r, Operation operation,
                        const std::function<Pending(SessionRig&, Question)>& answer) {
    r.session.Begin(operation, r.Hooks());
    Pending pending = r.session.Step();
    for (int steps = 0; pending != Pending::Ended && steps < 1'000'000; ++steps) {
        if (pending == Pending::Question) {
            pending = answer(r, r.session.Asked());
            continue;
        }
        r.h.clock.Advance(kTick);
        pending = r.session.Step();
    }
    return r.session.Result();
}

TEST(EngineStepsTest, SteppedAndRunToTheEndSendTheSameBytesAndEndAlike) {
    const auto none = [](SessionRig&) {};
    const auto image = [](SessionRig& r, Question) { return r.session.AnswerImageFile(r.image); };
    const std::vector<std::uint16_t> blocks = {0x00C0, 0x0080};
    const std::vector<Row> rows = {
        {"program", Operation::Program, none,
         [](SessionRig& r) { return r.session.Program(r.image, r.Hooks()); }, image},
        {"program, the second page answered wrong", Operation::Program,
         [](SessionRig& r) {
             r.h.faults.replyAfter = CallIs("write 56");
             r.h.faults.reply = {'X'};
         },
         [](SessionRig& r) { return r.session.Program(r.image, r.Hooks()); }, image},
        {"program, the box stays busy", Operation::Program,
         [](SessionRig& r) { r.h.faults.holdCtsAfter = CallIs("write 56"); },
         [](SessionRig& r) { return r.session.Program(r.image, r.Hooks()); }, image},
        {"load over a stored image", Operation::Load,
         [](SessionRig& r) { ASSERT_TRUE(r.session.Load(r.image, r.Hooks()).Succeeded()); },
         [](SessionRig& r) { return r.session.Load(r.image, r.Hooks()); },
         [](SessionRig& r, Question question) {
             return question == Question::ReplaceStoredImage
                        ? r.session.AnswerReplaceStoredImage(false)
                        : r.session.AnswerImageFile(r.image);
         }},
        {"erase two blocks", Operation::Erase, none,
         [&](SessionRig& r) { return r.session.Erase(blocks, r.Hooks()); },
         [&](SessionRig& r, Question) { return r.session.AnswerEraseBlocks(blocks); }},
        {"blank check finds a byte", Operation::BlankCheck,
         [](SessionRig& r) { r.h.box.Target().Poke(0xC1FF, 0x00); },
         [](SessionRig& r) { return r.session.BlankCheck(0xC000, 0xC2FF, r.Hooks()); },
         [](SessionRig& r, Question) {
             return r.session.AnswerRange(AddressRange{0xC000, 0xC2FF});
         }},
        {"blank check, a page comes short", Operation::BlankCheck,
         [](SessionRig& r) {
             r.h.faults.replyAfter = CallIs("write C100");
             r.h.faults.reply = std::vector<std::uint8_t>(255, 0xFF);
         },
         [](SessionRig& r) { return r.session.BlankCheck(0xC000, 0xC2FF, r.Hooks()); },
         [](SessionRig& r, Question) {
             return r.session.AnswerRange(AddressRange{0xC000, 0xC2FF});
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SessionRig blocking;
        SessionRig stepped;
        row.setUp(blocking);
        row.setUp(stepped);
        blocking.h.ClearTrace();
        stepped.h.ClearTrace();
        const OperationResult ran = row.run(blocking);
        const OperationResult steps = Stepped(stepped, row.operation, row.answer);
        EXPECT_EQ(steps.outcome, ran.outcome) << OutcomeName(steps.outcome);
        EXPECT_EQ(steps.percent, ran.percent);
        EXPECT_EQ(steps.address, ran.address);
        EXPECT_EQ(stepped.h.DataLines(), blocking.h.DataLines());
        EXPECT_EQ(stepped.h.box.Target().Image(), blocking.h.box.Target().Image());
    }
}

TEST(EngineStepsTest, TwoSessionsOnTwoBoxesAdvanceSideBySide) {
    VirtualClock clock;
    ScratchDir scratch;
    SimulatedBox boxA(clock, {});
    SimulatedBox boxB(clock, {});
    BoxSession a(boxA, clock);
    BoxSession b(boxB, clock);
    const MemoryMap map{0x2400, 0x2C00, 0x8000, 0x10000};
    a.SetTarget({"R5F212A8SN", map});
    b.SetTarget({"R5F212A8SN", map});
    ASSERT_EQ(a.Detect().outcome, Outcome::NormalMode);
    ASSERT_EQ(b.Detect().outcome, Outcome::NormalMode);
    const std::vector<std::uint8_t> bytesA = PatternBytes(4 * 256);
    const std::vector<std::uint8_t> bytesB(3 * 256, 0x5A);
    const std::string imageA = scratch.Write("a.mot", SRecordImage(0xC000, bytesA));
    const std::string imageB = scratch.Write("b.mot", SRecordImage(0x8000, bytesB));

    a.Begin(Operation::Program, {});
    b.Begin(Operation::Program, {});
    Pending pendingA = a.Step();
    Pending pendingB = b.Step();
    ASSERT_EQ(pendingA, Pending::Question);
    ASSERT_EQ(pendingB, Pending::Question);
    pendingA = a.AnswerImageFile(imageA);
    pendingB = b.AnswerImageFile(imageB);
    bool bothSending = false;
    for (int tick = 0; tick < 100'000; ++tick) {
        if (pendingA == Pending::Ended && pendingB == Pending::Ended)
            break;
        bothSending = bothSending || (a.CommandsSent() > 0 && b.CommandsSent() > 0 &&
                                      pendingA != Pending::Ended && pendingB != Pending::Ended);
        clock.Advance(kTick);
        if (pendingA != Pending::Ended)
            pendingA = a.Step();
        if (pendingB != Pending::Ended)
            pendingB = b.Step();
    }
    EXPECT_TRUE(bothSending) << "the two programs were under way at the same time";
    EXPECT_EQ(a.Result().outcome, Outcome::Completed);
    EXPECT_EQ(b.Result().outcome, Outcome::Completed);
    EXPECT_TRUE(std::equal(bytesA.begin(), bytesA.end(), boxA.Target().Image().begin() + 0xC000));
    EXPECT_TRUE(std::equal(bytesB.begin(), bytesB.end(), boxB.Target().Image().begin() + 0x8000));
    // Each kept its own image: four pages and three.
    EXPECT_EQ(a.Image().pageCount, 4);
    EXPECT_EQ(b.Image().pageCount, 3);
    a.Release();
    b.Release();
}

}  // namespace
}  // namespace o8r::test
