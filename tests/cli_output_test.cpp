// What o8rprog writes for production lines: the checksums of an image, the
// JSON object and the CSV line of a run, the log shared by several
// processes, and the command line each box of a gang gets.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cli/Gang.h"
#include "cli/RecordOutput.h"
#include "platform/AppendFile.h"
#include "cli/RunRecord.h"
#include "core/model/Checksums.h"
#include "support/ScratchDir.h"

#if !defined(_WIN32)
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace o8r::cli {
namespace {

std::span<const std::uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string Repeat(std::size_t count, const std::string& piece) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += piece;
    return text;
}

std::string AllByteValues(int times) {
    std::string text;
    for (int t = 0; t < times; ++t)
        for (int b = 0; b < 256; ++b)
            text += static_cast<char>(b);
    return text;
}

TEST(ChecksumsTest, KnownAnswers) {
    struct Case {
        std::string data;
        const char* crc32;
        const char* sha256;
    };
    // The SHA-256 lengths around 56 and 64 bytes take each way the padding goes.
    const Case cases[] = {
        {"", "00000000", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "352441c2", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"123456789", "cbf43926", nullptr},
        {"The quick brown fox jumps over the lazy dog", "414fa339", nullptr},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", nullptr,
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {Repeat(55, "a"), nullptr,
         "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
        {Repeat(63, "a"), nullptr,
         "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
        {Repeat(64, "a"), nullptr,
         "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {Repeat(119, "a"), nullptr,
         "31eba51c313a5c08226adf18d4a359cfdfd8d2e816b13f4af952f7ea6584dcfb"},
        {Repeat(1000000, "a"), nullptr,
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
        {AllByteValues(3), "b0c0df2a",
         "f3a25aa93aa2fbba28d79260535bbd6a5eb0fc1c24a8b0f04e12b484c1dfe363"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.data.substr(0, 40) + " (" + std::to_string(c.data.size()) + " bytes)");
        if (c.crc32 != nullptr) {
            Crc32 crc;
            crc.Add(Bytes(c.data));
            EXPECT_EQ(Crc32Text(crc.Value()), c.crc32);
        }
        if (c.sha256 != nullptr) {
            Sha256 sha;
            sha.Add(Bytes(c.data));
            EXPECT_EQ(HexText(sha.Finish()), c.sha256);
        }
    }
}

TEST(ChecksumsTest, PiecesGiveTheSameAsTheWhole) {
    // Page records come one by one: every split point must give the same sums.
    const std::string data = AllByteValues(3);
    for (std::size_t split :
         {std::size_t{1}, std::size_t{55}, std::size_t{64}, std::size_t{260}, std::size_t{700}}) {
        Crc32 crc;
        Sha256 sha;
        for (std::size_t at = 0; at < data.size(); at += split) {
            const auto piece = Bytes(data).subspan(at, std::min(split, data.size() - at));
            crc.Add(piece);
            sha.Add(piece);
        }
        EXPECT_EQ(Crc32Text(crc.Value()), "b0c0df2a") << split;
        EXPECT_EQ(HexText(sha.Finish()),
                  "f3a25aa93aa2fbba28d79260535bbd6a5eb0fc1c24a8b0f04e12b484c1dfe363")
            << split;
    }
}

TEST(RecordOutputTest, JsonStringsAreEscapedAndStayValidUtf8) {
    struct Case {
        std::string text;
        std::string json;
    };
    const Case cases[] = {
        {"Verify error!", "\"Verify error!\""},
        {"say \"hi\" \\ there", R"("say \"hi\" \\ there")"},
        {"line\nbreak\r\ttab", R"("line\nbreak\r\ttab")"},
        {std::string("nul\0bell\x07"
                     "esc\x1b"
                     "del\x7f",
                     17),
         // DEL needs no escape in JSON.
         "\"nul\\u0000bell\\u0007esc\\u001bdel\x7f\""},
        {"Grüße 日本 😀", "\"Grüße 日本 😀\""},
        // A stored name in some other code page: each bad byte becomes U+FFFD.
        {"caf\xE9", "\"caf\xEF\xBF\xBD\""},
        {"\xC0\xAF", "\"\xEF\xBF\xBD\xEF\xBF\xBD\""},                  // overlong '/'
        {"\xED\xA0\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},  // a surrogate
        {"\xF4\x90\x80\x80", "\"\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\""},
        {"cut \xE6\x97", "\"cut \xEF\xBF\xBD\xEF\xBF\xBD\""},  // ends mid-character
    };
    for (const Case& c : cases)
        EXPECT_EQ(JsonString(c.text), c.json) << c.text;
}

TEST(RecordOutputTest, CsvFieldsStayOnOneLineAndAreQuotedWhenNeeded) {
    struct Case {
        const char* text;
        const char* field;
    };
    const Case cases[] = {
        {"plain", "plain"},
        {"", ""},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"Check area is not empty.\nThe first filled address is 0x04000.",
         "Check area is not empty. The first filled address is 0x04000."},
        {"two\r\nlines, one \"quote\"", "\"two  lines, one \"\"quote\"\"\""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CsvField(c.text), c.field) << c.text;
}

RunRecord SampleRecord() {
    RunRecord record;
    record.command = "program";
    record.part = "R5F212A8SN";
    record.port = "/dev/ttyUSB2";
    record.usbSerial = "0001";
    record.imageFile = "board, rev \"B\".mot";
    record.imageSize = 1022;
    record.pages = 4;
    record.crc32 = "4f4b6231";
    record.sha256 = std::string(64, 'a');
    record.startMs = 1'765'000'000'000;
    record.endMs = 1'765'000'001'234;
    record.durationMs = 1'234;  // from the steady clock, not end - start
    record.outcome = "VerifyError";
    record.message = "Verify error!";
    record.exitStatus = 1;
    return record;
}

TEST(RecordOutputTest, JsonAndCsvCarryTheSameFields) {
    const RunRecord record = SampleRecord();
    const std::string json = RecordJson(record);
    EXPECT_EQ(json.find('\n'), std::string::npos) << "one object on one line";
    for (const char* part :
         {R"("command":"program")", R"("box":{"port":"/dev/ttyUSB2","usbSerial":"0001"})",
          R"("file":"board, rev \"B\".mot","size":1022,"pages":4,"crc32":"4f4b6231")",
          R"("start":"2025-12-06T05:46:40.000Z","end":"2025-12-06T05:46:41.234Z")",
          R"("durationSeconds":1.234)", R"("outcome":"VerifyError","message":"Verify error!")",
          R"("exitStatus":1,"firstFilledAddress":null,"storedName":null,"bytesRead":null)"})
        EXPECT_NE(json.find(part), std::string::npos) << part << "\n in " << json;

    const std::string line = CsvLine(record);
    EXPECT_EQ(line,
              "program,R5F212A8SN,/dev/ttyUSB2,0001,\"board, rev \"\"B\"\".mot\",1022,4,4f4b6231," +
                  std::string(64, 'a') +
                  ",2025-12-06T05:46:40.000Z,2025-12-06T05:46:41.234Z,1.234,VerifyError,"
                  "Verify error!,no,1,,,,,,,,,,,\n");
    const auto count = [](const std::string& text, char c) {
        return std::count(text.begin(), text.end(), c);
    };
    EXPECT_EQ(count(CsvHeader(), ','), 26);
    RunRecord blank;
    blank.firstFilledAddress = 0x4000;
    EXPECT_EQ(count(CsvLine(blank), ','), 26) << "every line has every column";
    EXPECT_NE(RecordJson(blank).find(R"("image":null)"), std::string::npos);
}

TEST(RunRecordTest, UtcTimesInIso8601) {
    struct Case {
        std::uint64_t ms;
        const char* text;
    };
    const Case cases[] = {
        {0, "1970-01-01T00:00:00.000Z"},
        {951'782'400'000, "2000-02-29T00:00:00.000Z"},
        {951'868'799'999, "2000-02-29T23:59:59.999Z"},
        {1'709'251'199'005, "2024-02-29T23:59:59.005Z"},
        {4'107'542'400'000, "2100-03-01T00:00:00.000Z"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsoUtc(c.ms), c.text) << c.ms;
}

TEST(RunRecordTest, TheFirstErrorIsTheMessage) {
    CurrentRecord() = RunRecord{};
    NoteMessage(Message{"Connecting", "Info", MsgIcon::None});
    EXPECT_EQ(CurrentRecord().message, "Connecting");
    NoteMessage(Message{"Cancel?", "Question", MsgIcon::Question, MsgButtons::YesNo});
    EXPECT_EQ(CurrentRecord().message, "Connecting") << "a question is not an ending";
    NoteMessage(Message{"Verify error!", "Error", MsgIcon::Error});
    NoteMessage(Message{"Reset the box by hand.", "Error", MsgIcon::Error});
    NoteMessage(Message{"Done", "Info", MsgIcon::None});
    EXPECT_EQ(CurrentRecord().message, "Verify error!");
}

TEST(LogFileTest, HeaderOnceThenOneLinePerAppend) {
    test::ScratchDir dir;
    const std::string log = dir.File("line.csv");
    std::string error;
    ASSERT_TRUE(AppendLines(log, "h1,h2\n", "a,1\n", error)) << error;
    ASSERT_TRUE(AppendLines(log, "h1,h2\n", "b,2\n", error)) << error;
    EXPECT_EQ(test::ReadWholeFile(log), "h1,h2\na,1\nb,2\n");
    // A log emptied by hand gets its header again.
    dir.Write("empty.csv", "");
    ASSERT_TRUE(AppendLines(dir.File("empty.csv"), "h\n", "c\n", error)) << error;
    EXPECT_EQ(test::ReadWholeFile(dir.File("empty.csv")), "h\nc\n");
    EXPECT_FALSE(AppendLines(dir.File("no-such-folder/x.csv"), "h\n", "c\n", error));
    EXPECT_NE(error.find("no-such-folder"), std::string::npos) << error;
}

#if !defined(_WIN32)
TEST(LogFileTest, ProcessesAppendingAtOnceNeverMixTheirLines) {
    test::ScratchDir dir;
    const std::string log = dir.File("shared.csv");
    constexpr int kWriters = 6;
    constexpr int kLines = 200;
    std::vector<pid_t> writers;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            std::string error;
            for (int i = 0; i < kLines; ++i) {
                const std::string line = "writer" + std::to_string(w) + "," +
                                         std::string(300, static_cast<char>('a' + w)) + "," +
                                         std::to_string(i) + "\n";
                if (!AppendLines(log, "writer,data,n\n", line, error))
                    _exit(1);
            }
            _exit(0);
        }
        writers.push_back(pid);
    }
    for (pid_t pid : writers) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const std::string text = test::ReadWholeFile(log);
    ASSERT_EQ(text.rfind("writer,data,n\n", 0), 0u) << "the header first";
    std::vector<int> next(kWriters, 0);
    std::size_t at = text.find('\n') + 1;
    int lines = 0;
    while (at < text.size()) {
        const std::size_t end = text.find('\n', at);
        ASSERT_NE(end, std::string::npos);
        const std::string line = text.substr(at, end - at);
        const int w = line[6] - '0';
        ASSERT_TRUE(w >= 0 && w < kWriters) << line;
        EXPECT_EQ(line, "writer" + std::to_string(w) + "," +
                            std::string(300, static_cast<char>('a' + w)) + "," +
                            std::to_string(next[static_cast<std::size_t>(w)]++));
        at = end + 1;
        ++lines;
    }
    EXPECT_EQ(lines, kWriters * kLines) << "one header, every line whole";
}
#endif

TEST(GangTest, BoxesFromTheBoxesOption) {
    struct Case {
        const char* spec;
        std::vector<std::string> labels;  // empty: refused
    };
    const Case cases[] = {
        {"sim:3", {"sim:1", "sim:2", "sim:3"}},
        {"/dev/ttyUSB0,/dev/ttyUSB1", {"/dev/ttyUSB0", "/dev/ttyUSB1"}},
        {"sim:0", {}},
        {"sim:65", {}},
        {"sim:x", {}},
        {"sim:", {}},
        {"/dev/ttyUSB0,,/dev/ttyUSB1", {}},
        {"/dev/ttyUSB0,/dev/ttyUSB0", {}},
    };
    for (const Case& c : cases) {
        std::string error;
        const std::vector<GangBox> boxes = GangBoxes(c.spec, error);
        std::vector<std::string> labels;
        for (const GangBox& box : boxes)
            labels.push_back(box.label);
        EXPECT_EQ(labels, c.labels) << c.spec;
        EXPECT_EQ(error.empty(), !c.labels.empty()) << c.spec << ": " << error;
    }
}

TEST(GangTest, EachBoxGetsItsOwnStateFaultsAndFiles) {
    GlobalOptions global;
    global.simFaults = {"2=wrong-answer:5", "busy-stuck", "12=verify-error:1"};
    global.trace = "t.txt";
    global.log = "line.csv";
    const auto args = [&](int index, std::vector<std::string> command) {
        std::string error;
        const std::vector<GangBox> boxes = GangBoxes("sim:12", error);
        const auto all = GangChildArguments(global, boxes[static_cast<std::size_t>(index - 1)],
                                            "/tmp/g", command);
        std::string text;
        for (const std::string& a : all)
            text += a + " ";
        return text;
    };
    const std::string second = args(2, {"program", "--mcu", "X", "a.mot"});
    EXPECT_NE(second.find("--box sim --sim-state /tmp/g/box2.state --sim-serial SIM2 "
                          "--sim-fault wrong-answer:5 --sim-fault busy-stuck "),
              std::string::npos)
        << second;
    EXPECT_EQ(second.find("verify-error"), std::string::npos) << "box 12's fault only for it";
    EXPECT_NE(second.find("--trace t.txt.2 --log line.csv --json --quiet --progress-lines "
                          "--cancel-answer yes program --mcu X a.mot "),
              std::string::npos)
        << second;
    const std::string first = args(1, {"program", "a.mot"});
    EXPECT_EQ(first.find("wrong-answer"), std::string::npos) << first;
    EXPECT_NE(args(12, {"erase"}).find("--sim-fault verify-error:1"), std::string::npos);
    // Reads do not write over each other's file.
    struct Output {
        const char* given;
        const char* box3;
    };
    for (const Output& o :
         {Output{"out/back.mot", "out/back-3.mot"}, Output{"back", "back-3"},
          Output{"my.dir/back", "my.dir/back-3"}, Output{".hidden", ".hidden-3"}}) {
        const std::string read = args(3, {"read", "--range", "4000-40FF", "-o", o.given});
        EXPECT_NE(read.find(std::string("-o ") + o.box3 + " "), std::string::npos) << read;
    }
    global.simState = "line.state";
    EXPECT_NE(args(4, {"erase"}).find("--sim-state line.state.4 "), std::string::npos);
}

}  // namespace
}  // namespace o8r::cli
