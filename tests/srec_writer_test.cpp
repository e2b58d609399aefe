#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "core/image/LoadedFile.h"
#include "core/image/SRecordLoader.h"
#include "core/image/SRecordWriter.h"
#include "core/window/SharedState.h"
#include "support/ScratchDir.h"
#include "support/TestData.h"

namespace o8r {
namespace {

using ByteAt = std::function<std::uint8_t(std::uint32_t)>;

std::uint8_t LowByte(std::uint32_t address) {
    return static_cast<std::uint8_t>(address);
}

// The bytes a read of [start, end] brings back.
std::vector<std::uint8_t> Bytes(std::uint32_t start, std::uint32_t end,
                                const ByteAt& byteAt = LowByte) {
    std::vector<std::uint8_t> bytes;
    for (std::uint32_t address = start; address <= end; ++address)
        bytes.push_back(byteAt(address));
    return bytes;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    for (;;) {
        const std::size_t end = text.find("\r\n", at);
        if (end == std::string::npos) {
            lines.push_back(text.substr(at));
            return lines;
        }
        lines.push_back(text.substr(at, end - at));
        at = end + 2;
    }
}

TEST(SRecordWriter, GoldenFiles) {
    struct Case {
        const char* golden;
        std::uint32_t start;
        std::uint32_t end;
        ByteAt byteAt;
    } cases[] = {
        {"tests/golden/read_0C0F8_0C117.mot", 0xC0F8, 0xC117, LowByte},
        {"tests/golden/read_0C003_0C005.mot", 0xC003, 0xC005,
         [](std::uint32_t a) { return static_cast<std::uint8_t>(0x11 * (a - 0xC002)); }},
    };
    for (const auto& c : cases) {
        const std::string expected = test::ReadWholeFile(test::SourcePath(c.golden));
        ASSERT_FALSE(expected.empty()) << c.golden;
        EXPECT_EQ(BuildSRecordFile(c.start, Bytes(c.start, c.end, c.byteAt)), expected) << c.golden;
    }
}

TEST(SRecordWriter, RecordLayoutByRangeShape) {
    struct Case {
        const char* name;
        std::uint32_t start;
        std::uint32_t end;
        std::vector<std::string> lines;
    } cases[] = {
        {"one row, inside",
         0x4005,
         0x4007,
         {"S00600005A4F4B05", "S207004005050607A1", "S804004000BB"}},
        {"one full aligned row",
         0x4000,
         0x400F,
         {"S00600005A4F4B05", "S214004000000102030405060708090A0B0C0D0E0F33", "S804004000BB"}},
        {"two rows: first and last only",
         0x40FE,
         0x4101,
         {"S00600005A4F4B05", "S2060040FEFEFFBE", "S2060041000001B7", "S8040040F0CB"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SplitLines(BuildSRecordFile(c.start, Bytes(c.start, c.end))), c.lines) << c.name;
    }
}

TEST(SRecordWriter, AlignedRangeGivesFullRecordsThroughout) {
    const std::string file = BuildSRecordFile(0x8000, Bytes(0x8000, 0x803F));
    const auto lines = SplitLines(file);
    ASSERT_EQ(lines.size(), 6u);
    for (std::size_t i = 1; i <= 4; ++i) {
        EXPECT_EQ(lines[i].substr(0, 4), "S214") << i;
        EXPECT_EQ(lines[i].size(), 4u + 6 + 32 + 2) << i;
    }
    EXPECT_EQ(lines[1].substr(4, 6), "008000");
    EXPECT_EQ(lines[4].substr(4, 6), "008030");
    EXPECT_EQ(lines[5], "S8040080007B");
}

// Whatever the range, reading our own file back gives the same bytes: every
// checksum and byte count is right, 0xFF bytes included.
TEST(SRecordWriter, LoaderReadsBackEveryByte) {
    std::mt19937 random(7);
    const MemoryMap map{0, 0, 0x200, 0x100000};
    struct Case {
        std::uint32_t start;
        std::uint32_t end;
    } cases[] = {{0x4000, 0x4000}, {0x4001, 0x400E},   {0x400F, 0x4010}, {0x4000, 0x4FFF},
                 {0x2BFF, 0x2C00}, {0xFE000, 0xFFFFF}, {0x0200, 0x0205}};
    for (const auto& c : cases) {
        std::vector<std::uint8_t> bytes(c.end - c.start + 1);
        for (auto& b : bytes)
            b = random() % 4 == 0 ? 0xFF : static_cast<std::uint8_t>(random());
        const auto byteAt = [&](std::uint32_t a) { return bytes[a - c.start]; };
        std::istringstream in(BuildSRecordFile(c.start, Bytes(c.start, c.end, byteAt)));
        ResetSharedState();
        const auto result = LoadSRecordImage(g_state.image, in, 0, map, {});
        ASSERT_TRUE(result.ok) << std::hex << c.start << ": " << result.message.text;
        EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), g_memImage.begin() + c.start))
            << std::hex << c.start;
        EXPECT_EQ(g_memImage[c.start - 1], 0xFF);
        if (c.end + 1 < kMemImageSize) {
            EXPECT_EQ(g_memImage[c.end + 1], 0xFF);
        }
    }
}

// A read cancelled after its first page: the bytes received are written, the
// last row of them as the last record.
TEST(SRecordWriter, CancelledReadWritesTheRowsReceived) {
    const auto lines = SplitLines(BuildSRecordFile(0x4008, Bytes(0x4008, 0x40FF)));
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_EQ(lines[1].substr(0, 10), "S20C004008");
    EXPECT_EQ(lines[16].substr(0, 10), "S2140040F0");
    EXPECT_EQ(lines[17], "S804004000BB");
}

TEST(SRecordWriter, NoBytesGiveNoFile) {
    EXPECT_EQ(BuildSRecordFile(0x4000, {}), "");
}

TEST(WriteFileReplacing, WritesWholeFilesAndLeavesNothingBehind) {
    test::ScratchDir dir;
    const std::string path = dir.File("saved.mot");
    const std::string first = BuildSRecordFile(0x4000, Bytes(0x4000, 0x40FF));
    const std::string second = BuildSRecordFile(0xC003, Bytes(0xC003, 0xC005));

    struct Step {
        const char* name;
        std::string target;
        std::string contents;
        bool ok;
        std::string after;  // contents of saved.mot afterwards
    } steps[] = {
        {"new file", path, first, true, first},
        {"replaces a longer file", path, second, true, second},
        {"empty contents", path, "", true, ""},
        {"again", path, first, true, first},
        {"missing folder", dir.File("no/such/folder/x.mot"), second, false, first},
        {"a folder as target", dir.Path().string(), second, false, first},
        {"no name", "", second, false, first},
    };
    for (const auto& s : steps) {
        EXPECT_EQ(WriteFileReplacing(s.target, s.contents), s.ok) << s.name;
        EXPECT_EQ(test::ReadWholeFile(path), s.after) << s.name;
        std::size_t files = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
            (void)entry;
            ++files;
        }
        EXPECT_EQ(files, 1u) << s.name << ": no temporary file left";
    }
}

TEST(WriteFileReplacing, AFolderInTheWayIsLeftAlone) {
    test::ScratchDir dir;
    const std::string target = dir.File("taken.mot");
    std::filesystem::create_directory(target);
    dir.Write("taken.mot/inside", "keep");
    EXPECT_FALSE(WriteFileReplacing(target, "S0"));
    EXPECT_EQ(test::ReadWholeFile(dir.File("taken.mot/inside")), "keep");
}

}  // namespace
}  // namespace o8r
