// The simulated box in firmware-update mode: its loader's command set over
// the box's own 8 KB, the two status bytes, and the order in which queued
// commands are answered.

#include <gtest/gtest.h>

#include "sim/SimLoader.h"
#include "support/SimRig.h"

namespace o8r::test {
namespace {

constexpr std::uint64_t kMs = kNsPerMs;
const Bytes kIdCheck = {0xF5, 0xDF, 0xFF, 0x0F, 0x07, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

SimOptions UpdateMode() {
    SimOptions options;
    options.updateMode = true;
    return options;
}

// The loader wants one byte per write, as the update sends them.
void SendEach(SimRig& rig, const Bytes& bytes) {
    for (std::uint8_t b : bytes)
        ASSERT_EQ(rig.Send({b}), 1u);
}

// Waits for `count` bytes in the receive queue (the loader keeps CTS high).
Bytes Receive(SimRig& rig, std::uint32_t count) {
    for (int i = 0; i < 10'000 && rig.Queued() < count; ++i)
        rig.clock.Advance(2 * kMs);
    return rig.Read(count);
}

// Sixteen 0x00 and 0xB0, as the update starts; the echo is read.
void Synchronise(SimRig& rig) {
    for (int i = 0; i < 16; ++i)
        SendEach(rig, {0x00});
    SendEach(rig, {0xB0});
    ASSERT_EQ(Receive(rig, 1), Bytes{0xB0});
}

// The status once any erase or page program has had time to finish.
Bytes Status(SimRig& rig) {
    rig.clock.Advance(50 * kMs);
    rig.box.FlushBuffers(rig.handle, 1, 1);
    SendEach(rig, {0x70});
    return Receive(rig, 2);
}

Bytes ProgramCommand(std::uint32_t address, std::uint8_t fill) {
    Bytes bytes = {0x41, static_cast<std::uint8_t>(address >> 8),
                   static_cast<std::uint8_t>(address >> 16)};
    bytes.resize(3 + 256, fill);
    return bytes;
}

Bytes EraseCommand(std::uint8_t middle, std::uint8_t confirm = 0xD0) {
    return {0x20, middle, 0xFF, confirm};
}

class SimLoaderTest : public ::testing::Test {
  protected:
    explicit SimLoaderTest(SimOptions options = UpdateMode()) : rig(std::move(options)) {}
    void SetUp() override {
        rig.Attach(SimulatedBox::kLoaderBaud);
        Synchronise(rig);
    }
    void PassIdCheck() {
        SendEach(rig, kIdCheck);
        ASSERT_EQ(Status(rig), (Bytes{0x80, 0x0C}));
    }
    SimRig rig;
};

TEST(SimLoaderSyncTest, CtsStaysHighAndTheLoaderEchoesTheBaudByte) {
    SimRig rig(UpdateMode());
    rig.Attach(SimulatedBox::kLoaderBaud);
    EXPECT_TRUE(rig.box.IsLoaderRunning());
    EXPECT_TRUE(rig.CtsHigh());
    rig.clock.Advance(1000 * kMs);
    EXPECT_TRUE(rig.CtsHigh());

    // Nothing is heard before the synchronisation: not a status request, not
    // 0xB0 after too few synchronisation bytes.
    SendEach(rig, {0x70});
    for (int i = 0; i < 15; ++i)
        SendEach(rig, {0x00});
    SendEach(rig, {0xB0});
    rig.clock.Advance(100 * kMs);
    EXPECT_EQ(rig.Queued(), 0u);
    EXPECT_EQ(rig.TakeViolations(),
              (std::vector<std::string>{
                  "loader command 70 before the synchronisation (sixteen 00, then B0): ignored",
                  "B0 after 15 synchronisation bytes of sixteen: ignored"}));

    rig.AssertReset();  // a reset forgets the synchronisation bytes seen
    rig.ReleaseReset();
    rig.box.SetFlowControl(rig.handle, 0, 1, 0, 0, 0, false);
    rig.clock.Advance(100 * kMs);
    for (int i = 0; i < 16; ++i)
        SendEach(rig, {0x00});
    rig.clock.Advance(100 * kMs);
    EXPECT_EQ(rig.Queued(), 0u) << "synchronisation bytes are not answered";
    SendEach(rig, {0xB0});
    EXPECT_EQ(rig.Queued(), 0u) << "the echo needs its wire time";
    EXPECT_EQ(Receive(rig, 1), Bytes{0xB0});
    EXPECT_TRUE(rig.CtsHigh());
}

TEST_F(SimLoaderTest, TheIdCheckSetsBothIdBitsOnlyForTheBoxsOwnCode) {
    EXPECT_EQ(Status(rig), (Bytes{0x80, 0x00})) << "not checked yet";
    SendEach(rig, kIdCheck);
    EXPECT_EQ(Status(rig), (Bytes{0x80, 0x0C}));

    struct Case {
        const char* name;
        Bytes command;
    };
    Bytes wrongCode = kIdCheck;
    wrongCode[11] = 0xFE;
    Bytes wrongAddress = kIdCheck;
    wrongAddress[1] = 0xDE;
    Bytes shortCode = {0xF5, 0xDF, 0xFF, 0x0F, 0x06, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    for (const Case& c : {Case{"wrong code", wrongCode}, Case{"wrong address", wrongAddress},
                          Case{"six bytes", shortCode}}) {
        SendEach(rig, c.command);
        EXPECT_EQ(Status(rig), (Bytes{0x80, 0x04})) << c.name;
    }
}

TEST_F(SimLoaderTest, AnIdCodeInTheBoxsMemoryMustBeMatched) {
    auto& memory = rig.box.Loader().Memory();
    for (std::uint32_t address : SimLoader::kIdAddresses)
        memory[address - SimLoader::kStart] = 0;
    SendEach(rig, kIdCheck);
    EXPECT_EQ(Status(rig), (Bytes{0x80, 0x04}));
    Bytes zeros = kIdCheck;
    std::fill(zeros.begin() + 5, zeros.end(), 0x00);
    SendEach(rig, zeros);
    EXPECT_EQ(Status(rig), (Bytes{0x80, 0x0C}));
}

TEST_F(SimLoaderTest, EraseAndProgramNeedThePassedIdCheck) {
    rig.box.Loader().Memory().fill(0x00);
    SendEach(rig, EraseCommand(0xF0));
    EXPECT_EQ(Status(rig), (Bytes{0xA0, 0x00}));
    SendEach(rig, ProgramCommand(0xFE000, 0x00));
    EXPECT_EQ(Status(rig), (Bytes{0xB0, 0x00})) << "error bits stay until cleared";
    SendEach(rig, {0x50});
    EXPECT_EQ(Status(rig), (Bytes{0x80, 0x00}));
    EXPECT_EQ(rig.box.Loader().Byte(0xFF000), 0x00) << "nothing erased";
}

TEST_F(SimLoaderTest, EraseTakesWholeBlocksAtTheirStartOnly) {
    struct Case {
        std::uint8_t middle;
        std::uint8_t confirm;
        std::uint8_t status;
        std::uint32_t erasedFrom;
        std::uint32_t erasedTo;
    };
    const Case cases[] = {
        {0xF0, 0xD0, 0x80, 0xFF000, 0x100000},  // block 0
        {0xE0, 0xD0, 0x80, 0xFE000, 0xFF000},   // block 1
        {0xE8, 0xD0, 0xA0, 0, 0},               // inside block 1
        {0xD0, 0xD0, 0xA0, 0, 0},               // below the box's memory
        {0xF0, 0xD1, 0xA0, 0, 0},               // not confirmed
    };
    for (const Case& c : cases) {
        SimRig fresh(UpdateMode());
        fresh.Attach(SimulatedBox::kLoaderBaud);
        Synchronise(fresh);
        SendEach(fresh, kIdCheck);
        ASSERT_EQ(Status(fresh), (Bytes{0x80, 0x0C}));
        fresh.box.Loader().Memory().fill(0x00);  // after the check of the erased code
        SendEach(fresh, EraseCommand(c.middle, c.confirm));
        EXPECT_EQ(Status(fresh)[0], c.status) << int(c.middle) << " " << int(c.confirm);
        for (std::uint32_t a : {0xFE000u, 0xFEFFFu, 0xFF000u, 0xFFFFFu}) {
            bool erased = a >= c.erasedFrom && a < c.erasedTo;
            EXPECT_EQ(fresh.box.Loader().Byte(a), erased ? 0xFF : 0x00)
                << int(c.middle) << " at " << a;
        }
    }
}

TEST_F(SimLoaderTest, ProgrammingClearsBitsOnlyAndStaysInsideTheBoxsMemory) {
    PassIdCheck();
    SendEach(rig, ProgramCommand(0xFE100, 0xA5));
    EXPECT_EQ(Status(rig)[0], 0x80);
    EXPECT_EQ(rig.box.Loader().Byte(0xFE100), 0xA5);
    EXPECT_EQ(rig.box.Loader().Byte(0xFE1FF), 0xA5);
    EXPECT_EQ(rig.box.Loader().Byte(0xFE200), 0xFF);

    SendEach(rig, ProgramCommand(0xFE100, 0x5A));  // 0 to 1 would be needed
    EXPECT_EQ(Status(rig)[0], 0x90);
    EXPECT_EQ(rig.box.Loader().Byte(0xFE100), 0x00);

    SendEach(rig, {0x50});
    SendEach(rig, ProgramCommand(0xFD000, 0x00));  // outside 0xFE000-0xFFFFF
    EXPECT_EQ(Status(rig)[0], 0x90);
    EXPECT_EQ(rig.box.CommandLog().back(), "70");
}

TEST_F(SimLoaderTest, TheStatusShowsBusyForAsLongAsAnEraseOrAPageProgramRuns) {
    PassIdCheck();
    struct Case {
        const char* name;
        Bytes command;
        std::uint64_t workNs;
    };
    const SimTimings& t = rig.box.Options().timings;
    for (const Case& c : {Case{"erase", EraseCommand(0xF0), t.loaderEraseNs},
                          Case{"page", ProgramCommand(0xFF000, 0x12), t.loaderProgramNs}}) {
        SendEach(rig, c.command);
        const std::uint64_t started = rig.clock.Now();  // the last byte is in
        // A status request before the end: answered at once, busy.
        rig.clock.Advance(c.workNs - 4 * kMs);
        SendEach(rig, {0x70});
        EXPECT_EQ(Receive(rig, 2), (Bytes{0x00, 0x0C})) << c.name;
        // Any other command meanwhile is lost.
        SendEach(rig, {0x50});
        rig.clock.Advance(c.workNs);
        SendEach(rig, {0x70});
        EXPECT_EQ(Receive(rig, 2), (Bytes{0x80, 0x0C})) << c.name << ": done";
        EXPECT_GE(rig.clock.Now(), started + c.workNs);
        EXPECT_EQ(rig.TakeViolations(),
                  std::vector<std::string>{"loader command 50 while an erase or page program is "
                                           "under way: ignored"})
            << c.name;
    }
}

TEST(SimLoaderFaultTest, EraseAndProgramFailureSwitches) {
    struct Case {
        bool eraseFails;
        bool programFails;
        std::uint8_t afterErase;
        std::uint8_t afterProgram;
    };
    for (const Case& c : {Case{false, false, 0x80, 0x80}, Case{true, false, 0xA0, 0xA0},
                          Case{false, true, 0x80, 0x90}}) {
        SimOptions options = UpdateMode();
        options.faults.loaderEraseFail = c.eraseFails;
        options.faults.loaderProgramFail = c.programFails;
        SimRig rig(options);
        rig.Attach(SimulatedBox::kLoaderBaud);
        Synchronise(rig);
        SendEach(rig, kIdCheck);
        ASSERT_EQ(Status(rig), (Bytes{0x80, 0x0C}));
        rig.box.Loader().Memory().fill(0x00);
        SendEach(rig, EraseCommand(0xE0));
        EXPECT_EQ(Status(rig)[0], c.afterErase);
        EXPECT_EQ(rig.box.Loader().Byte(0xFE000), c.eraseFails ? 0x00 : 0xFF);
        SendEach(rig, ProgramCommand(0xFE000, 0x00));
        EXPECT_EQ(Status(rig)[0], c.afterProgram);
    }
}

TEST(SimLoaderFaultTest, ALoaderPageCountsTowardsTheUnplugFault) {
    SimOptions options = UpdateMode();
    options.faults.unplugAtPage = 2;  // the erase is page command 1
    SimRig rig(options);
    rig.Attach(SimulatedBox::kLoaderBaud);
    Synchronise(rig);
    SendEach(rig, kIdCheck);
    SendEach(rig, EraseCommand(0xE0));
    rig.clock.Advance(options.timings.loaderEraseNs);
    Bytes program = ProgramCommand(0xFE000, 0x00);
    for (std::size_t i = 0; i + 1 < program.size(); ++i)
        ASSERT_EQ(rig.Send({program[i]}), 1u);
    EXPECT_EQ(rig.Send({program.back()}), 0u);
    EXPECT_TRUE(rig.box.IsUnplugged());
}

TEST(SimLoaderFaultTest, TheModeFollowsTheOptionAtTheNextBoot) {
    SimRig rig;
    rig.Attach();
    EXPECT_FALSE(rig.box.IsLoaderRunning());
    rig.box.SetUpdateMode(true);
    EXPECT_FALSE(rig.box.IsLoaderRunning()) << "not before a reset";
    rig.AssertReset();
    rig.ReleaseReset();
    rig.clock.Advance(100 * kMs);
    EXPECT_TRUE(rig.box.IsLoaderRunning());
    EXPECT_TRUE(rig.CtsHigh());
}

}  // namespace
}  // namespace o8r::test
