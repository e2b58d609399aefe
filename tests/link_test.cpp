// The connect sequence that starts every operation: reset, line set-up, the
// 'C'/'U' handshake with the target or the 'D' header of a Load, and every
// way it can fail.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "core/model/Ids.h"
#include "core/model/Messages.h"
#include "core/window/SharedState.h"
#include "support/ControllerHarness.h"
#include "support/TestData.h"

namespace o8r::test {
namespace {

// The connect the window's current operation makes: the Load header for Load.
bool Connect(ControllerHarness& h) {
    const bool load = ControllerTestAccess::m_operation(h.controller) == Operation::Load;
    return h.controller.ConnectProgrammer(load ? Handshake::Store : Handshake::Target);
}

constexpr std::array<std::uint8_t, 7> kCode = {1, 2, 3, 4, 5, 6, 7};
constexpr char kCodeWrite[] = "write 7 01020304050607 -> 7";

bool HasLineStartingWith(const std::vector<std::string>& lines, const std::string& prefix) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

// Compares a trace with a golden file; O8R_UPDATE_GOLDEN=1 rewrites the file.
void ExpectGoldenTrace(const std::vector<std::string>& lines, const std::string& name) {
    const std::string path = SourcePath("tests/golden/" + name);
    if (const char* update = std::getenv("O8R_UPDATE_GOLDEN"); update && *update == '1') {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        for (const auto& line : lines)
            out << line << '\n';
    }
    std::ifstream in(path, std::ios::binary);
    ASSERT_TRUE(in) << "missing golden file " << path;
    std::vector<std::string> golden;
    for (std::string line; std::getline(in, line);)
        golden.push_back(line);
    EXPECT_EQ(lines, golden) << "trace differs from " << path;
}

// ---------------------------------------------------------------------------
// The 16-byte name field of the Load header.

TEST(LoadNameFieldTest, CutsTheFileNameOfAnyPath) {
    struct Case {
        const char* path;
        const char* field;
    };
    const Case cases[] = {
        {"C:\\images\\blink.mot", "blink           "},
        {"/home/user/images/blink.mot", "blink           "},
        {"C:/mixed\\dirs/blink.mot", "blink           "},
        {"/x/abcdefghijklmnopq.mot", "abcdefghijklmnop"},  // 17 characters: cut to 16
        {"/x/abcdefghijklmnop.mot", "abcdefghijklmnop"},   // exactly 16
        {"/x/abcde", "a               "},                  // the last four always go
        // Nothing left after the cut: the whole name, so it is never blank.
        {"/x/a.mo", "a.mo            "},
        {"/x/abcd", "abcd            "},
        {"/x/     .mot", "     .mot       "},
        {"blink.mot", "blink.mot       "},    // no separator at all
        {"\\blink.mot", "blink.mot       "},  // only one in front
        {"/dir/", "_               "},        // no name at all
        {"", "_               "},
        // Plain ASCII only: one '_' for each other character.
        {"/x/caf\xC3\xA9.mot", "caf_            "},
        {"/x/\xD0\xBE\xD0\xB1\xD1\x80\xD0\xB0\xD0\xB7\xD0\xB5\xD1\x86.mot", "_______         "},
        {"/x/\xE2\x82\xAC.mot", "_               "},  // one character of three bytes
        {"/x/a\x80"
         "b.mot",
         "a_b             "},                          // a stray byte
        {"/x/tab\there\x7F.mot", "tab_here_       "},  // control characters
        {"/x/\xF0\x9F\x98\x80\xF0\x9F\x98\x80.mot", "__              "},
        {"/x/\xC3\xA9.mo", "_.mo            "},  // too short: the whole name, made safe
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LoadNameField(c.path), c.field) << c.path;
    }
}

// ---------------------------------------------------------------------------
// Successful connects, byte for byte.

TEST(ConnectTest, TargetConnectMatchesTheGoldenTrace) {
    ControllerHarness h;
    ASSERT_TRUE(h.StartWithPart("R5F212A8SN"));
    g_idCode = kCode;
    ControllerTestAccess::m_operation(h.controller) = Operation::Program;
    EXPECT_TRUE(Connect(h));
    EXPECT_TRUE(h.prompts.messages.empty());
    EXPECT_EQ(h.box.CommandLog(), (std::vector<std::string>{"C", "U"}));
    const auto data = h.DataLines();
    EXPECT_EQ(data, (std::vector<std::string>{"write 1 43 -> 1", "read 1 -> 4F", "write 1 55 -> 1",
                                              kCodeWrite, "read 1 -> 4F"}));
    ExpectGoldenTrace(h.TraceLines(), "target_connect.trace");
}

TEST(ConnectTest, LoadConnectSendsTheHeaderAndNeverCOrU) {
    ControllerHarness h;
    ASSERT_TRUE(h.StartWithPart("R5F212A8SN"));
    g_idCode = kCode;
    g_pageCount = 0x0102;
    g_filePath = "/home/user/images/blink.mot";
    ControllerTestAccess::m_operation(h.controller) = Operation::Load;
    EXPECT_TRUE(Connect(h));
    EXPECT_TRUE(h.prompts.messages.empty());
    const auto data = h.DataLines();
    EXPECT_EQ(data, (std::vector<std::string>{
                        "write 3 440201 -> 3",
                        kCodeWrite,
                        "write 16 626C696E6B2020202020202020202020 -> 16",
                        "write 1 00 -> 1",
                        "read 1 -> 4F",
                    }));
    ExpectGoldenTrace(h.TraceLines(), "load_connect.trace");
}

TEST(ConnectTest, AProtectedTargetOpensWithItsIdCode) {
    SimOptions options;
    options.faults.protectedCode = kCode;
    ControllerHarness h(options);
    ASSERT_TRUE(h.StartWithPart("R5F212A8SN"));
    g_idCode = kCode;
    ControllerTestAccess::m_operation(h.controller) = Operation::Erase;
    EXPECT_TRUE(Connect(h));
    EXPECT_TRUE(h.prompts.messages.empty());
}

// ---------------------------------------------------------------------------
// Every failure of the connect sequence: one message with its caption and
// icon, and whether the box was reset (once more) before it.

struct FailureRow {
    const char* name;
    Operation operation;
    std::function<void(ControllerHarness&)> setUp;
    const char* text;
    const char* caption;
    MsgIcon icon;
    bool resetBeforeMessage;
};

std::vector<FailureRow> FailureRows() {
    auto protectedWithOtherCode = [](ControllerHarness& h) {
        g_idCode = {9, 9, 9, 9, 9, 9, 9};
        (void)h;
    };
    return {
        {"box never ready after reset", Operation::Program,
         [](ControllerHarness& h) { h.faults.failWhen = CallIs("modem"); },
         "Please reset programmer!", "Error", MsgIcon::Error, false},
        {"baud rate refused", Operation::Program,
         [](ControllerHarness& h) { h.faults.failWhen = CallIs("baud 500000"); },
         "Can not open target!", "ERROR", MsgIcon::Error, false},
        {"line control refused", Operation::Load,
         [](ControllerHarness& h) { h.faults.failWhen = CallIs("line 0800"); },
         "Can not open target!", "ERROR", MsgIcon::Error, false},
        {"flow control refused", Operation::Program,
         [](ControllerHarness& h) { h.faults.failWhen = CallIs("flow 0 1 0 0 0 0"); },
         "Can not open target!", "ERROR", MsgIcon::Error, false},
        {"not ready after line set-up", Operation::Program,
         [](ControllerHarness& h) { h.faults.holdCtsAfter = CallIs("line 0800"); },
         "Time out error!", "ERROR", MsgIcon::Error, true},
        {"'C' not written", Operation::Program,
         [](ControllerHarness& h) { h.faults.shortWriteWhen = CallIs("write 43"); },
         "Connection is broken!", "ERROR", MsgIcon::None, false},
        {"no answer to 'C'", Operation::Program,
         [](ControllerHarness& h) { h.faults.holdCtsAfter = CallIs("write 43"); },
         "Time out error!", "ERROR", MsgIcon::Error, true},
        {"no target in the socket", Operation::Program,
         [](ControllerHarness& h) { h.box.SetTargetPresent(false); },
         "Can not connect with target!", "ERROR", MsgIcon::Error, true},
        {"answer to 'C' never read", Operation::BlankCheck,
         [](ControllerHarness& h) {
             h.faults.replyAfter = CallIs("write 43");
             h.faults.reply = {};
         },
         "Can not connect with target!", "ERROR", MsgIcon::Error, true},
        {"'U' not written", Operation::Erase,
         [](ControllerHarness& h) { h.faults.shortWriteWhen = CallIs("write 55"); },
         "Connection is broken!", "ERROR", MsgIcon::None, false},
        {"ID code not written", Operation::Program,
         [](ControllerHarness& h) { h.faults.shortWriteWhen = CallIs("write 01020304050607"); },
         "Connection is broken!", "ERROR", MsgIcon::None, false},
        {"no final answer", Operation::Program,
         [](ControllerHarness& h) { h.faults.holdCtsAfter = CallIs("write 55"); },
         "Time out error!", "ERROR", MsgIcon::Error, true},
        {"ID code refused", Operation::Program, protectedWithOtherCode, "ID code error!", "ERROR",
         MsgIcon::Error, true},
        {"target timed out", Operation::Read,
         [](ControllerHarness& h) {
             h.faults.replyAfter = CallIs("write 01020304050607");
             h.faults.reply = {'T'};
         },
         "Time out error!", "ERROR", MsgIcon::Error, true},
        {"any other final answer", Operation::Program,
         [](ControllerHarness& h) {
             h.faults.replyAfter = CallIs("write 01020304050607");
             h.faults.reply = {'X'};
         },
         "Can not connect with programmer!", "ERROR", MsgIcon::Error, true},
        {"final answer never read", Operation::Program,
         [](ControllerHarness& h) {
             h.faults.replyAfter = CallIs("write 01020304050607");
             h.faults.reply = {};
         },
         "Can not connect with programmer!", "ERROR", MsgIcon::Error, true},
        {"Load: 'D' header not written", Operation::Load,
         [](ControllerHarness& h) { h.faults.shortWriteWhen = CallStartsWith("write 44"); },
         "Connection is broken!", "ERROR", MsgIcon::None, false},
        {"Load: ID code not written", Operation::Load,
         [](ControllerHarness& h) { h.faults.shortWriteWhen = CallIs("write 01020304050607"); },
         "Connection is broken!", "ERROR", MsgIcon::None, false},
        {"Load: name not written", Operation::Load,
         [](ControllerHarness& h) { h.faults.shortWriteWhen = CallStartsWith("write 626C696E6B"); },
         "Connection is broken!", "ERROR", MsgIcon::None, false},
        {"Load: no final answer", Operation::Load,
         [](ControllerHarness& h) { h.faults.holdCtsAfter = CallIs("write 00"); },
         "Time out error!", "ERROR", MsgIcon::Error, true},
        {"Load: 'I' is no ID code error here", Operation::Load,
         [](ControllerHarness& h) {
             h.faults.replyAfter = CallIs("write 00");
             h.faults.reply = {'I'};
         },
         "Can not connect with programmer!", "ERROR", MsgIcon::Error, true},
        {"Load: 'T' is no time-out here", Operation::Load,
         [](ControllerHarness& h) {
             h.faults.replyAfter = CallIs("write 00");
             h.faults.reply = {'T'};
         },
         "Can not connect with programmer!", "ERROR", MsgIcon::Error, true},
    };
}

TEST(ConnectFailureTest, EachRowShowsOneMessageAndResetsAsItShould) {
    for (const auto& row : FailureRows()) {
        SCOPED_TRACE(row.name);
        SimOptions options;
        options.faults.protectedCode = kCode;
        ControllerHarness h(options);
        ASSERT_TRUE(h.StartWithPart("R5F212A8SN"));
        g_idCode = kCode;
        g_pageCount = 1;
        g_filePath = "C:\\images\\blink.mot";
        row.setUp(h);
        std::size_t resetsAtMessage = 0;
        h.prompts.onMessage = [&](const Message&) { resetsAtMessage = ResetsIn(h.TraceLines()); };
        ControllerTestAccess::m_operation(h.controller) = row.operation;

        EXPECT_FALSE(Connect(h));
        EXPECT_EQ(h.prompts.messages,
                  std::vector<Message>{MainMsg(row.text, row.caption, row.icon)});
        // The reset at the start of the sequence, and one more when the row asks for it.
        EXPECT_EQ(resetsAtMessage, row.resetBeforeMessage ? 2u : 1u);
        EXPECT_EQ(ResetsIn(h.TraceLines()), resetsAtMessage) << "nothing resets after the message";
        const auto lines = h.TraceLines();
        if (row.operation == Operation::Load) {
            EXPECT_FALSE(HasLineStartingWith(lines, "write 1 43")) << "Load never sends 'C'";
            EXPECT_FALSE(HasLineStartingWith(lines, "write 1 55")) << "Load never sends 'U'";
        } else {
            EXPECT_FALSE(HasLineStartingWith(lines, "write 3 44")) << "only Load sends 'D'";
        }
        // The idle window is back: nothing of a failed connect stays enabled or hidden.
        EXPECT_TRUE(h.view.Enabled(IDC_PROGRAM));
        EXPECT_TRUE(h.view.Shown(IDC_STATUS));
        EXPECT_FALSE(h.view.Shown(IDC_PROGRESS));
        EXPECT_FALSE(ControllerTestAccess::m_operationRunning(h.controller));
    }
}

// ---------------------------------------------------------------------------
// The link routines on their own.

TEST(LinkRoutinesTest, ResetRestoresTheIdleWindowAndWaitsForTheBoxToBoot) {
    ControllerHarness h;
    h.Start();
    h.view.SetButtonIcon(IDC_PROGRAM, IDI_CANCEL);
    h.view.SetControlText(IDC_LOAD_LABEL, "Cancel");
    h.view.SetControlText(IDC_BLANK_CHECK_LABEL, "Cancel");
    h.view.SetProgress(40);
    h.view.ShowControl(IDC_PROGRESS, true);
    h.view.ShowControl(IDC_STATUS, false);
    h.controller.EnableCommandButtons(false);
    ControllerTestAccess::m_operationRunning(h.controller) = true;
    h.ClearTrace();

    EXPECT_TRUE(h.controller.ResetProgrammer());
    EXPECT_FALSE(ControllerTestAccess::m_operationRunning(h.controller));
    EXPECT_EQ(h.view.Icon(IDC_PROGRAM), IDI_PROGRAM);
    EXPECT_EQ(h.view.Icon(IDC_LOAD), IDI_LOAD);
    EXPECT_EQ(h.view.Icon(IDC_BLANK_CHECK), IDI_BLANK_CHECK);
    EXPECT_EQ(h.view.Text(IDC_PROGRAM_LABEL), "Program");
    EXPECT_EQ(h.view.Text(IDC_LOAD_LABEL), "Load");
    EXPECT_EQ(h.view.Text(IDC_BLANK_CHECK_LABEL), "Blank Check");
    EXPECT_EQ(h.view.Progress(), 0);
    EXPECT_FALSE(h.view.Shown(IDC_PROGRESS));
    EXPECT_TRUE(h.view.Shown(IDC_STATUS));
    EXPECT_TRUE(h.view.Enabled(IDC_ERASE));
    EXPECT_TRUE(h.view.Enabled(IDC_BLANK_CHECK_LABEL));

    const auto lines = h.TraceLines();
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ(lines[0], "flow 0 0 1 0 0 0");
    EXPECT_EQ(lines[1], "flow 0 0 0 0 0 0");
    // Polls of modem status and flush until the box has booted and dropped CTS.
    EXPECT_EQ(lines[lines.size() - 2], "modem -> 00");
    EXPECT_EQ(lines.back(), "flush 1 1");
    for (std::size_t i = 2; i + 2 < lines.size(); i += 2) {
        EXPECT_EQ(lines[i], "modem -> 10");
        EXPECT_EQ(lines[i + 1], "flush 1 1");
    }
}

TEST(LinkRoutinesTest, ResetGivesUpAfterAThousandPolls) {
    ControllerHarness h;
    h.Start();
    h.faults.failWhen = CallIs("modem");
    h.ClearTrace();
    EXPECT_FALSE(h.controller.ResetProgrammer());
    const auto lines = h.TraceLines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "flush 1 1"), 1000);
    EXPECT_EQ(h.prompts.messages,
              std::vector<Message>{MainMsg("Please reset programmer!", "Error", MsgIcon::Error)});
}

