// The main window between operations: its initialisation, the timers, the
// programmer poll and the views it switches to, the MCU tree and list, and the
// release of the box when the window closes.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <vector>

#include "core/model/Ids.h"
#include "core/model/Messages.h"
#include "core/operations/IdCodeEntry.h"
#include "core/window/SharedState.h"
#include "core/window/TimerSchedule.h"
#include "support/ControllerHarness.h"
#include "support/ScratchDir.h"

namespace o8r::test {
namespace {

constexpr ControlId kCommandControls[] = {
    IDC_PROGRAM,       IDC_ERASE,       IDC_READ,       IDC_LOAD,       IDC_BLANK_CHECK,
    IDC_PROGRAM_LABEL, IDC_ERASE_LABEL, IDC_READ_LABEL, IDC_LOAD_LABEL, IDC_BLANK_CHECK_LABEL};

SimOptions WithDeviceCount(std::uint32_t count) {
    SimOptions options;
    options.faults.deviceCount = count;
    return options;
}

std::size_t CountLines(const std::vector<std::string>& lines, const std::string& line) {
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}

// ---------------------------------------------------------------------------
// Timers for hosts without an event loop.

TEST(TimerScheduleTest, DeliversEachTimerAtItsPeriodInTimeOrder) {
    VirtualClock clock;
    TimerSchedule timers(clock);
    timers.Start(TIMER_DEVICE_POLL, 200);
    timers.Start(TIMER_OPERATION, 1);
    std::vector<std::pair<TimerId, std::uint64_t>> seen;
    const auto outcome = timers.RunUntil(
        clock, [&] { return clock.Now() >= 400 * kNsPerMs; },
        [&](TimerId id) {
            if (id == TIMER_DEVICE_POLL)
                seen.emplace_back(id, clock.Now() / kNsPerMs);
        });
    EXPECT_EQ(outcome, TimerSchedule::RunEnd::Done);
    EXPECT_EQ(seen, (std::vector<std::pair<TimerId, std::uint64_t>>{{TIMER_DEVICE_POLL, 200},
                                                                    {TIMER_DEVICE_POLL, 400}}));
    EXPECT_EQ(timers.Deliveries(), 401u);  // 399 ticks of 1 ms and two polls
}

TEST(TimerScheduleTest, AHandlerThatRunsLongGetsOneTickAtOnceNotABurst) {
    VirtualClock clock;
    TimerSchedule timers(clock);
    timers.Start(TIMER_OPERATION, 1);
    std::vector<std::uint64_t> at;
    timers.RunUntil(
        clock, [&] { return at.size() == 4; },
        [&](TimerId) {
            at.push_back(clock.Now() / kNsPerMs);
            if (at.size() == 1)
                clock.Advance(10 * kNsPerMs);  // a 10 ms handler
        });
    EXPECT_EQ(at, (std::vector<std::uint64_t>{1, 11, 12, 13}));
}

TEST(TimerScheduleTest, AHandlerMayStopAndRestartTimers) {
    VirtualClock clock;
    TimerSchedule timers(clock);
    timers.Start(TIMER_OPERATION, 1);
    int ticks = 0;
    const auto outcome = timers.RunUntil(
        clock, [] { return false; },
        [&](TimerId id) {
            ++ticks;
            timers.Stop(id);
            if (ticks < 3)
                timers.Start(id, 5);  // a restart counts its period from now
        });
    EXPECT_EQ(outcome, TimerSchedule::RunEnd::NoTimer);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(clock.Now(), 11 * kNsPerMs);
    EXPECT_FALSE(timers.IsRunning(TIMER_OPERATION));
}

TEST(TimerScheduleTest, StopsAtTheLimitWhenNothingEnds) {
    VirtualClock clock;
    TimerSchedule timers;  // takes its clock from RunUntil
    timers.Start(TIMER_DEVICE_POLL, 200);
    EXPECT_EQ(timers.PeriodMs(TIMER_DEVICE_POLL), 200);
    EXPECT_EQ(timers.RunUntil(
                  clock, [] { return false; }, [](TimerId) {}, 1000 * kNsPerMs),
              TimerSchedule::RunEnd::LimitReached);
    EXPECT_EQ(clock.Now(), 1000 * kNsPerMs);
    EXPECT_EQ(timers.PeriodMs(TIMER_OPERATION), 0);
}

// ---------------------------------------------------------------------------
// Window initialisation.

TEST(MainWindowTest, InitialisationSetsIconsCatalogueTreeAndThePollTimer) {
    ControllerHarness h;
    h.InitWindow();
    EXPECT_EQ(h.view.Icon(IDC_PROGRAM), IDI_PROGRAM);
    EXPECT_EQ(h.view.Icon(IDC_ERASE), IDI_ERASE);
    EXPECT_EQ(h.view.Icon(IDC_READ), IDI_READ);
    EXPECT_EQ(h.view.Icon(IDC_LOAD), IDI_LOAD);
    EXPECT_EQ(h.view.Icon(IDC_BLANK_CHECK), IDI_BLANK_CHECK);
    EXPECT_EQ(g_cataloguePath, ControllerHarness::ShippedDataDirectory() + "MCUType.mcu");
    ASSERT_FALSE(h.view.tree.empty());
    EXPECT_EQ(h.view.tree.front().text, "R8C/Tiny  ");
    EXPECT_TRUE(h.view.listColumnsSetUp);
    EXPECT_EQ(h.view.timers.PeriodMs(TIMER_DEVICE_POLL), 200);
    EXPECT_TRUE(h.prompts.messages.empty());
}

TEST(MainWindowTest, ADirectoryWithoutItsSeparatorStillFindsTheCatalogue) {
    ControllerHarness h;
    std::string directory = ControllerHarness::ShippedDataDirectory();
    directory.pop_back();
    h.InitWindow(directory);
    EXPECT_EQ(g_cataloguePath, directory + "/MCUType.mcu");
    EXPECT_FALSE(h.view.tree.empty());
}

TEST(MainWindowTest, ACatalogueFoundElsewhereIsReadFromThere) {
    ScratchDir dir;
    const std::string catalogue = dir.File("parts.mcu");
    std::filesystem::copy_file(ControllerHarness::ShippedDataDirectory() + "MCUType.mcu",
                               catalogue);
    ControllerHarness h;
    h.controller.OnInitDialog(dir.File("bin"), catalogue);
    EXPECT_EQ(g_cataloguePath, catalogue);
    EXPECT_FALSE(h.view.tree.empty());
    EXPECT_TRUE(h.prompts.messages.empty());
}

TEST(MainWindowTest, AMissingCatalogueIsReportedAndThePollStillStarts) {
    ControllerHarness h;
    ScratchDir empty;
    h.InitWindow(empty.Path().string() + "/");
    EXPECT_EQ(h.prompts.messages,
              std::vector<Message>{MainMsg(text::kMcuFileMissing, "ERROR", MsgIcon::Error)});
    EXPECT_TRUE(h.view.tree.empty());
    EXPECT_FALSE(h.view.listColumnsSetUp);
    EXPECT_TRUE(h.view.timers.IsRunning(TIMER_DEVICE_POLL));
    // A box can still be found afterwards.
    h.Poll();
    EXPECT_EQ(h.view.StatusText(), "Please select MCU");
}

TEST(MainWindowTest, TimerDispatchIgnoresForeignIds) {
    ControllerHarness h;
    h.InitWindow();
    h.controller.OnTimer(TIMER_READ);
    h.controller.OnTimer(static_cast<TimerId>(999));
    EXPECT_TRUE(h.TraceLines().empty());
    h.controller.OnTimer(TIMER_DEVICE_POLL);
    EXPECT_EQ(h.TraceLines().front(), "count -> 1");
}

// ---------------------------------------------------------------------------
// The views the poll switches to.

struct ControlExpectation {
    ControlId id;
    bool shown;
    bool enabled;
};

void ExpectControls(const RecordingMainView& view, const std::vector<ControlExpectation>& want) {
    for (const auto& c : want) {
        EXPECT_EQ(view.Shown(c.id), c.shown) << "control " << c.id << " shown";
        EXPECT_EQ(view.Enabled(c.id), c.enabled) << "control " << c.id << " enabled";
    }
}

TEST(ProgrammerPollTest, NoBoxAtStartChangesNothing) {
    ControllerHarness h(WithDeviceCount(0));
    h.InitWindow();
    h.view.ClearLog();
    h.Poll();
    h.Poll();
    EXPECT_TRUE(h.view.log.empty());
    EXPECT_EQ(h.TraceLines(), (std::vector<std::string>{"count -> 0", "count -> 0"}));
    ExpectControls(h.view, {{IDC_PICTURE, true, true},
                            {IDC_STATUS, true, true},
                            {IDC_MCU_LIST, true, false},
                            {IDC_MCU_TREE, false, true},
                            {IDC_PROGRAM, false, true}});
}

TEST(ProgrammerPollTest, OneBoxInNormalModeOpensResetsAndShowsTheNormalView) {
    ControllerHarness h;
    h.InitWindow();
    h.Poll();
    EXPECT_EQ(h.TraceLines(), (std::vector<std::string>{
                                  "count -> 1",
                                  "open 0 -> 0",
                                  "flow 0 0 0 0 0 0",
                                  "flow 0 0 1 0 0 0",
                                  "flow 0 0 0 0 0 0",
                                  "flush 1 1",
                                  "modem -> 00",
                                  "timeouts 1000 1000",
                              }));
    EXPECT_NE(h.Handle(), 0u);
    EXPECT_EQ(h.Handle(), h.box.CurrentHandle());
    EXPECT_FALSE(ControllerTestAccess::m_updateMode(h.controller));
    for (ControlId id : kCommandControls) {
        EXPECT_TRUE(h.view.Shown(id)) << id;
        EXPECT_TRUE(h.view.Enabled(id)) << id;
    }
    ExpectControls(h.view, {{IDC_PICTURE, false, true},
                            {IDC_STATUS, true, true},
                            {IDC_PROGRESS, false, true},
                            {IDC_MCU_TREE, true, true},
                            {IDC_MCU_LIST, true, false}});
    EXPECT_EQ(h.view.Text(IDC_LOAD_LABEL), "Load");
    EXPECT_EQ(h.view.StatusText(), "Please select MCU");
    EXPECT_TRUE(h.prompts.messages.empty());
    // A stable count changes nothing more.
    h.ClearTrace();
    h.view.ClearLog();
    h.Poll();
    EXPECT_EQ(h.TraceLines(), std::vector<std::string>{"count -> 1"});
    EXPECT_TRUE(h.view.log.empty());
}

TEST(ProgrammerPollTest, ABoxInUpdateModeShowsOnlyTheUpdateButton) {
    SimOptions options;
    options.updateMode = true;
    ControllerHarness h(options);
    h.InitWindow();
    h.Poll();
    EXPECT_TRUE(ControllerTestAccess::m_updateMode(h.controller));
    for (ControlId id : kCommandControls) {
        const bool loadControl = id == IDC_LOAD || id == IDC_LOAD_LABEL;
        EXPECT_TRUE(h.view.Shown(id)) << id;
        EXPECT_EQ(h.view.Enabled(id), loadControl) << id;
    }
    ExpectControls(h.view, {{IDC_PICTURE, false, true},
                            {IDC_STATUS, true, true},
                            {IDC_MCU_TREE, false, true},
                            {IDC_MCU_LIST, false, false}});
    EXPECT_EQ(h.view.Text(IDC_LOAD_LABEL), "Update");
    EXPECT_EQ(h.view.StatusText(), "Click to update firmware");
    EXPECT_EQ(CurrentMemoryMap(), (MemoryMap{0, 0, 0xFE000, 0x100000}));
}

TEST(ProgrammerPollTest, AFailedModemQueryAfterTheResetCountsAsUpdateMode) {
    ControllerHarness h;
    h.InitWindow();
    h.faults.failWhen = CallIs("modem");
    h.Poll();
    EXPECT_TRUE(ControllerTestAccess::m_updateMode(h.controller));
    EXPECT_EQ(h.view.StatusText(), "Click to update firmware");
}

TEST(ProgrammerPollTest, AFailedOpenIsSilentAndNotRetriedWhileTheCountStands) {
    ControllerHarness h;
    h.InitWindow();
    h.faults.failWhen = CallIs("open 0");
    h.Poll();
    h.Poll();
    EXPECT_EQ(h.TraceLines(),
              (std::vector<std::string>{"count -> 1", "open 0 -> ? !1", "count -> 1"}));
    EXPECT_EQ(h.Handle(), 0u);
    EXPECT_TRUE(h.view.Shown(IDC_PICTURE));
    EXPECT_FALSE(h.view.Shown(IDC_PROGRAM));
    EXPECT_TRUE(h.prompts.messages.empty());
}

TEST(ProgrammerPollTest, TwoBoxesShowTheMessageOncePerChange) {
    ControllerHarness h(WithDeviceCount(2));
    h.InitWindow();
    h.Poll();
    h.Poll();
    EXPECT_EQ(h.prompts.messages,
              std::vector<Message>{
                  MainMsg("More than 1 programmers are detected!", "ERROR", MsgIcon::Error)});
    EXPECT_EQ(CountLines(h.TraceLines(), "open 0 -> 0"), 0u);
    EXPECT_TRUE(h.view.Shown(IDC_PICTURE));
    EXPECT_EQ(h.Handle(), 0u);
}

TEST(ProgrammerPollTest, FromTwoBoxesBackToOneTheOldHandleIsClosedBeforeTheNewOpen) {
    ControllerHarness h;
    h.InitWindow();
    h.Poll();
    ASSERT_EQ(h.view.StatusText(), "Please select MCU");
    h.box.Plug(2);
    h.Poll();
    // The picture comes up beneath the controls; nothing else changes.
    EXPECT_TRUE(h.view.Shown(IDC_PICTURE));
    EXPECT_TRUE(h.view.Shown(IDC_PROGRAM));
    EXPECT_EQ(h.prompts.messages.size(), 1u);
    h.ClearTrace();
    h.box.Plug(1);
    h.Poll();
    const auto lines = h.TraceLines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "count -> 1");
    EXPECT_EQ(lines[1], "close -> 0");
    EXPECT_EQ(lines[2], "open 0 -> 1");
    EXPECT_EQ(h.Handle(), h.box.CurrentHandle());
    EXPECT_FALSE(h.view.Shown(IDC_PICTURE));
    EXPECT_EQ(h.view.StatusText(), "Please select MCU");
}

TEST(ProgrammerPollTest, UnplugInTheNormalViewHidesEverythingButThePicture) {
    ControllerHarness h;
    h.StartWithPart("R5F212A8SN");
    h.box.Unplug();
    h.Poll();
    for (ControlId id : kCommandControls)
        EXPECT_FALSE(h.view.Shown(id)) << id;
    ExpectControls(h.view, {{IDC_PICTURE, true, true},
                            {IDC_STATUS, false, true},
                            {IDC_PROGRESS, false, true},
                            {IDC_MCU_LIST, false, true},
                            {IDC_MCU_TREE, false, true}});
    EXPECT_TRUE(h.prompts.messages.empty());
    // The close failed with the box gone, so the handle is kept; plugging it
    // back in releases that handle and opens the box afresh.
    EXPECT_NE(h.Handle(), 0u);
    h.box.Plug(1);
    h.ClearTrace();
    h.Poll();
    EXPECT_EQ(h.TraceLines()[1].rfind("close", 0), 0u);
    EXPECT_EQ(h.Handle(), h.box.CurrentHandle());
    EXPECT_EQ(h.view.StatusText(), "Please select MCU");
    EXPECT_TRUE(h.view.Shown(IDC_PROGRAM));
}

TEST(ProgrammerPollTest, UnplugWithACleanCloseForgetsTheHandle) {
    ControllerHarness h;
    h.Start();
    ASSERT_NE(h.Handle(), 0u);
    h.box.Plug(0);
    h.Poll();
    EXPECT_EQ(h.Handle(), 0u);
    EXPECT_FALSE(h.box.IsOpen());
}

TEST(ProgrammerPollTest, CloseLinkHoldsTheBoxInResetClosesItAndStopsTheTimers) {
    ControllerHarness h;
    h.Start();
    h.ClearTrace();
    h.controller.CloseLink();
    EXPECT_EQ(h.TraceLines(), (std::vector<std::string>{"flow 0 0 1 0 0 0", "close -> 0"}));
    EXPECT_EQ(h.Handle(), 0u);
    EXPECT_FALSE(h.view.timers.AnyRunning());
}

TEST(ProgrammerPollTest, CloseLinkWithoutABoxStillCallsBothWithHandleZero) {
    ControllerHarness h(WithDeviceCount(0));
    h.InitWindow();
    h.ClearTrace();
    h.controller.CloseLink();
    const auto lines = h.TraceLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].rfind("flow 0 0 1 0 0 0", 0), 0u);
    EXPECT_EQ(lines[1].rfind("close", 0), 0u);
}

