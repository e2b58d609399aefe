// The Read button of the main window: its refusals, the range dialog, the
// read-data window it runs, and the box reset and window state afterwards.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "core/model/Ids.h"
#include "core/operations/AddressRangeEntry.h"
#include "core/window/SharedState.h"
#include "support/RecordingReadView.h"

namespace o8r::test {
namespace {

constexpr char kPart[] = "R5F212A8SN";
constexpr char kSelected[] = "You have selected R5F212A8.";

struct ReadButtonRun {
    ControllerHarness h;
    int addressDialogRuns = 0;
    int readWindowRuns = 0;
    // What the main window looked like while the read window was up.
    bool buttonsDisabledDuringRead = false;
    std::uint16_t firstPage = 0;
    // Traces lines seen when each message box came up.
    std::vector<std::size_t> traceAtMessage;

    explicit ReadButtonRun(SimOptions options = {}, bool selectPart = true) : h(options) {
        if (selectPart) {
            EXPECT_TRUE(h.StartWithPart(kPart));
        } else {
            h.Start();
            h.ClearTrace();
        }
        h.prompts.onMessage = [this](const Message&) {
            traceAtMessage.push_back(h.TraceLines().size());
        };
    }

    // The range dialog accepts the texts; the read window reads to its end,
    // then runs `inWindow` (by default the user leaves without saving).
    void ScriptRead(const std::string& start, const std::string& end,
                    std::function<void(ReadSession&, RecordingReadView&)> inWindow = nullptr) {
        auto accept = [this, start, end](AddressRangeEntry& dialog) {
            ++addressDialogRuns;
            std::string s = start;
            std::string e = end;
            return dialog.PressOk(s, e) ? DialogResult::Ok : DialogResult::Cancel;
        };
        h.prompts.addressDialog = accept;
        h.prompts.readWindow = [this, inWindow](ReadSession& session) {
            ++readWindowRuns;
            firstPage = g_currentPage;
            buttonsDisabledDuringRead =
                !h.view.Enabled(IDC_READ) && !h.view.Enabled(IDC_PROGRAM_LABEL);
            RecordingReadView window(h.clock);
            session.Open(window);
            window.RunTimer(session);
            if (!window.Closed()) {
                if (inWindow) {
                    inWindow(session, window);
                } else {
                    h.prompts.answers.push_back(MsgAnswer::Yes);
                    session.OnCancelCommand();
                }
            }
            return window.closedWith.value_or(DialogResult::Cancel);
        };
    }

    bool ResetPulsedLast() const {
        const auto lines = h.TraceLines();
        std::vector<std::string> flows;
        for (const auto& l : lines) {
            if (l.rfind("flow ", 0) == 0)
                flows.push_back(l);
        }
        return flows.size() >= 2 && flows[flows.size() - 2] == "flow 0 0 1 0 0 0" &&
               flows.back() == "flow 0 0 0 0 0 0" && !h.box.InReset();
    }
};

TEST(ReadButtonTest, AReadRunsFromTheRangeToTheResetOfTheBox) {
    ReadButtonRun run;
    run.ScriptRead("c0f8", "C107");
    run.h.controller.OnRead();

    EXPECT_EQ(g_rangePrompt, "Please set read range");
    EXPECT_EQ(run.addressDialogRuns, 1);
    EXPECT_EQ(run.readWindowRuns, 1);
    EXPECT_EQ(run.firstPage, 0xC0);
    EXPECT_TRUE(run.buttonsDisabledDuringRead);
    EXPECT_EQ(run.h.prompts.Texts(),
              (std::vector<std::string>{
                  "Read completed.",
                  "The data has not been saved. \nAre you sure to quit anyway without save?"}));
    EXPECT_EQ(run.h.box.CommandLog(), (std::vector<std::string>{"C", "U", "R 00C0", "R 00C1"}));
    run.h.ExpectIdleWindow(kSelected);
    EXPECT_TRUE(run.ResetPulsedLast());
}

TEST(ReadButtonTest, APageTimeOutClosesTheWindowAndResetsTheBox) {
    ReadButtonRun run;
    run.h.faults.holdCtsAfter = CallIs("write 52");
    run.ScriptRead("C000", "C0FF");
    run.h.controller.OnRead();

    EXPECT_EQ(run.h.prompts.messages,
              std::vector<Message>{ReadMsg("Time out errot!", "ERROR", MsgIcon::Error)});
    run.h.ExpectIdleWindow("Click MCU list to select. Double click to set ID code.");
    EXPECT_TRUE(run.ResetPulsedLast());
}

TEST(ReadButtonTest, RefusalsStopBeforeTheReadWindow) {
    struct Case {
        const char* name;
        bool selectPart;
        SimOptions options;
        bool scriptRange;  // else the range dialog is closed
        std::vector<Message> messages;
        int addressDialogRuns;
        bool resetAfterwards;  // a reset by the Read handler after the last message
    };
    SimOptions noTarget;
    noTarget.faults.targetAbsent = true;
    const Case cases[] = {
        {"no MCU selected",
         false,
         {},
         true,
         {MainMsg("You haven't selected MCU yet.", "WARNING", MsgIcon::Exclamation)},
         0,
         false},
        {"no target in the socket",
         true,
         noTarget,
         true,
         {MainMsg("Can not connect with target!", "ERROR", MsgIcon::Error)},
         0,
         false},
        {"range dialog closed", true, {}, false, {}, 1, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ReadButtonRun run(c.options, c.selectPart);
        run.ScriptRead("C000", "C0FF");
        if (!c.scriptRange) {
            run.h.prompts.addressDialog = [&run](AddressRangeEntry&) {
                ++run.addressDialogRuns;
                return DialogResult::Cancel;
            };
        }
        run.h.controller.OnRead();

        EXPECT_EQ(run.h.prompts.messages, c.messages);
        EXPECT_EQ(run.addressDialogRuns, c.addressDialogRuns);
        EXPECT_EQ(run.readWindowRuns, 0);
        for (const auto& command : run.h.box.CommandLog())
            EXPECT_NE(command.rfind("R ", 0), 0u);
        if (!c.selectPart) {
            EXPECT_TRUE(run.h.TraceLines().empty());
        }
        if (!c.messages.empty()) {
            // The handler adds nothing after the connect sequence's own message.
            EXPECT_EQ(run.traceAtMessage.back(), run.h.TraceLines().size());
        }
        if (c.resetAfterwards) {
            run.h.ExpectIdleWindow(kSelected);
            EXPECT_TRUE(run.ResetPulsedLast());
        }
    }
}

}  // namespace
}  // namespace o8r::test