TEST(LinkRoutinesTest, ConfigureLineStopsAtTheFirstFailure) {
    struct Case {
        const char* failing;
        std::vector<std::string> trace;
        bool result;
    };
    const Case cases[] = {
        {"none", {"baud 19200", "line 0800", "flow 0 1 0 0 0 0"}, true},
        {"baud 19200", {"baud 19200 !1"}, false},
        {"line 0800", {"baud 19200", "line 0800 !1"}, false},
        {"flow 0 1 0 0 0 0", {"baud 19200", "line 0800", "flow 0 1 0 0 0 0 !1"}, false},
    };
    for (const auto& c : cases) {
        ControllerHarness h;
        h.Start();
        h.faults.failWhen = CallIs(c.failing);
        h.ClearTrace();
        EXPECT_EQ(ControllerTestAccess::m_link(h.controller).ConfigureLine(19200), c.result)
            << c.failing;
        EXPECT_EQ(h.TraceLines(), c.trace) << c.failing;
        EXPECT_TRUE(h.prompts.messages.empty());
    }
}

TEST(LinkRoutinesTest, WaitBoxReadyCountsItsPollsInEitherMode) {
    struct Case {
        bool updateMode;
        int maxPolls;
        bool holdBusy;
        bool result;
        std::size_t queries;
    };
    const Case cases[] = {
        {false, 0, false, false, 0},  {false, -3, false, false, 0},
        {false, 100, false, true, 1}, {false, 100, true, false, 100},
        {true, 0, false, false, 0},   {true, 1000, false, false, 1000},
    };
    for (const auto& c : cases) {
        ControllerHarness h;
        h.Start();
        ControllerTestAccess::m_updateMode(h.controller) = c.updateMode;
        if (c.holdBusy)
            h.faults.holdCtsAfter = CallIs("modem");
        h.ClearTrace();
        EXPECT_EQ(h.controller.WaitBoxReady(c.maxPolls), c.result);
        EXPECT_EQ(h.TraceLines().size(), c.queries)
            << "update " << c.updateMode << " max " << c.maxPolls;
    }
}

TEST(LinkRoutinesTest, WaitBoxReadyInUpdateModeWaitsForReceivedBytes) {
    SimOptions options;
    options.updateMode = true;
    ControllerHarness h(options);
    h.Start();
    ASSERT_TRUE(ControllerTestAccess::m_updateMode(h.controller));
    ASSERT_TRUE(ControllerTestAccess::m_link(h.controller).ConfigureLine(19200));
    // The loader answers only once it has seen its sixteen synchronisation bytes.
    std::uint32_t written = 0;
    const std::uint8_t sync = 0x00;
    for (int i = 0; i < 16; ++i)
        h.bridge.Write(h.Handle(), &sync, 1, written);
    const std::uint8_t echo = 0xB0;
    h.bridge.Write(h.Handle(), &echo, 1, written);
    h.ClearTrace();
    EXPECT_TRUE(h.controller.WaitBoxReady(1000));
    const auto lines = h.TraceLines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "queue -> 1");
}

}  // namespace
}  // namespace o8r::test