// ---------------------------------------------------------------------------
// MCU tree and property list.

TEST(McuSelectionTest, ASeriesItemListsItsPartsAndEnablesTheList) {
    ControllerHarness h;
    h.Start();
    h.controller.OnTreeSelectionChanged("R8C/2A    ");
    ASSERT_EQ(h.controller.ListRows().size(), 8u);
    EXPECT_EQ(h.controller.ListRows()[2].part, "R5F212A8SN");
    EXPECT_EQ(h.controller.ListRows()[2].memorySize, "64K     ");
    EXPECT_EQ(h.view.listRows.size(), 8u);
    EXPECT_TRUE(h.view.Enabled(IDC_MCU_LIST));
    EXPECT_EQ(h.view.StatusText(), "Click MCU list to select. Double click to set ID code.");
}

TEST(McuSelectionTest, AGroupItemEmptiesAndDisablesTheList) {
    ControllerHarness h;
    h.Start();
    h.controller.OnTreeSelectionChanged("R8C/2A    ");
    h.controller.OnTreeSelectionChanged("R8C/Tiny  ");
    EXPECT_TRUE(h.controller.ListRows().empty());
    EXPECT_TRUE(h.view.listRows.empty());
    EXPECT_FALSE(h.view.Enabled(IDC_MCU_LIST));
    EXPECT_EQ(h.view.StatusText(), "Click MCU list to select. Double click to set ID code.");
}

