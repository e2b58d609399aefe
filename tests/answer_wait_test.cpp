// Waiting on the box's answer itself: a wait ends the moment the answer is
// ready (not a look later), stops at its deadline, falls back to short looks
// on a bridge that cannot wait, and leaves the bytes, outcomes, cancel and
// time-outs of every operation as they were.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/link/BoxLink.h"
#include "core/operations/BoxSession.h"
#include "core/window/SharedState.h"
#include "support/ControllerHarness.h"
#include "support/SRecordText.h"
#include "support/ScratchDir.h"

namespace o8r::test {
namespace {

constexpr char kPart[] = "R5F212A8SN";
constexpr std::uint64_t kByteNs = 20'000;  // 10 bits at 500000 baud
constexpr std::uint64_t kLoaderByteNs = 10'000'000'000ULL / 19200;

// The harness's box found and started, and the window's link to it.
struct LinkRig {
    ControllerHarness h;
    BoxLink& link = ControllerTestAccess::m_link(h.controller);

    explicit LinkRig(SimOptions options = {}) : h(std::move(options)) { h.Start(); }
    bool ConnectTarget() {
        return link.Reset() &&
               link.Connect(Handshake::Target, g_idCode).outcome == Outcome::Completed;
    }
};

TEST(AnswerWaitTest, EndsTheMomentTheAnswerIsReady) {
    const SimTimings timings;
    struct Row {
        const char* name;
        std::function<void(BoxLink&)> send;
        std::uint64_t readyAfterNs;  // from the moment the last byte has reached the box
    };
    const std::vector<Row> rows = {
        {"page program",
         [](BoxLink& link) {
             PageRecord record{};
             record[0] = 0xC0;
             (void)link.SendPageRecord(record, true);
         },
         timings.pageProgramNs + kByteNs},
        {"page read", [](BoxLink& link) { (void)link.SendPageCommand(cmd::kReadPage, 0xC0); },
         timings.pageReadNs + 256 * kByteNs},
        {"block erase", [](BoxLink& link) { (void)link.SendPageCommand(cmd::kEraseBlock, 0xC0); },
         timings.blockEraseNs + kByteNs},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        LinkRig rig;
        ASSERT_TRUE(rig.ConnectTarget());
        row.send(rig.link);
        const std::uint64_t ready = rig.h.clock.Now() + row.readyAfterNs;
        // A moment short of it the answer is not there yet, and the wait ends at its deadline.
        EXPECT_FALSE(rig.link.AwaitAnswer(AnswerSignal::CtsLow, ready - 1));
        EXPECT_EQ(rig.h.clock.Now(), ready - 1);
        EXPECT_TRUE(rig.link.AwaitAnswer(AnswerSignal::CtsLow, ready + 1'000'000'000));
        EXPECT_EQ(rig.h.clock.Now(), ready);
    }
}

TEST(AnswerWaitTest, TheLoaderEchoIsAwaitedByReceivedBytes) {
    SimOptions options;
    options.updateMode = true;
    LinkRig rig(options);
    ASSERT_TRUE(rig.link.ConfigureLine(kLoaderBaud));
    for (int i = 0; i < loader::kSyncCount; ++i)
        ASSERT_TRUE(rig.link.Write(std::array{loader::kSync}));
    ASSERT_TRUE(rig.link.Write(std::array{loader::kBaudCheck}));
    const std::uint64_t ready = rig.h.clock.Now() + kLoaderByteNs;
    EXPECT_TRUE(rig.link.AwaitAnswer(AnswerSignal::BytesQueued, ready + 1'000'000'000));
    EXPECT_EQ(rig.h.clock.Now(), ready);
}

TEST(AnswerWaitTest, AnAnswerThatNeverComesEndsAtTheDeadline) {
    struct Row {
        const char* name;
        bool ctsStuck;
        bool cannotWait;
        AnswerSignal signal;
    };
    const Row rows[] = {
        {"CTS stuck high", true, false, AnswerSignal::CtsLow},
        {"CTS stuck high, a bridge that cannot wait", true, true, AnswerSignal::CtsLow},
        {"no bytes", false, false, AnswerSignal::BytesQueued},
        {"no bytes, a bridge that cannot wait", false, true, AnswerSignal::BytesQueued},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SimOptions options;
        options.faults.ctsStuckHigh = row.ctsStuck;
        LinkRig rig(options);
        rig.h.faults.cannotWait = row.cannotWait;
        const std::uint64_t until = rig.h.clock.Now() + 1'234'567;
        EXPECT_FALSE(rig.link.AwaitAnswer(row.signal, until));
        EXPECT_EQ(rig.h.clock.Now(), until);
    }
}

TEST(AnswerWaitTest, ABridgeThatCannotWaitIsLookedAtAfterShortSleeps) {
    LinkRig rig;
    ASSERT_TRUE(rig.ConnectTarget());
    rig.h.faults.cannotWait = true;
    (void)rig.link.SendPageCommand(cmd::kReadPage, 0xC0);
    const std::uint64_t sent = rig.h.clock.Now();
    const std::uint64_t work = SimTimings{}.pageReadNs + 256 * kByteNs;
    const auto look = static_cast<std::uint64_t>(kAnswerLook.count());
    rig.h.ClearTrace();
    EXPECT_TRUE(rig.link.AwaitAnswer(AnswerSignal::CtsLow, sent + 1'000'000'000));
    // The first look after the answer is ready, one look per short sleep.
    const std::uint64_t sleeps = (work + look - 1) / look;
    EXPECT_EQ(rig.h.clock.Now(), sent + sleeps * look);
    EXPECT_EQ(CountStarting(rig.h.TraceLines(), "modem"), sleeps + 1);
}

// The operations API on the harness's box, from a started box with the part selected.
struct SessionRig {
    ControllerHarness h;
    BoxSession session{h.bridge, h.clock};
    std::string image;

    explicit SessionRig(bool cannotWait) {
        EXPECT_TRUE(h.StartWithPart(kPart));
        session.SetTarget(h.WindowTarget());
        EXPECT_EQ(session.Detect().outcome, Outcome::NormalMode);
        image = h.WriteImage("image.mot", 0xC000, PatternBytes(3 * 256));
        h.faults.cannotWait = cannotWait;
    }
};

TEST(AnswerWaitTest, OperationsSendTheSameBytesWhetherTheBridgeWaitsOrNot) {
    struct Row {
        const char* name;
        std::function<OperationResult(SessionRig&)> run;
        Outcome outcome;
    };
    const std::vector<Row> rows = {
        {"program then verify",
         [](SessionRig& r) {
             (void)r.session.Program(r.image, {});
             return r.session.Verify({});
         },
         Outcome::Completed},
        {"program, the second page refused",
         [](SessionRig& r) {
             r.h.faults.replyAfter = CallIs("write 56");
             r.h.faults.reply = {'F'};
             return r.session.Program(r.image, {});
         },
         Outcome::VerifyError},
        {"erase",
         [](SessionRig& r) {
             return r.session.Erase({0x00C0, 0x0080}, {});
         },
         Outcome::Completed},
        {"blank check", [](SessionRig& r) { return r.session.BlankCheck(0xC000, 0xC2FF, {}); },
         Outcome::Completed},
        {"read", [](SessionRig& r) { return r.session.Read(0xC010, 0xC2EF, {}); },
         Outcome::Completed},
        {"read, the box stays busy",
         [](SessionRig& r) {
             r.h.faults.holdCtsAfter = CallIs("write 52");
             return r.session.Read(0xC000, 0xC1FF, {});
         },
         Outcome::ReadTimeOut},
        {"load", [](SessionRig& r) { return r.session.Load(r.image, {}); }, Outcome::Completed},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ResetSharedState();
        SessionRig waiting(false);
        const OperationResult waited = row.run(waiting);
        ResetSharedState();
        SessionRig looking(true);
        const OperationResult looked = row.run(looking);
        EXPECT_EQ(waited.outcome, row.outcome);
        EXPECT_EQ(looked.outcome, row.outcome);
        EXPECT_EQ(waited.data, looked.data);
        EXPECT_EQ(waiting.h.DataLines(), looking.h.DataLines());
        // Waiting on the answer never takes longer than looking for it.
        EXPECT_LE(waiting.h.clock.Now(), looking.h.clock.Now());
    }
}

// A virtual clock that requests a cancel once it reaches a chosen moment, as
// Ctrl-C would while the box works.
class CancellingClock final : public Clock {
  public:
    std::uint64_t Now() override { return m_now; }
    void SleepFor(std::uint64_t ns) override {
        m_now += ns;
        if (token != nullptr && m_now >= requestAt) {
            token->Request();
            token = nullptr;
        }
    }
    CancelToken* token = nullptr;
    std::uint64_t requestAt = 0;

  private:
    std::uint64_t m_now = 0;
};

// Notes when a page was sent and when the program phase ended, and answers a
// cancel question (noting when it came).
class Observer final : public OperationListener, public OperationQuestions {
  public:
    explicit Observer(CancellingClock& clock) : m_clock(clock) {}
    void PhaseStarted(Phase phase) override { m_programming = phase == Phase::Program; }
    // Reported right after each page was sent.
    void Progress(int) override {
        if (!m_programming || sentAt != 0)
            return;
        sentAt = m_clock.Now();
        if (cancelAfterNs != 0) {
            m_clock.token = token;
            m_clock.requestAt = m_clock.Now() + cancelAfterNs;
        }
    }
    void PhaseEnded(Phase phase) override {
        if (phase == Phase::Program)
            endedAt = m_clock.Now();
    }
    bool ReplaceStoredImage(const std::string&) override { return false; }
    bool ConfirmCancel(Operation) override {
        askedAt = m_clock.Now();
        return true;
    }

    CancelToken* token = nullptr;
    std::uint64_t cancelAfterNs = 0;
    std::uint64_t sentAt = 0;
    std::uint64_t askedAt = 0;
    std::uint64_t endedAt = 0;

  private:
    CancellingClock& m_clock;
    bool m_programming = false;
};

// A Program of two pages whose first page keeps the box busy `extraNs`
// longer; a cancel is requested `cancelAfterNs` after it was sent (0: none).
struct LongPageRun {
    CancellingClock clock;
    CancelToken token;
    Observer observer{clock};
    OperationResult result;

    LongPageRun(std::uint64_t extraNs, std::uint64_t cancelAfterNs) {
        SimOptions options;
        options.faults.busyAtPage = 1;
        options.faults.busyExtraNs = extraNs;
        SimulatedBox box(clock, options);
        BoxSession session(box, clock);
        ScratchDir scratch;
        const std::string image =
            scratch.Write("image.mot", SRecordImage(0xC000, PatternBytes(512)));
        session.SetTarget({kPart, MemoryMap{0x2400, 0x2C00, 0x8000, 0x10000}});
        EXPECT_EQ(session.Detect().outcome, Outcome::NormalMode);
        observer.token = &token;
        observer.cancelAfterNs = cancelAfterNs;
        result = session.Program(image, {&observer, &token, &observer});
        session.Release();
    }
};

TEST(AnswerWaitTest, CancelAndTimeOutStillEndALongWait) {
    constexpr std::uint64_t kSecond = 1'000'000'000;
    {
        SCOPED_TRACE("Ctrl-C while the box works on a page for a second");
        const LongPageRun run(kSecond, 300'000'000);
        EXPECT_EQ(run.result.outcome, Outcome::Cancelled);
        // Noticed within one cancel look of the request, long before the answer.
        EXPECT_GE(run.observer.askedAt, run.observer.sentAt + 300'000'000);
        EXPECT_LE(run.observer.askedAt, run.observer.sentAt + 310'000'000);
    }
    {
        SCOPED_TRACE("a page the box works on past its allowance");
        const LongPageRun run(10 * kSecond, 0);
        EXPECT_EQ(run.result.outcome, Outcome::TimeOut);
        EXPECT_EQ(run.observer.askedAt, 0u);
        // The wait gives up exactly when the page's allowance of 100 ticks of
        // 15.625 ms has run out.
        EXPECT_EQ(run.observer.endedAt - run.observer.sentAt, 1'562'500'000u);
    }
}

}  // namespace
}  // namespace o8r::test
