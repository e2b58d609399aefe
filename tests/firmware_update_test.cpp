// The Update button of a box that came up in its firmware loader: the bytes
// the loader gets, what it ends up holding, progress, the final window, and
// every failure of the exchange with its own message.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/model/Ids.h"
#include "core/window/SharedState.h"
#include "support/ControllerHarness.h"

namespace o8r::test {
namespace {

constexpr std::uint32_t kLoaderStart = 0xFE000;
constexpr char kCompletedStatus[] = "Update completed. Please reset Programmer";
const Message kCompleted =
    MainMsg("Update completed. Please reset Programmer.", "INFO", MsgIcon::None);

struct UpdateRun {
    ControllerHarness h;
    std::vector<std::size_t> traceAtMessage;

    explicit UpdateRun(SimOptions options = {}) : h(WithLoader(options)) {
        h.Start();
        EXPECT_TRUE(ControllerTestAccess::m_updateMode(h.controller));
        h.ClearTrace();
        h.view.ClearProgressHistory();
        h.prompts.onMessage = [this](const Message&) {
            traceAtMessage.push_back(h.TraceLines().size());
        };
        // Old firmware in both blocks, so that nothing passes without an
        // erase; its ID code is the erased one the update presents.
        h.box.Loader().Memory().fill(0x00);
        for (std::uint32_t a : SimLoader::kIdAddresses)
            h.box.Loader().Memory()[a - kLoaderStart] = 0xFF;
    }
    static SimOptions WithLoader(SimOptions options) {
        options.updateMode = true;
        return options;
    }
    void Update(std::uint32_t base, const std::vector<std::uint8_t>& data) {
        h.ChooseFile(h.WriteImage("firmware.mot", base, data));
        h.controller.OnLoadButton();
    }
    std::size_t WritesAfterLastMessage() const {
        const auto lines = h.TraceLines();
        return static_cast<std::size_t>(std::count_if(
            lines.begin() + static_cast<std::ptrdiff_t>(traceAtMessage.back()), lines.end(),
            [](const std::string& l) { return l.rfind("write", 0) == 0; }));
    }
    bool BoxWasReset() const {
        const auto lines = h.TraceLines();
        return std::find(lines.begin(), lines.end(), "flow 0 0 1 0 0 0") != lines.end();
    }
};

// The nth time `call` is made.
FaultInjector::Match Nth(std::string call, int n) {
    auto seen = std::make_shared<int>(0);
    return [call, n, seen](const std::string& c) { return c == call && ++*seen == n; };
}

// Every queue check once the nth status request (0x70) has gone out: the
// loader's answer never shows.
FaultInjector::Match NoAnswerAfterStatusRequest(int n) {
    auto seen = std::make_shared<int>(0);
    return [n, seen](const std::string& c) {
        if (c == "write 70")
            ++*seen;
        return *seen >= n && c == "queue";
    };
}

TEST(FirmwareUpdateTest, TheLoaderGetsEveryPageAndTheWindowEndsReadyForAnotherClick) {
    UpdateRun run;
    const auto image = PatternBytes(0x2000, 0x5A);
    run.Update(kLoaderStart, image);

    EXPECT_EQ(run.h.prompts.messages, std::vector<Message>{kCompleted});
    EXPECT_TRUE(std::equal(image.begin(), image.end(), run.h.box.Loader().Memory().begin()));

    std::vector<int> progress;
    for (int i = 0; i < 32; ++i)
        progress.push_back(i * 100 / 32);
    progress.insert(progress.end(), {100, 0});
    EXPECT_EQ(run.h.view.progressHistory, progress);

    EXPECT_EQ(run.h.view.StatusText(), kCompletedStatus);
    EXPECT_TRUE(run.h.view.Shown(IDC_STATUS));
    EXPECT_FALSE(run.h.view.Shown(IDC_PROGRESS));
    EXPECT_EQ(run.h.view.Progress(), 0);
    EXPECT_TRUE(run.h.view.Enabled(IDC_LOAD));
    EXPECT_TRUE(run.h.view.Enabled(IDC_LOAD_LABEL));
    EXPECT_FALSE(run.h.view.Enabled(IDC_PROGRAM));
    EXPECT_FALSE(run.BoxWasReset());

    // The loader's command sequence, every byte in a write of its own, and
    // the records' checksums never sent.
    std::vector<std::string> commands(16, "sync");
    commands.insert(commands.end(), {"B0", "F5", "70"});
    const auto& log = run.h.box.CommandLog();
    ASSERT_GE(log.size(), commands.size() + 4 + 64);
    EXPECT_TRUE(std::equal(commands.begin(), commands.end(), log.begin()));
    EXPECT_EQ(log[19].substr(log[19].size() - 4), "F000");  // block 0 first
    EXPECT_EQ(log[20], "70");
    EXPECT_EQ(log[21].substr(log[21].size() - 4), "E000");
    EXPECT_EQ(log[22], "70");
    EXPECT_EQ(log.size(), 23u + 64u);
    EXPECT_EQ(log[23], "41 FE000");
    EXPECT_EQ(log[85], "41 FFF00");

    std::size_t writes = 0;
    for (const auto& line : run.h.TraceLines()) {
        if (line.rfind("write ", 0) != 0)
            continue;
        ++writes;
        EXPECT_EQ(line.rfind("write 1 ", 0), 0u) << line;
    }
    EXPECT_EQ(writes, 16u + 1u + 12u + 1u + 2u * (4u + 1u) + 32u * (3u + 256u + 1u));
}

TEST(FirmwareUpdateTest, ProgressAndErasingFollowTheRecordsOfTheFile) {
    struct Case {
        const char* name;
        std::uint32_t base;
        std::size_t size;
        std::vector<int> progress;
    };
    const Case cases[] = {
        {"three pages", 0xFF000, 0x300, {0, 33, 66, 100, 0}},
        // Page 0 never makes a record: both blocks are erased, nothing programmed.
        {"no records at all", 0x0000, 0x100, {100, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        UpdateRun run;
        const auto data = PatternBytes(c.size, 0x11);
        run.Update(c.base, data);

        EXPECT_EQ(run.h.prompts.messages, std::vector<Message>{kCompleted});
        EXPECT_EQ(run.h.view.progressHistory, c.progress);
        const auto& memory = run.h.box.Loader().Memory();
        for (std::uint32_t a = kLoaderStart; a < 0x100000; ++a) {
            const bool inFile = a >= c.base && a < c.base + c.size;
            ASSERT_EQ(memory[a - kLoaderStart], inFile ? data[a - c.base] : 0xFF) << a;
        }
    }
}

TEST(FirmwareUpdateTest, NoFileMeansNothingIsSentAndTheButtonWorksAgain) {
    struct Case {
        const char* name;
        bool chooseFile;
        std::vector<Message> messages;
    };
    const Case cases[] = {
        {"chooser cancelled", false, {}},
        {"data outside the loader's memory",
         true,
         {Msg("Load file address is out of memory map!\nLine 2: address 04000", "ERROR",
              MsgIcon::Error, MsgButtons::Ok, Owner::FileLoading)}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        UpdateRun run;
        if (c.chooseFile)
            run.h.ChooseFile(run.h.WriteImage("app.mot", 0x4000, PatternBytes(16)));
        run.h.controller.OnLoadButton();

        EXPECT_EQ(run.h.prompts.messages, c.messages);
        EXPECT_EQ(run.h.prompts.openSpecs.size(), 1u);
        EXPECT_TRUE(run.h.view.Enabled(IDC_LOAD));
        EXPECT_TRUE(run.h.view.Enabled(IDC_LOAD_LABEL));
        EXPECT_EQ(run.h.view.StatusText(), "Click to update firmware");
        EXPECT_TRUE(run.h.DataLines().empty());
        EXPECT_TRUE(run.h.box.CommandLog().empty());
    }
}

struct FailureCase {
    const char* name;
    std::function<void(UpdateRun&)> arrange;
    std::string message;
    MsgIcon icon = MsgIcon::None;
    SimOptions options = {};
};

SimOptions LoaderFails(bool erase, bool program) {
    SimOptions options;
    options.faults.loaderEraseFail = erase;
    options.faults.loaderProgramFail = program;
    return options;
}

void Reply(UpdateRun& run, FaultInjector::Match after, std::vector<std::uint8_t> bytes) {
    run.h.faults.replyAfter = std::move(after);
    run.h.faults.reply = std::move(bytes);
}

TEST(FirmwareUpdateTest, EveryFailureEndsTheUpdateWithItsOwnMessage) {
    const std::string timeOutReset = "Time out error! Please reset Programmer.";
    const FailureCase cases[] = {
        {"line set-up", [](UpdateRun& r) { r.h.faults.failWhen = CallIs("baud 19200"); },
         "Can not open target! Please reset Programmer.", MsgIcon::Error},
        {"short write of a sync byte",
         [](UpdateRun& r) { r.h.faults.shortWriteWhen = CallIs("write 00"); },
         "Connection is broken!"},
        {"short write inside a page",
         [](UpdateRun& r) { r.h.faults.shortWriteWhen = Nth("write 41", 1); },
         "Connection is broken!"},
        {"failed write of the echo request",
         [](UpdateRun& r) { r.h.faults.failWhen = CallIs("write B0"); }, "Connection is broken!"},
        {"no echo", [](UpdateRun& r) { r.h.faults.failWhen = CallIs("queue"); }, timeOutReset},
        {"wrong echo", [](UpdateRun& r) { Reply(r, CallIs("write B0"), {0xB1}); },
         "Can not connect with Programmer! Please reset Programmer."},
        {"no ID status", [](UpdateRun& r) { r.h.faults.failWhen = NoAnswerAfterStatusRequest(1); },
         timeOutReset},
        {"ID status cut short", [](UpdateRun& r) { Reply(r, Nth("write 70", 1), {0x80}); },
         timeOutReset},
        {"ID refused, bit 0x04 only",
         [](UpdateRun& r) {
             Reply(r, Nth("write 70", 1), {0x80, 0x04});
         },
         "ID code error! Please reset Programmer."},
        {"ID refused, bit 0x08 only",
         [](UpdateRun& r) {
             Reply(r, Nth("write 70", 1), {0x80, 0x08});
         },
         "ID code error! Please reset Programmer."},
        {"erase never reports",
         [](UpdateRun& r) { r.h.faults.failWhen = NoAnswerAfterStatusRequest(2); }, timeOutReset},
        {"erase status cut short", [](UpdateRun& r) { Reply(r, Nth("write 70", 2), {0xA0}); },
         timeOutReset},
        {"erase not ready",
         [](UpdateRun& r) {
             Reply(r, Nth("write 70", 2), {0x00, 0x0C});
         },
         timeOutReset},
        {"block 0 erase error",
         [](UpdateRun& r) {
             Reply(r, Nth("write 70", 2), {0xA0, 0x0C});
         },
         "Block 0 erase error! Please reset Programmer."},
        {"block 0 erase error from the loader", [](UpdateRun&) {},
         "Block 0 erase error! Please reset Programmer.", MsgIcon::None, LoaderFails(true, false)},
        {"block 1 erase not ready",
         [](UpdateRun& r) {
             Reply(r, Nth("write 70", 3), {0x00, 0x0C});
         },
         timeOutReset},
        {"block 1 erase error",
         [](UpdateRun& r) {
             Reply(r, Nth("write 70", 3), {0xA0, 0x0C});
         },
         "Block 1 erase error! Please reset Programmer."},
        {"page status never comes",
         [](UpdateRun& r) { r.h.faults.failWhen = NoAnswerAfterStatusRequest(4); },
         "Time out error!"},
        {"page status cut short", [](UpdateRun& r) { Reply(r, Nth("write 70", 5), {0x80}); },
         "Time out error!"},
        {"page not ready",
         [](UpdateRun& r) {
             Reply(r, Nth("write 70", 4), {0x00, 0x0C});
         },
         timeOutReset},
        {"program error",
         [](UpdateRun& r) {
             Reply(r, Nth("write 70", 6), {0x90, 0x0C});
         },
         "Program error!"},
        {"program error from the loader", [](UpdateRun&) {}, "Program error!", MsgIcon::None,
         LoaderFails(false, true)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        UpdateRun run(c.options);
        c.arrange(run);
        run.Update(kLoaderStart, PatternBytes(0x2000));

        // A failure once the file was chosen asks for a replug and goes back
        // to the start view; one before it leaves the button usable.
        const bool afterFile = c.icon != MsgIcon::Error;
        const std::string message =
            afterFile
                ? c.message + "\nUnplug the programmer and plug it in again, then update again."
                : c.message;
        EXPECT_EQ(run.h.prompts.messages, std::vector<Message>{MainMsg(message, "ERROR", c.icon)});
        EXPECT_EQ(run.WritesAfterLastMessage(), 0u);
        EXPECT_FALSE(run.BoxWasReset());
        EXPECT_NE(run.h.view.StatusText(), kCompletedStatus);
        EXPECT_EQ(run.h.view.Enabled(IDC_LOAD), !afterFile);
        EXPECT_EQ(run.h.view.Shown(IDC_LOAD), !afterFile);
        EXPECT_EQ(run.h.view.Shown(IDC_PICTURE), afterFile);
        if (afterFile) {
            EXPECT_EQ(run.h.view.StatusText(), "");
            EXPECT_FALSE(ControllerTestAccess::m_link(run.h.controller).IsOpen());
        }
        EXPECT_NE(run.h.view.progressHistory.empty() ? -1 : run.h.view.progressHistory.back(), 100);
    }
}

}  // namespace
}  // namespace o8r::test