TEST(McuSelectionTest, AClickSelectsThePartAndItsMemoryMap) {
    struct Case {
        const char* part;
        const char* status;
        MemoryMap map;
    };
    const Case cases[] = {
        {"R5F212A8SN", "You have selected R5F212A8.", {0, 0, 0x4000, 0x14000}},
        {"R5F212B8SN", "You have selected R5F212B8.", {0x2400, 0x2C00, 0x4000, 0x14000}},
    };
    for (const auto& c : cases) {
        ControllerHarness h;
        h.Start();
        ASSERT_TRUE(h.SelectPart(c.part)) << c.part;
        EXPECT_EQ(g_selectedMcu, c.part);
        EXPECT_EQ(h.view.StatusText(), c.status);
        EXPECT_EQ(CurrentMemoryMap(), c.map) << c.part;
    }
}

TEST(McuSelectionTest, AClickBesideTheRowsChangesNothing) {
    ControllerHarness h;
    h.Start();
    h.controller.OnTreeSelectionChanged("R8C/2A    ");
    const std::string status = h.view.StatusText();
    h.controller.OnListClick(-1);
    h.controller.OnListClick(99);
    h.controller.OnListDoubleClick(-1);
    EXPECT_TRUE(g_selectedMcu.empty());
    EXPECT_EQ(h.view.StatusText(), status);
    EXPECT_EQ(g_idCode, (std::array<std::uint8_t, 7>{}));
}

