// The simulated box judges the PC: what the hardware would lose is lost, and
// each broken rule is recorded once, in the box's list and in a trace.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "core/link/TracingBridge.h"
#include "sim/SimFaults.h"
#include "support/SimRig.h"

namespace o8r::test {
namespace {

constexpr std::uint64_t kMs = kNsPerMs;

Bytes LoadHeader() {
    Bytes header = {'D', 1, 0};
    header.resize(3 + 7, 0xFF);
    header.resize(3 + 7 + 16, ' ');
    header.push_back(0x00);
    return header;
}

TEST(SimStrictTest, WhatTheHardwareWouldLoseGetsNoAnswerAndIsRecorded) {
    struct Case {
        const char* name;
        void (*provoke)(SimRig&);
        std::size_t answers;  // bytes the host finds afterwards
        std::vector<std::string> violations;
    };
    const Case cases[] = {
        {"'C' with RTS off",
         [](SimRig& rig) {
             rig.box.SetFlowControl(rig.handle, 0, 0, 0, 0, 0, false);
             rig.Send({'C'});
         },
         0,
         {"byte 43 written with RTS inactive"}},
        {"two 'V' back to back",
         [](SimRig& rig) {
             ASSERT_TRUE(rig.Unlock());
             for (int i = 0; i < 2; ++i) {
                 rig.Send({'V'});
                 rig.Send(RecordBytes(FilledRecord(0x40, 0x00)));
             }
         },
         1,
         {"byte 56 starts a command while the box is busy (CTS high)",
          "byte 40 starts a command while the box is busy (CTS high)"}},
        {"a Load record before the header's answer",
         [](SimRig& rig) {
             rig.Send(LoadHeader());
             rig.Send(RecordBytes(FilledRecord(0xC0, 0x00)));
         },
         1,
         {"byte C0 starts a command while the box is busy (CTS high)"}},
        {"'D' inside a target session",
         [](SimRig& rig) {
             ASSERT_TRUE(rig.Unlock());
             rig.Send(LoadHeader());
         },
         0,
         {"'D' inside a target session ('C' answered since the last reset): no answer"}},
    };
    for (const Case& c : cases) {
        SimRig rig;
        rig.Attach();
        c.provoke(rig);
        rig.clock.Advance(1000 * kMs);
        EXPECT_EQ(rig.Queued(), c.answers) << c.name;
        EXPECT_EQ(rig.TakeViolations(), c.violations) << c.name;
    }
}

TEST(SimStrictTest, TheBoxTakesTheNextCommandOnceItsAnswerIsOut) {
    SimRig rig;
    rig.Attach();
    ASSERT_TRUE(rig.Unlock());
    for (std::uint16_t page : {0x40, 0x41}) {
        rig.Send({'V'});
        rig.Send(RecordBytes(FilledRecord(page, 0x00)));
        EXPECT_EQ(rig.Answer(1), Bytes{'O'}) << page;
    }
    EXPECT_EQ(rig.box.Target().Byte(0x4100), 0x00);
}

TEST(SimStrictTest, TheTraceShowsEachViolationAfterTheCallThatBrokeTheRule) {
    SimRig rig;
    rig.Attach();
    std::ostringstream out;
    TracingBridge tracing(rig.box, out);
    std::uint8_t status = 0;
    tracing.GetModemStatus(rig.handle, status);
    const std::uint8_t bytes[] = {'C', 'C'};
    std::uint32_t written = 0;
    tracing.Write(rig.handle, bytes, 2, written);
    tracing.Write(rig.handle, bytes, 1, written);
    EXPECT_EQ(out.str(),
              "modem -> 00\n"
              "write 2 4343 -> 2\n"
              "! violation: byte 43 starts a command while the box is busy (CTS high)\n"
              "write 1 43 -> 1\n"
              "! violation: byte 43 starts a command while the box is busy (CTS high)\n");
    EXPECT_EQ(rig.TakeViolations().size(), 2u) << "the box keeps its list for the tests";
}

// The faults that keep a live box busy or change one answer act once, where
// they are aimed, and leave the box working afterwards.
TEST(SimStrictTest, BusyAndAnswerFaultsActOnceWhereTheyAreAimed) {
    struct Case {
        const char* fault;
        std::uint64_t extraNs;  // how much longer the first 'C' keeps CTS high
        std::uint8_t firstAnswer;
    };
    for (const Case& c :
         {Case{"busy-at:connect:700", 700 * kMs, 'O'}, Case{"answer:connect:58", 0, 0x58},
          Case{"answer:handshake:54", 0, 'O'}}) {
        SimOptions options;
        ASSERT_EQ(ParseSimFault(c.fault, options), "");
        SimRig rig(options);
        rig.Attach();
        for (int round = 0; round < 2; ++round) {
            const std::uint64_t sent = rig.clock.Now();
            rig.Send({'C'});
            const Bytes answer = rig.Answer(1);
            const std::uint64_t took = rig.clock.Now() - sent;
            const bool first = round == 0;
            EXPECT_EQ(answer, Bytes{first ? c.firstAnswer : std::uint8_t{'O'}}) << c.fault;
            EXPECT_EQ(took >= c.extraNs && c.extraNs > 0, first && c.extraNs > 0) << c.fault;
        }
    }
}

TEST(SimStrictTest, BusyAtPageHoldsCtsOnALiveBox) {
    SimOptions options;
    ASSERT_EQ(ParseSimFault("busy-at-page:2:3000", options), "");
    SimRig rig(options);
    rig.Attach();
    ASSERT_TRUE(rig.Unlock());
    rig.Send({'R'});
    rig.Send(Le16Bytes(0x40));
    EXPECT_EQ(rig.Answer(256).size(), 256u);
    rig.Send({'R'});
    rig.Send(Le16Bytes(0x41));
    rig.clock.Advance(2900 * kMs);
    EXPECT_TRUE(rig.CtsHigh()) << "busy, not gone";
    EXPECT_FALSE(rig.box.IsUnplugged());
    EXPECT_EQ(rig.Answer(256).size(), 256u);
}

TEST(SimStrictTest, TheDeviceCountFollowsItsSequenceThenStays) {
    SimOptions options;
    ASSERT_EQ(ParseSimFault("count-sequence:1,2,0,1", options), "");
    VirtualClock clock;
    SimulatedBox box(clock, options);
    std::vector<std::uint32_t> seen;
    for (int i = 0; i < 6; ++i) {
        std::uint32_t count = 9;
        box.GetDeviceCount(count);
        seen.push_back(count);
    }
    EXPECT_EQ(seen, (std::vector<std::uint32_t>{1, 2, 0, 1, 1, 1}));
}

TEST(SimStrictTest, TimingProfilesOrderEveryPieceOfWork) {
    const SimTimings fast = TimingsFor(SimTimingProfile::Fast);
    const SimTimings typical = TimingsFor(SimTimingProfile::Typical);
    const SimTimings slow = TimingsFor(SimTimingProfile::Slow);
    auto fields = [](const SimTimings& t) {
        return std::vector<std::uint64_t>{t.bootNs,        t.commandNs,      t.pageProgramNs,
                                          t.blockEraseNs,  t.pageReadNs,     t.storeRecordNs,
                                          t.loaderEraseNs, t.loaderProgramNs};
    };
    const auto f = fields(fast);
    const auto t = fields(typical);
    const auto s = fields(slow);
    for (std::size_t i = 0; i < f.size(); ++i) {
        EXPECT_LT(f[i], t[i]) << i;
        EXPECT_LT(t[i], s[i]) << i;
    }
    EXPECT_EQ(fields(SimTimings{}), t) << "typical is the default";
    EXPECT_EQ(ParseTimingProfile("slow"), SimTimingProfile::Slow);
    EXPECT_FALSE(ParseTimingProfile("Slow").has_value());
}

}  // namespace
}  // namespace o8r::test
