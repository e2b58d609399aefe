// The simulated box in normal mode: reset and boot on the CTS line, the
// target's flash, protection, the box's store, the fault switches, plugging,
// handles, time on the shared clock and the state kept between runs.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "core/catalogue/Catalogue.h"
#include "sim/SimFaults.h"
#include "sim/SimState.h"
#include "support/ScratchDir.h"
#include "support/SimRig.h"
#include "support/TestData.h"

namespace o8r::test {
namespace {

constexpr std::uint64_t kMs = kNsPerMs;
constexpr std::array<std::uint8_t, 7> kCode = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

Bytes LoadHeader(std::uint16_t count, const std::string& name, std::uint8_t last = 0x00) {
    Bytes header = Concat({{'D'}, Le16Bytes(count)});
    header.resize(3 + 7, 0xFF);
    std::string field = name;
    field.resize(16, ' ');
    header.insert(header.end(), field.begin(), field.end());
    header.push_back(last);
    return header;
}

// ---------------------------------------------------------------------------
// Reset, boot and the CTS line.

TEST(SimBoxResetTest, DtrHoldsTheBoxInResetAndItBootsAfterRelease) {
    SimRig rig;
    ASSERT_EQ(rig.box.Open(0, rig.handle), kBridgeOk);
    rig.clock.Advance(100 * kMs);
    EXPECT_FALSE(rig.CtsHigh()) << "a box plugged in long ago has booted";

    rig.AssertReset();
    EXPECT_TRUE(rig.CtsHigh());
    rig.clock.Advance(500 * kMs);
    EXPECT_TRUE(rig.CtsHigh()) << "reset held: no boot";

    rig.ReleaseReset();
    rig.clock.Advance(20 * kMs - 1);
    EXPECT_TRUE(rig.CtsHigh()) << "still booting";
    rig.clock.Advance(1);
    EXPECT_FALSE(rig.CtsHigh()) << "booted after exactly the boot time";
}

TEST(SimBoxResetTest, ReleasingAReleasedLineDoesNotRebootTheBox) {
    SimRig rig;
    rig.Attach();
    rig.ReleaseReset();  // the line set-up sets DTR inactive once more
    EXPECT_FALSE(rig.CtsHigh());
}

TEST(SimBoxResetTest, BytesSentDuringResetOrBootAreLost) {
    SimRig rig;
    rig.Attach();
    rig.AssertReset();
    rig.Send({'C'});
    rig.ReleaseReset();
    rig.Send({'C'});  // still booting
    rig.clock.Advance(100 * kMs);
    EXPECT_EQ(rig.Queued(), 0u);
    EXPECT_EQ(rig.box.LostByteCount(), 2u);
    EXPECT_TRUE(rig.box.CommandLog().empty());
    EXPECT_EQ(rig.TakeViolations(),
              (std::vector<std::string>{"byte 43 written while DTR holds the box in reset",
                                        "byte 43 written while the box starts up (CTS high)"}));
}

TEST(SimBoxResetTest, AResetAbandonsWorkButKeepsAnswersAlreadyReceived) {
    SimRig rig;
    rig.Attach();
    ASSERT_TRUE(rig.Unlock());
    rig.box.Target().Poke(0x4000, 0x00);
    rig.Send({'?'});
    rig.WaitReady();  // sixteen bytes are in the host's buffer
    rig.Send({'E'});
    rig.Send(Le16Bytes(0x40));  // an erase under way
    rig.AssertReset();
    rig.clock.Advance(kMs);
    rig.ReleaseReset();
    rig.clock.Advance(1000 * kMs);
    EXPECT_EQ(rig.Read(32), Bytes(16, 0xFF));
    EXPECT_EQ(rig.box.CommandLog().back(), "?");
    EXPECT_EQ(rig.box.Target().Byte(0x4000), 0x00) << "the erase never ran";
}

TEST(SimBoxResetTest, WrongLineSettingsLoseEveryByte) {
    struct Case {
        std::uint32_t baud;
        std::uint16_t line;
    };
    for (const Case& c : {Case{115200, 0x0800}, Case{19200, 0x0800}, Case{500000, 0x0810},
                          Case{500000, 0x0802}, Case{500000, 0x0700}}) {
        SimRig rig;
        rig.Attach(c.baud);
        rig.box.SetLineControl(rig.handle, c.line);
        rig.Send({'C'});
        rig.clock.Advance(100 * kMs);
        EXPECT_EQ(rig.Queued(), 0u) << c.baud << " " << c.line;
        EXPECT_FALSE(rig.CtsHigh());
        EXPECT_EQ(rig.TakeViolations().size(), 1u) << c.baud << " " << c.line;
    }
}

// ---------------------------------------------------------------------------
// Work takes time on the shared clock.

TEST(SimBoxTimingTest, CtsRisesWithACompleteCommandAndDropsWhenTheAnswerIsReady) {
    SimRig rig;
    rig.Attach();
    ASSERT_TRUE(rig.Unlock());

    rig.Send({'V'});
    EXPECT_FALSE(rig.CtsHigh()) << "the command byte alone is not a command";
    std::uint64_t sent = rig.clock.Now();
    rig.Send(RecordBytes(FilledRecord(0x40, 0x00)));
    EXPECT_TRUE(rig.CtsHigh()) << "high from the moment the command is written";
    EXPECT_EQ(rig.Queued(), 0u);

    // The write returns when its 260 bytes are in; 20 us a byte at 500000 baud.
    EXPECT_EQ(rig.clock.Now(), sent + 260 * 20'000);
    // 8 ms of work, 1 byte out.
    const std::uint64_t ready = sent + 260 * 20'000 + 8 * kMs + 20'000;
    rig.clock.Advance(ready - rig.clock.Now() - 1);
    EXPECT_TRUE(rig.CtsHigh());
    EXPECT_EQ(rig.Queued(), 0u);
    rig.clock.Advance(1);
    EXPECT_FALSE(rig.CtsHigh());
    EXPECT_EQ(rig.Queued(), 1u) << "the answer is readable the moment CTS drops";
}

TEST(SimBoxTimingTest, AReadThatMustWaitSleepsToTheAnswerOnTheClock) {
    SimRig rig;
    rig.Attach();
    ASSERT_TRUE(rig.Unlock());
    rig.Send({'E'});
    std::uint64_t sent = rig.clock.Now();
    rig.Send(Le16Bytes(0x40));
    EXPECT_EQ(rig.Read(1), Bytes{'O'});
    EXPECT_EQ(rig.clock.Now(), sent + 3 * 20'000 + 150 * kMs)
        << "two more bytes in, the erase, one byte out";
}

TEST(SimBoxTimingTest, AReadWithNoAnswerComingEndsAtTheReadTimeout) {
    for (std::uint32_t timeoutMs : {1000u, 250u}) {
        SimRig rig;
        rig.Attach();
        rig.box.SetTimeouts(timeoutMs, timeoutMs);
        std::uint64_t start = rig.clock.Now();
        EXPECT_TRUE(rig.Read(1).empty());
        EXPECT_EQ(rig.clock.Now() - start, timeoutMs * kMs);
    }
}

TEST(SimBoxTimingTest, TheInstantBoxTakesNoTimeAtAll) {
    SimOptions options;
    options.instant = true;
    SimRig rig(options);
    rig.Attach();
    std::uint64_t start = rig.clock.Now();
    ASSERT_TRUE(rig.Unlock());
    rig.Send({'E'});
    rig.Send(Le16Bytes(0x40));
    EXPECT_FALSE(rig.CtsHigh());
    EXPECT_EQ(rig.Read(1), Bytes{'O'});
    EXPECT_EQ(rig.clock.Now(), start);
}

// ---------------------------------------------------------------------------
// Connecting and the ID code.

TEST(SimBoxConnectTest, AnswersToConnectAndIdCheck) {
    struct Case {
        const char* name;
        bool locked;
        bool targetPresent;
        bool sendConnect;
        std::array<std::uint8_t, 7> code;
        std::uint8_t connectAnswer;
        std::uint8_t idAnswer;
    };
    const Case cases[] = {
        {"blank target, any code", false, true, true, kCode, 'O', 'O'},
        {"locked, right code", true, true, true, kCode, 'O', 'O'},
        {"locked, wrong code", true, true, true, SimRig::kErasedCode, 'O', 'I'},
        {"no target", false, false, true, kCode, 'T', 'N'},
        {"ID before connect", false, true, false, kCode, 0, 'N'},
    };
    for (const Case& c : cases) {
        SimOptions options;
        if (c.locked)
            options.faults.protectedCode = kCode;
        options.faults.targetAbsent = !c.targetPresent;
        SimRig rig(options);
        rig.Attach();
        if (c.sendConnect) {
            rig.Send({'C'});
            EXPECT_EQ(rig.Answer(1), Bytes{c.connectAnswer}) << c.name;
        }
        EXPECT_EQ(rig.Send({'U'}), 1u);
        EXPECT_EQ(rig.Send(Bytes(c.code.begin(), c.code.end())), 7u);
        EXPECT_EQ(rig.Answer(1), Bytes{c.idAnswer}) << c.name;
        if (!c.targetPresent || !c.sendConnect) {
            EXPECT_EQ(rig.TakeViolations(),
                      std::vector<std::string>{"'U' before 'C' was answered 'O'"})
                << c.name;
        }
    }
}

TEST(SimBoxConnectTest, ATargetSwitchedOffAfterConnectTimesOutTheIdCheck) {
    SimRig rig;
    rig.Attach();
    rig.Send({'C'});
    ASSERT_EQ(rig.Answer(1), Bytes{'O'});
    rig.box.SetTargetPresent(false);
    rig.Send({'U'});
    rig.Send(Bytes(7, 0xFF));
    EXPECT_EQ(rig.Answer(1), Bytes{'T'});
}

TEST(SimBoxConnectTest, ALockedTargetRefusesWorkUntilTheRightCode) {
    SimOptions options;
    options.faults.protectedCode = kCode;
    SimRig rig(options);
    rig.Attach();
    const std::uint32_t idAddresses[] = {0xFFDF, 0xFFE3, 0xFFEB, 0xFFEF, 0xFFF3, 0xFFF7, 0xFFFB};
    for (std::size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(rig.box.Target().Byte(idAddresses[i]), kCode[i]) << "code byte " << i;
    }
    auto nearly = kCode;
    nearly[6] = 0x78;
    EXPECT_FALSE(rig.Unlock(nearly));
    EXPECT_FALSE(rig.Unlock(SimRig::kErasedCode));
    rig.Send({'E'});
    rig.Send(Le16Bytes(0xC0));
    EXPECT_EQ(rig.Answer(1), Bytes{'N'});
    EXPECT_EQ(rig.box.Target().Byte(0xFFDF), 0x11) << "nothing erased";
    EXPECT_EQ(rig.TakeViolations(), std::vector<std::string>{"'E' before the target was unlocked"});
    EXPECT_TRUE(rig.Unlock(kCode));
    rig.Send({'E'});
    rig.Send(Le16Bytes(0xC0));
    EXPECT_EQ(rig.Answer(1), Bytes{'O'});
    EXPECT_FALSE(rig.box.Target().IsProtected()) << "erasing block 0 clears the ID area";
}

TEST(SimBoxConnectTest, WorkBeforeTheTargetIsUnlockedIsRefused) {
    SimRig rig;
    rig.Attach();
    rig.Send({'V'});
    rig.Send(RecordBytes(FilledRecord(0x40, 0x00)));
    EXPECT_EQ(rig.Answer(1), Bytes{'N'});
    rig.Send({'E'});
    rig.Send(Le16Bytes(0x40));
    EXPECT_EQ(rig.Answer(1), Bytes{'N'});
    // 'R' has no status byte: it answers nothing rather than fake erased flash.
    rig.Send({'R'});
    rig.Send(Le16Bytes(0x40));
    EXPECT_TRUE(rig.Answer(256).empty());
    EXPECT_EQ(rig.box.Target().Byte(0x4000), 0xFF);
    rig.Send({'Z'});
    EXPECT_EQ(rig.Answer(1), Bytes{'N'}) << "an unknown command is refused";
    EXPECT_EQ(rig.TakeViolations(),
              (std::vector<std::string>{
                  "'V' before the target was unlocked", "'E' before the target was unlocked",
                  "'R' before the target was unlocked: no answer", "unknown command byte 5A"}));
}

// ---------------------------------------------------------------------------
// The target's flash.

TEST(SimBoxFlashTest, ProgrammingOnlyClearsBits) {
    struct Case {
        std::uint8_t before;
        std::uint8_t data;
        std::uint8_t after;
        std::uint8_t answer;
    };
    const Case cases[] = {
        {0xFF, 0xA5, 0xA5, 'O'},  // erased cells take any value
        {0xA5, 0xA5, 0xA5, 'O'},  // the same data again
        {0xF0, 0x00, 0x00, 'O'},  // clearing more bits
        {0xF0, 0x0F, 0x00, 'F'},  // 0 to 1 is impossible: ANDed, verify fails
        {0x00, 0xFF, 0x00, 'F'},
    };
    for (const Case& c : cases) {
        SimRig rig;
        rig.Attach();
        for (std::uint32_t a = 0x4000; a < 0x4100; ++a)
            rig.box.Target().Poke(a, c.before);
        ASSERT_TRUE(rig.Unlock());
        rig.Send({'V'});
        rig.Send(RecordBytes(FilledRecord(0x40, c.data)));
        EXPECT_EQ(rig.Answer(1), Bytes{c.answer}) << int(c.before) << " " << int(c.data);
        EXPECT_EQ(rig.box.Target().Byte(0x4000), c.after);
        EXPECT_EQ(rig.box.Target().Byte(0x40FF), c.after);
        EXPECT_EQ(rig.box.Target().Byte(0x4100), 0xFF) << "the next page is untouched";
    }
}

TEST(SimBoxFlashTest, ABadChecksumOrAPageOutsideTheFlashIsRefused) {
    SimRig rig;
    rig.Attach();
    ASSERT_TRUE(rig.Unlock());
    PageRecord bad = FilledRecord(0x40, 0x12);
    bad[2] ^= 0x01;
    rig.Send({'V'});
    rig.Send(RecordBytes(bad));
    EXPECT_EQ(rig.Answer(1), Bytes{'S'});
    EXPECT_EQ(rig.box.Target().Byte(0x4000), 0xFF);

    for (std::uint16_t page : {0x00, 0x23, 0x2C, 0x3F, 0x240, 0xFFF, 0xFFFF}) {
        rig.Send({'V'});
        rig.Send(RecordBytes(FilledRecord(page, 0x00)));
        EXPECT_EQ(rig.Answer(1), Bytes{'F'}) << page;
    }
    rig.Send({'V'});
    rig.Send(RecordBytes(FilledRecord(0x24, 0x00)));
    EXPECT_EQ(rig.Answer(1), Bytes{'O'}) << "data flash block 0A";
}

TEST(SimBoxFlashTest, EraseWorksByWholeBlocksOnly) {
    struct Case {
        std::uint16_t page;
        std::uint8_t answer;
        std::uint32_t erasedFrom;
        std::uint32_t erasedTo;
    };
    const Case cases[] = {
        {0x0040, 'O', 0x4000, 0x8000},    // block 2
        {0x0024, 'O', 0x2400, 0x2800},    // data flash 0A
        {0x0140, 'O', 0x14000, 0x1C000},  // 32 KB block 4
        {0x0041, 'F', 0, 0},              // inside a block
        {0x0020, 'F', 0, 0},              // no flash there
        {0x0200, 'F', 0, 0},              // just past the last block
    };
    for (const Case& c : cases) {
        SimRig rig;
        for (const FlashBlock& b : rig.box.Target().Blocks()) {
            for (std::uint32_t a = b.start; a < b.start + b.size; ++a)
                rig.box.Target().Poke(a, 0);
        }
        rig.Attach();
        ASSERT_TRUE(rig.Unlock({0, 0, 0, 0, 0, 0, 0}));  // the ID area reads 0 now
        rig.Send({'E'});
        rig.Send(Le16Bytes(c.page));
        EXPECT_EQ(rig.Answer(1), Bytes{c.answer}) << c.page;
        for (const FlashBlock& b : rig.box.Target().Blocks()) {
            for (std::uint32_t a : {b.start, b.start + b.size - 1}) {
                bool erased = a >= c.erasedFrom && a < c.erasedTo;
                EXPECT_EQ(rig.box.Target().Byte(a), erased ? 0xFF : 0x00)
                    << "page " << c.page << " address " << a;
            }
        }
    }
}

TEST(SimBoxFlashTest, ReadAnswersThePageAndAPatternOutsideTheFlash) {
    SimRig rig;
    Bytes data(256);
    for (int i = 0; i < 256; ++i)
        data[i] = static_cast<std::uint8_t>(i);
    rig.Attach();
    ASSERT_TRUE(rig.Unlock());
    rig.Send({'V'});
    rig.Send(RecordBytes(MakeRecord(0xC0, data)));
    ASSERT_EQ(rig.Answer(1), Bytes{'O'});

    rig.Send({'R'});
    rig.Send(Le16Bytes(0xC0));
    EXPECT_EQ(rig.Answer(256), data);
    // Unmapped memory never reads as erased flash: a page asked for by a
    // wrong number (its bytes swapped, say) cannot pass a blank check.
    Bytes unmapped(256);
    for (int i = 0; i < 256; ++i)
        unmapped[i] = static_cast<std::uint8_t>(0x50 | (i & 0x0F));
    for (std::uint16_t page : {0x00, 0x2C, 0x300, 0xC000, 0xFFFF}) {
        rig.Send({'R'});
        rig.Send(Le16Bytes(page));
        EXPECT_EQ(rig.Answer(256), unmapped) << page;
    }
    // The data flash reads as flash.
    ASSERT_EQ(rig.box.Target().Blocks().front().start, 0x2400u);
    rig.Send({'R'});
    rig.Send(Le16Bytes(0x24));
    EXPECT_EQ(rig.Answer(256), Bytes(256, 0xFF));
    EXPECT_EQ(rig.box.CommandLog().back(), "R 0024");
}

TEST(SimBoxFlashTest, FlashBlocksComeFromTheCatalogueRecord) {
    McuRecord record;
    record.part = "R5F212B8SN";
    record.blocks = {{"0A", "  1K", 0x02400}, {"02", " 16K", 0x04000},
                     {"01", " 16K", 0x08000}, {"xx", " 16?", 0x0C000},  // unreadable size: left out
                     {"yy", "  1K", 0x08100},                           // overlaps block 01
                     {"zz", "  1K", 0x02480}};                          // not on a page boundary
    std::vector<FlashBlock> expected = {{0x2400, 0x400}, {0x4000, 0x4000}, {0x8000, 0x4000}};
    EXPECT_EQ(FlashBlocksForPart(record), expected);

    auto lines = ReadCatalogueLines(SourcePath("data/MCUType.mcu"));
    ASSERT_TRUE(lines);
    auto part = FindPartLoosely(*lines, "R5F212BCSN");
    ASSERT_TRUE(part);
    EXPECT_EQ(FlashBlocksForPart(*part), DefaultFlashBlocks());
}

// ---------------------------------------------------------------------------
// The box's store.

TEST(SimBoxStoreTest, AnEmptyStoreAnswersSixteenErasedBytes) {
    SimRig rig;
    rig.Attach();
    rig.Send({'?'});
    EXPECT_EQ(rig.Answer(16), Bytes(16, 0xFF));
}

TEST(SimBoxStoreTest, ACompleteLoadFillsTheStoreAndNamesIt) {
    SimRig rig;
    rig.Attach();
    ASSERT_EQ(rig.Send(LoadHeader(2, "BLINK")), 27u);
    EXPECT_EQ(rig.Answer(1), Bytes{'O'});
    rig.Send(RecordBytes(FilledRecord(0xC0, 0x12)));
    EXPECT_EQ(rig.Answer(1), Bytes{'O'});
    EXPECT_FALSE(rig.box.Store().filled) << "not before the last record";
    rig.Send(RecordBytes(FilledRecord(0xC1, 0x34)));
    EXPECT_EQ(rig.Answer(1), Bytes{'O'});

    const SimStore& store = rig.box.Store();
    EXPECT_TRUE(store.filled);
    ASSERT_EQ(store.records.size(), 2u);
    EXPECT_EQ(store.records[1], FilledRecord(0xC1, 0x34));
    EXPECT_EQ(store.id, SimRig::kErasedCode);

    rig.Send({'?'});
    Bytes name = {'B', 'L', 'I', 'N', 'K'};
    name.resize(16, ' ');
    EXPECT_EQ(rig.Answer(16), name);
    // After the records the box takes commands again.
    rig.Send({'C'});
    EXPECT_EQ(rig.Answer(1), Bytes{'O'});
}

TEST(SimBoxStoreTest, ABrokenTransferLeavesTheStoreEmpty) {
    struct Case {
        const char* name;
        bool badChecksum;
        bool resetMidway;
    };
    for (const Case& c : {Case{"bad checksum", true, false}, Case{"reset midway", false, true}}) {
        SimRig rig;
        rig.Attach();
        rig.Send(LoadHeader(2, "OLD"));
        ASSERT_EQ(rig.Answer(1), Bytes{'O'});
        rig.Send(RecordBytes(FilledRecord(0xC0, 0x00)));
        ASSERT_EQ(rig.Answer(1), Bytes{'O'});
        rig.Send(RecordBytes(FilledRecord(0xC1, 0x00)));
        ASSERT_EQ(rig.Answer(1), Bytes{'O'});
        ASSERT_TRUE(rig.box.Store().filled);
        rig.box.FlushBuffers(rig.handle, 1, 1);

        rig.Send(LoadHeader(2, "NEW"));
        ASSERT_EQ(rig.Answer(1), Bytes{'O'});
        PageRecord first = FilledRecord(0xC0, 0x55);
        if (c.badChecksum)
            first[3] ^= 0x80;
        rig.Send(RecordBytes(first));
        EXPECT_EQ(rig.Answer(1), Bytes{std::uint8_t(c.badChecksum ? 'S' : 'O')}) << c.name;
        if (c.resetMidway) {
            rig.AssertReset();
            rig.ReleaseReset();
            rig.box.SetFlowControl(rig.handle, 0, 1, 0, 0, 0, false);
            rig.clock.Advance(100 * kMs);
        } else {
            rig.Send(RecordBytes(FilledRecord(0xC1, 0x55)));
            EXPECT_EQ(rig.Answer(1), Bytes{'O'});
        }
        rig.Send({'?'});
        EXPECT_EQ(rig.Answer(16), Bytes(16, 0xFF)) << c.name << ": never a half image";
    }
}

TEST(SimBoxStoreTest, HeaderEdgeCases) {
    {
        SimRig rig;  // a count of 0 is a complete (empty) image at once
        rig.Attach();
        rig.Send(LoadHeader(0, "EMPTY"));
        EXPECT_EQ(rig.Answer(1), Bytes{'O'});
        EXPECT_TRUE(rig.box.Store().filled);
        EXPECT_TRUE(rig.box.Store().records.empty());
    }
    for (Bytes header : {LoadHeader(1, "X", 0x01), LoadHeader(4097, "HUGE")}) {
        SimRig rig;  // refused: what follows are commands again, not records
        rig.Attach();
        rig.Send(header);
        EXPECT_EQ(rig.Answer(1), Bytes{'N'});
        rig.Send({'C'});
        EXPECT_EQ(rig.Answer(1), Bytes{'O'});
    }
    {
        SimRig rig;  // the ID code travels with the image
        rig.Attach();
        Bytes header = LoadHeader(0, "ID");
        std::copy(kCode.begin(), kCode.end(), header.begin() + 3);
        rig.Send(header);
        rig.Answer(1);
        EXPECT_EQ(rig.box.Store().id, kCode);
    }
}

// ---------------------------------------------------------------------------
// Fault switches.

TEST(SimFaultParseTest, AcceptsEachFaultAndRejectsItsNeighbours) {
    struct Case {
        const char* spec;
        bool ok;
    };
    const Case cases[] = {
        {"absent", true},
        {"absent:1", false},
        {"two-boxes", true},
        {"two-box", false},
        {"unplug-after-calls:7", true},
        {"unplug-after-calls", false},
        {"unplug-after-calls:0", false},
        {"unplug-after-calls:-1", false},
        {"unplug-after-calls:7x", false},
        {"unplug-at-page:3", true},
        {"unplug-at-page:4294967296", false},
        {"cts-stuck", true},
        {"wrong-answer:2", true},
        {"wrong-answer:", false},
        {"short-read", true},
        {"short-write", true},
        {"target-absent", true},
        {"protected:11223344556677", true},
        {"protected:112233445566", false},
        {"protected:1122334455667G", false},
        {"update-mode", true},
        {"loader-erase-fail", true},
        {"loader-erase-fail:0", true},
        {"loader-erase-fail:1", true},
        {"loader-erase-fail:2", false},
        {"loader-program-fail", true},
        {"busy-at-page:1:2000", true},
        {"busy-at-page:1", false},
        {"busy-at-page:0:5", false},
        {"busy-at-page:2:x", false},
        {"busy-at:setup:1000", true},
        {"busy-at:query:0", true},
        {"busy-at:page:10", false},
        {"busy-at:connect", false},
        {"answer:connect:58", true},
        {"answer:handshake:54", true},
        {"answer:header:4e", true},
        {"answer:page:53", true},
        {"answer:erase:46", true},
        {"answer:erase:146", false},
        {"answer:verify:4F", false},
        {"answer:page", false},
        {"baud-fails", true},
        {"baud-fails:1", false},
        {"write-fails-at:3", true},
        {"write-fails-at:0", false},
        {"loader-echo:B1", true},
        {"loader-echo:none", true},
        {"loader-echo:XY", false},
        {"loader-mute:2", true},
        {"loader-locked", true},
        {"loader-not-ready:erase", true},
        {"loader-not-ready:page", true},
        {"loader-not-ready:id", false},
        {"count-sequence:1,2,1", true},
        {"count-sequence:1", true},
        {"count-sequence:1,,1", false},
        {"count-sequence:256", false},
        {"", false},
        {"Absent", false},
    };
    for (const Case& c : cases) {
        SimOptions options;
        std::string error = ParseSimFault(c.spec, options);
        EXPECT_EQ(error.empty(), c.ok) << c.spec << ": " << error;
    }
}

TEST(SimFaultParseTest, EachFaultSetsItsSwitch) {
    SimOptions o;
    for (const char* spec :
         {"two-boxes",           "unplug-after-calls:9", "unplug-at-page:4",
          "cts-stuck",           "wrong-answer:5",       "short-read",
          "short-write",         "target-absent",        "protected:11223344556677",
          "update-mode",         "loader-erase-fail",    "loader-program-fail",
          "busy-at-page:3:250",  "busy-at:header:40",    "answer:erase:46",
          "baud-fails",          "write-fails-at:6",     "loader-echo:B1",
          "loader-mute:2",       "loader-locked",        "loader-not-ready:page",
          "loader-erase-fail:1", "count-sequence:1,2,1"}) {
        ASSERT_EQ(ParseSimFault(spec, o), "") << spec;
    }
    EXPECT_EQ(o.faults.busyAtPage, 3u);
    EXPECT_EQ(o.faults.busyExtraNs, 250 * kMs);
    EXPECT_EQ(o.faults.busyAt, std::make_pair(SimBusyStep::Header, 40 * kMs));
    EXPECT_EQ(o.faults.answer, std::make_pair(SimAnswerStep::Erase, std::uint8_t{0x46}));
    EXPECT_TRUE(o.faults.baudFails && o.faults.loaderLocked && o.faults.loaderProgramNotReady);
    EXPECT_FALSE(o.faults.loaderEraseNotReady || o.faults.loaderNoEcho);
    EXPECT_EQ(o.faults.writeFailsAt, 6u);
    EXPECT_EQ(o.faults.loaderEcho, std::uint8_t{0xB1});
    EXPECT_EQ(o.faults.loaderMuteAt, 2u);
    EXPECT_EQ(o.faults.loaderEraseFailBlock, 1);
    EXPECT_EQ(o.faults.countSequence, (std::vector<std::uint32_t>{1, 2, 1}));
    EXPECT_EQ(o.faults.deviceCount, 2u);
    EXPECT_EQ(o.faults.unplugAfterCalls, 9u);
    EXPECT_EQ(o.faults.unplugAtPage, 4u);
    EXPECT_TRUE(o.faults.ctsStuckHigh);
    EXPECT_EQ(o.faults.wrongAnswerAtPage, 5u);
    EXPECT_TRUE(o.faults.shortRead && o.faults.shortWrite && o.faults.targetAbsent);
    EXPECT_EQ(o.faults.protectedCode, kCode);
    EXPECT_TRUE(o.updateMode && o.faults.loaderEraseFail && o.faults.loaderProgramFail);
    ASSERT_EQ(ParseSimFault("absent", o), "");
    EXPECT_EQ(o.faults.deviceCount, 0u);

    std::string help = SimFaultHelp();
    for (const char* name : {"absent",
                             "two-boxes",
                             "unplug-after-calls:N",
                             "unplug-at-page:N",
                             "cts-stuck",
                             "wrong-answer:N",
                             "short-read",
                             "short-write",
                             "target-absent",
                             "protected:HEX",
                             "update-mode",
                             "loader-erase-fail[:BLOCK]",
                             "loader-program-fail",
                             "busy-at-page:N:MS",
                             "busy-at:STEP:MS",
                             "answer:STEP:HEX",
                             "baud-fails",
                             "write-fails-at:N",
                             "loader-echo:HEX|none",
                             "loader-mute:N",
                             "loader-locked",
                             "loader-not-ready:erase|page",
                             "count-sequence:N,N,..."}) {
        const auto at = help.find(std::string("  ") + name);
        ASSERT_NE(at, std::string::npos) << name;
        const char after = help[at + 2 + std::string(name).size()];
        EXPECT_TRUE(after == ' ' || after == '\n') << name;
    }
    std::istringstream lines(help);
    for (std::string line; std::getline(lines, line);)
        EXPECT_LE(line.size(), 80u) << line;
}

TEST(SimBoxFaultTest, DeviceCountFaults) {
    for (std::uint32_t count : {0u, 1u, 2u}) {
        SimOptions options;
        options.faults.deviceCount = count;
        SimRig rig(options);
        std::uint32_t seen = 99;
        EXPECT_EQ(rig.box.GetDeviceCount(seen), kBridgeOk);
        EXPECT_EQ(seen, count);
        DeviceHandle handle = 0;
        EXPECT_EQ(rig.box.Open(0, handle) == kBridgeOk, count > 0) << count;
    }
}

TEST(SimBoxFaultTest, UnplugAfterCallsFailsEveryLaterCall) {
    SimOptions options;
    options.faults.unplugAfterCalls = 3;
    SimRig rig(options);
    std::uint32_t count = 0;
    EXPECT_EQ(rig.box.GetDeviceCount(count), kBridgeOk);    // 1
    EXPECT_EQ(rig.box.Open(0, rig.handle), kBridgeOk);      // 2
    EXPECT_EQ(rig.box.SetTimeouts(1000, 1000), kBridgeOk);  // 3
    std::uint8_t modem = 0;
    EXPECT_EQ(rig.box.GetModemStatus(rig.handle, modem), kBridgeDeviceNotFound);
    std::uint32_t written = 9;
    std::uint8_t byte = 'C';
    EXPECT_NE(rig.box.Write(rig.handle, &byte, 1, written), kBridgeOk);
    EXPECT_EQ(written, 0u);
    EXPECT_NE(rig.box.GetDeviceCount(count), kBridgeOk);
    EXPECT_EQ(count, 0u);
    EXPECT_NE(rig.box.Close(rig.handle), kBridgeOk);
    EXPECT_TRUE(rig.box.IsUnplugged());
}

TEST(SimBoxFaultTest, UnplugAtPageTakesTheBoxAwayAsThatPageIsSent) {
    SimOptions options;
    options.faults.unplugAtPage = 2;
    SimRig rig(options);
    rig.Attach();
    ASSERT_TRUE(rig.Unlock());
    rig.Send({'V'});
    EXPECT_EQ(rig.Send(RecordBytes(FilledRecord(0x40, 0x00))), 260u);
    EXPECT_EQ(rig.Answer(1), Bytes{'O'});
    EXPECT_EQ(rig.Send({'V'}), 1u);
    EXPECT_EQ(rig.Send(RecordBytes(FilledRecord(0x41, 0x00))), 0u);
    EXPECT_TRUE(rig.box.IsUnplugged());
    EXPECT_TRUE(rig.CtsHigh()) << "a failed status query reads as busy";
    EXPECT_EQ(rig.box.Target().Byte(0x4100), 0xFF);
}

TEST(SimBoxFaultTest, WrongAnswerHitsExactlyTheNthPageCommand) {
    SimOptions options;
    options.faults.wrongAnswerAtPage = 3;
    SimRig rig(options);
    rig.Attach();
    ASSERT_TRUE(rig.Unlock());
    rig.Send({'E'});
    rig.Send(Le16Bytes(0x40));
    EXPECT_EQ(rig.Answer(1), Bytes{'O'});  // page command 1
    rig.Send({'V'});
    rig.Send(RecordBytes(FilledRecord(0x40, 0x00)));
    EXPECT_EQ(rig.Answer(1), Bytes{'O'});  // 2
    rig.Send({'V'});
    rig.Send(RecordBytes(FilledRecord(0x41, 0x00)));
    EXPECT_EQ(rig.Answer(1), Bytes{'X'});  // 3
    rig.Send({'V'});
    rig.Send(RecordBytes(FilledRecord(0x42, 0x00)));
    EXPECT_EQ(rig.Answer(1), Bytes{'O'});  // 4
}

TEST(SimBoxFaultTest, WrongAnswerOnAReadCorruptsItsFirstByte) {
    SimOptions options;
    options.faults.wrongAnswerAtPage = 1;
    SimRig rig(options);
    rig.Attach();
    ASSERT_TRUE(rig.Unlock());
    rig.Send({'R'});
    rig.Send(Le16Bytes(0x40));
    Bytes page = rig.Answer(256);
    ASSERT_EQ(page.size(), 256u);
    EXPECT_EQ(page[0], 0x00);
    EXPECT_EQ(page[1], 0xFF);
}

TEST(SimBoxFaultTest, CtsStuckHighNeverDrops) {
    SimOptions options;
    options.faults.ctsStuckHigh = true;
    SimRig rig(options);
    rig.Attach();
    rig.clock.Advance(10'000 * kMs);
    EXPECT_TRUE(rig.CtsHigh());
    rig.Send({'C'});
    rig.clock.Advance(100 * kMs);
    EXPECT_TRUE(rig.CtsHigh());
    EXPECT_EQ(rig.Read(1), Bytes{'O'}) << "the box still works, it only never says so";
}

TEST(SimBoxFaultTest, ShortReadsAndWrites) {
    {
        SimOptions options;
        options.faults.shortRead = true;
        SimRig rig(options);
        rig.Attach();
        ASSERT_TRUE(rig.Unlock()) << "single bytes still come through";
        rig.Send({'R'});
        rig.Send(Le16Bytes(0x40));
        EXPECT_EQ(rig.Answer(256).size(), 128u);
        EXPECT_EQ(rig.Queued(), 0u) << "the rest of the answer is lost";
    }
    {
        SimOptions options;
        options.faults.shortWrite = true;
        SimRig rig(options);
        rig.Attach();
        EXPECT_EQ(rig.Send({'C'}), 1u);
        EXPECT_EQ(rig.Answer(1), Bytes{'O'});
        EXPECT_EQ(rig.Send({'U'}), 1u);
        EXPECT_EQ(rig.Send(Bytes(7, 0xFF)), 6u);
        rig.clock.Advance(100 * kMs);
        EXPECT_FALSE(rig.CtsHigh()) << "six of seven bytes: no command yet";
        EXPECT_EQ(rig.Queued(), 0u);
    }
}

// ---------------------------------------------------------------------------
// Plugging and handles.

TEST(SimBoxPlugTest, UnplugAndPlugAgainGiveAFreshBoxAndAFreshHandle) {
    SimRig rig;
    rig.Attach();
    DeviceHandle old = rig.handle;
    rig.box.Unplug();
    std::uint32_t count = 9;
    rig.box.GetDeviceCount(count);
    EXPECT_EQ(count, 0u);
    std::uint8_t modem = 0;
    EXPECT_NE(rig.box.GetModemStatus(old, modem), kBridgeOk);

    rig.box.Plug(1);
    EXPECT_EQ(rig.box.GetDeviceCount(count), kBridgeOk);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(rig.box.GetModemStatus(old, modem), kBridgeInvalidHandle);
    DeviceHandle fresh = 0;
    ASSERT_EQ(rig.box.Open(0, fresh), kBridgeOk);
    EXPECT_NE(fresh, old);
    EXPECT_NE(fresh, 0u);
    EXPECT_EQ(rig.box.BaudRate(), 0u) << "a fresh box knows nothing of the old line set-up";
    rig.box.Plug(2);
    EXPECT_EQ(rig.box.GetModemStatus(fresh, modem), kBridgeOk) << "a second box changes nothing";
}

TEST(SimBoxPlugTest, ASecondOpenClosesTheFirstHandle) {
    SimRig rig;
    DeviceHandle first = 0;
    DeviceHandle second = 0;
    ASSERT_EQ(rig.box.Open(0, first), kBridgeOk);
    rig.handle = first;
    rig.AssertReset();
    ASSERT_EQ(rig.box.Open(0, second), kBridgeOk);
    EXPECT_FALSE(rig.box.InReset()) << "closing a handle releases its lines";
    EXPECT_NE(first, second);
    EXPECT_EQ(rig.box.CurrentHandle(), second);
    EXPECT_EQ(rig.box.Close(first), kBridgeInvalidHandle);
    EXPECT_EQ(rig.box.Close(second), kBridgeOk);
    EXPECT_FALSE(rig.box.IsOpen());
    DeviceHandle other = 0;
    EXPECT_EQ(rig.box.Open(1, other), kBridgeDeviceNotFound);
}

TEST(SimBoxPlugTest, BadArgumentsAreRefused) {
    SimRig rig;
    rig.Attach();
    std::uint32_t n = 0;
    EXPECT_EQ(rig.box.Read(rig.handle, nullptr, 4, n), kBridgeInvalidParameter);
    EXPECT_EQ(rig.box.Write(rig.handle, nullptr, 4, n), kBridgeInvalidParameter);
    EXPECT_EQ(rig.box.SetBaudRate(rig.handle, 0), kBridgeInvalidBaudRate);
    EXPECT_EQ(rig.box.SetFlowControl(rig.handle, 0, 2, 0, 0, 0, false), kBridgeInvalidParameter);
    EXPECT_EQ(rig.box.SetBaudRate(0, 500000), kBridgeInvalidHandle);
}

// ---------------------------------------------------------------------------
// State kept between runs.

TEST(SimBoxStateTest, SaveAndLoadRoundTrip) {
    ScratchDir dir;
    const std::string path = dir.File("box.state");
    SimOptions options;
    options.blocks = {{0x4000, 0x4000}, {0xC000, 0x4000}};
    {
        SimRig rig(options);
        rig.box.Target().Poke(0x4001, 0x5A);
        rig.box.Target().WriteIdCode(kCode);
        rig.box.Store().filled = true;
        rig.box.Store().name.fill('N');
        rig.box.Store().id = kCode;
        rig.box.Store().records = {FilledRecord(0x40, 1), FilledRecord(0x41, 2)};
        rig.box.Loader().Memory()[0x123] = 0x42;
        std::string error;
        ASSERT_TRUE(rig.box.SaveState(path, error)) << error;
    }
    SimRig again;  // a box of another layout takes the saved target over
    std::string error;
    ASSERT_TRUE(again.box.LoadState(path, error)) << error;
    EXPECT_EQ(again.box.Target().Blocks(), options.blocks);
    EXPECT_EQ(again.box.Target().Byte(0x4001), 0x5A);
    EXPECT_EQ(again.box.Target().IdCode(), kCode);
    EXPECT_EQ(again.box.Store().records.size(), 2u);
    EXPECT_EQ(again.box.Store().records[1], FilledRecord(0x41, 2));
    EXPECT_TRUE(again.box.Store().filled);
    EXPECT_EQ(again.box.Store().id, kCode);
    EXPECT_EQ(again.box.Loader().Memory()[0x123], 0x42);
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        EXPECT_EQ(entry.path().filename(), "box.state") << "no temporary file left behind";
    }
}

TEST(SimBoxStateTest, ACorruptOrForeignFileIsRefusedAndChangesNothing) {
    ScratchDir dir;
    SimRig source;
    source.box.Target().Poke(0x4000, 0x00);
    source.box.Store().records = {FilledRecord(0x40, 1)};
    const std::string good =
        EncodeSimState(source.box.Target(), source.box.Store(), source.box.Loader());
    std::string flipped = good;
    flipped[100] ^= 0x01;
    std::string truncated = good.substr(0, good.size() - 10);
    std::string longer = good + "x";

    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"empty", ""},
        {"text", "hello, world\n"},
        {"flipped bit", flipped},
        {"truncated", truncated},
        {"extra byte", longer},
        {"tag only", "O8RSIM1\n"},
    };
    for (const Case& c : cases) {
        SimRig rig;
        rig.box.Target().Poke(0x8000, 0x77);
        std::string error;
        EXPECT_FALSE(rig.box.LoadState(dir.Write("bad.state", c.bytes), error)) << c.name;
        EXPECT_FALSE(error.empty()) << c.name;
        EXPECT_EQ(rig.box.Target().Byte(0x8000), 0x77) << c.name;
        EXPECT_EQ(rig.box.Target().Byte(0x4000), 0xFF) << c.name;
    }
    SimRig rig;
    std::string error;
    EXPECT_FALSE(rig.box.LoadState(dir.File("missing.state"), error));
    EXPECT_NE(error.find("missing.state"), std::string::npos);
}

TEST(SimBoxStateTest, ADamagedFileWithAGoodChecksumIsStillRefused) {
    // Fields are checked on their own, not only through the checksum.
    SimRig source;
    std::string bytes =
        EncodeSimState(source.box.Target(), source.box.Store(), source.box.Loader());
    auto reseal = [](std::string body) {
        // The checksum of the layout, recomputed over the edited body.
        std::uint32_t crc = 0xFFFFFFFFu;
        for (char ch : body) {
            crc ^= static_cast<std::uint8_t>(ch);
            for (int k = 0; k < 8; ++k)
                crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
        }
        crc ^= 0xFFFFFFFFu;
        for (int i = 0; i < 4; ++i)
            body.push_back(static_cast<char>((crc >> (8 * i)) & 0xFF));
        return body;
    };
    std::string body = bytes.substr(0, bytes.size() - 4);
    SimState state;
    std::string error;
    ASSERT_TRUE(DecodeSimState(reseal(body), state, error)) << error;

    std::string hugeCount = body;
    hugeCount[8] = '\xFF';  // block count
    EXPECT_FALSE(DecodeSimState(reseal(hugeCount), state, error));
    std::string oddStart = body;
    oddStart[12] = 0x01;  // first block starts off a page boundary
    EXPECT_FALSE(DecodeSimState(reseal(oddStart), state, error));
}

}  // namespace
}  // namespace o8r::test