TEST(McuSelectionTest, ACatalogueGoneAfterStartIsReportedOnTreeSelection) {
    ScratchDir dir;
    std::filesystem::copy_file(ControllerHarness::ShippedDataDirectory() + "MCUType.mcu",
                               dir.File("MCUType.mcu"));
    ControllerHarness h;
    h.InitWindow(dir.Path().string());
    h.Poll();
    h.controller.OnTreeSelectionChanged("R8C/2A    ");
    ASSERT_FALSE(h.controller.ListRows().empty());
    h.controller.OnListClick(2);
    std::filesystem::remove(dir.File("MCUType.mcu"));

    // A click keeps the part but leaves an empty map that refuses every address.
    h.controller.OnListClick(3);
    EXPECT_EQ(g_selectedMcu, "R5F212A8SD");
    EXPECT_EQ(CurrentMemoryMap(), MemoryMap{});
    EXPECT_TRUE(h.prompts.messages.empty());

    h.controller.OnTreeSelectionChanged("R8C/2B    ");
    EXPECT_TRUE(h.controller.ListRows().empty());
    EXPECT_EQ(h.prompts.messages,
              std::vector<Message>{MainMsg(text::kMcuFileMissing, "ERROR", MsgIcon::Error)});
}

TEST(McuSelectionTest, ADoubleClickSelectsThePartAndRunsTheIdCodeDialog) {
    ControllerHarness h;
    h.Start();
    h.controller.OnTreeSelectionChanged("R8C/2B    ");
    g_idCode = {1, 2, 3, 4, 5, 6, 7};
    int runs = 0;
    h.prompts.idCodeDialog = [&](IdCodeEntry&) {
        ++runs;
        // The code is the erased one while the dialog is open.
        EXPECT_EQ(g_idCode,
                  (std::array<std::uint8_t, 7>{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
        return DialogResult::Cancel;
    };
    h.controller.OnListDoubleClick(0);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(g_selectedMcu, "R5F212B7SN");
    EXPECT_EQ(h.view.StatusText(), "You have selected R5F212B7.");
    EXPECT_EQ(g_idCode, (std::array<std::uint8_t, 7>{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));

    h.prompts.idCodeDialog = [](IdCodeEntry& dialog) {
        return dialog.PressOk("0102030405060A") ? DialogResult::Ok : DialogResult::Cancel;
    };
    h.controller.OnListDoubleClick(0);
    EXPECT_EQ(g_idCode, (std::array<std::uint8_t, 7>{1, 2, 3, 4, 5, 6, 0x0A}));
}

}  // namespace
}  // namespace o8r::test
