#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <random>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "core/image/LoadedFile.h"
#include "core/image/PageChecksum.h"
#include "core/image/SRecordLoader.h"
#include "core/model/Messages.h"
#include "core/operations/FileLoadJob.h"
#include "core/window/SharedState.h"
#include "support/RecordingPrompts.h"
#include "support/SRecordText.h"
#include "support/ScratchDir.h"

namespace o8r {
namespace {

using test::SRecordHeader;
using test::SRecordLine;

// R5F212B8SN: data flash and program ROM.
const MemoryMap kTwoRegions{0x2400, 0x2C00, 0x4000, 0xC000};
// R5F212ACSN: program ROM only, 128 KB = 512 pages.
const MemoryMap kAcsn{0, 0, 0x4000, 0x24000};
// The box's own loader in firmware-update mode.
const MemoryMap kFirmware{0, 0, 0xFE000, 0x100000};

std::vector<std::uint8_t> Bytes(std::size_t n, std::uint8_t first = 0, std::uint8_t step = 1) {
    std::vector<std::uint8_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<std::uint8_t>(first + i * step);
    return v;
}

std::string Lines(std::initializer_list<std::string> lines, const std::string& end = "\r\n") {
    std::string text;
    for (const auto& line : lines)
        text += line + end;
    return text;
}

struct Loaded {
    SRecordLoadResult result;
    std::vector<int> progress;
};

Loaded Load(const std::string& text, const MemoryMap& map, std::uint64_t fileSize = 0) {
    std::istringstream in(text);
    Loaded loaded;
    loaded.result = LoadSRecordImage(g_state.image, in, fileSize ? fileSize : text.size(), map,
                                     [&](int p) { loaded.progress.push_back(p); });
    return loaded;
}

Message LoaderError(const std::string& text) {
    return test::Msg(text, "ERROR", MsgIcon::Error, MsgButtons::Ok, Owner::FileLoading);
}

std::string FormatError(int line, const std::string& reason) {
    return std::string("Error format!\nLine ") + std::to_string(line) + ": " + reason;
}

const std::string kNoHeader = FormatError(1, "no S0 header");

std::vector<std::uint16_t> PageNumbers() {
    std::vector<std::uint16_t> pages;
    for (std::size_t i = 0; i < g_pageCount; ++i)
        pages.push_back(PageRecordNumber(g_pageRecords[i]));
    return pages;
}

class SRecordLoaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetSharedState();
        ForgetLastLoad(g_state.image.lastLoad);
    }
};

// Each refusal next to the nearest input that loads.
TEST_F(SRecordLoaderTest, RefusalsAndTheirAcceptedNeighbours) {
    const std::string data = SRecordLine('2', 0x4000, Bytes(16));
    struct Case {
        const char* name;
        std::string text;
        std::string error;  // empty: loads
    } cases[] = {
        {"header then data", Lines({SRecordHeader(), data}), ""},
        {"lower-case s0", Lines({"s" + SRecordHeader().substr(1), data}), kNoHeader},
        {"empty file", "", kNoHeader},
        {"blank first line", Lines({"", SRecordHeader(), data}), kNoHeader},
        {"blank before header", Lines({" " + SRecordHeader(), data}), kNoHeader},
        {"data without header", Lines({data}), kNoHeader},
        {"header only", Lines({SRecordHeader()}), ""},
        {"header with a bad checksum", Lines({test::SRecordLineBadChecksum('0', 0, {'x'}), data}),
         FormatError(1, "wrong checksum")},
        {"good checksum", Lines({SRecordHeader(), SRecordLine('2', 0x4000, {0x12})}), ""},
        {"bad checksum",
         Lines({SRecordHeader(), test::SRecordLineBadChecksum('2', 0x4000, {0x12})}),
         FormatError(2, "wrong checksum")},
        {"lower-case hex digits", Lines({SRecordHeader(), "S20500400012a8"}), ""},
        {"bad hex digit", Lines({SRecordHeader(), "S20500400012G8"}),
         FormatError(2, "bad hex digit")},
        {"space inside", Lines({SRecordHeader(), "S205004000 12A8"}),
         FormatError(2, "bad hex digit")},
        {"trailing blanks", Lines({SRecordHeader(), "S20500400012A8 \t"}), ""},
        {"count one too high", Lines({SRecordHeader(), "S20600400012A7"}),
         FormatError(2, "byte count does not match the line length")},
        {"count one too low", Lines({SRecordHeader(), "S20400400012A9"}),
         FormatError(2, "byte count does not match the line length")},
        {"half a byte more", Lines({SRecordHeader(), "S20500400012A80"}),
         FormatError(2, "odd number of hex digits")},
        {"count leaves no address", Lines({SRecordHeader(), "S2030040BC"}),
         FormatError(2, "byte count too small for the address")},
        {"no data bytes", Lines({SRecordHeader(), SRecordLine('2', 0x4000, {})}), ""},
        {"S4 record", Lines({SRecordHeader(), "S4" + SRecordLine('1', 0x4000, {1}).substr(2)}),
         FormatError(2, "unknown record type")},
        {"S5 count record", Lines({SRecordHeader(), data, SRecordLine('5', 1, {})}), ""},
        {"S6 count record", Lines({SRecordHeader(), data, SRecordLine('6', 1, {})}), ""},
        {"letter after S", Lines({SRecordHeader(), "SX0500400012A8"}),
         FormatError(2, "unknown record type")},
        {"not an S-record", Lines({SRecordHeader(), ":0500400012A8"}),
         FormatError(2, "not an S-record")},
        {"lower-case s record", Lines({SRecordHeader(), "s20500400012A8"}),
         FormatError(2, "not an S-record")},
        {"bare S2", Lines({SRecordHeader(), "S2"}), FormatError(2, "line too short")},
        {"blank lines counted", Lines({SRecordHeader(), "", "", "S2"}),
         FormatError(4, "line too short")},
        {"blank lines skipped", Lines({SRecordHeader(), "", data, "   ", ""}), ""},
        {"line too long", Lines({SRecordHeader(), std::string(70'000, '0')}),
         FormatError(2, "line too long")},
        {"malformed after S8", Lines({SRecordHeader(), data, SRecordLine('8', 0, {}), "junk"}), ""},
        {"malformed after S9", Lines({SRecordHeader(), data, SRecordLine('9', 0, {}), "junk"}), ""},
        {"malformed after S7", Lines({SRecordHeader(), data, SRecordLine('7', 0, {}), "junk"}), ""},
        {"malformed terminator", Lines({SRecordHeader(), data, "S804000000FA"}),
         FormatError(3, "wrong checksum")},
        {"no terminator", Lines({SRecordHeader(), data}), ""},
        {"LF line ends", Lines({SRecordHeader(), data}, "\n"), ""},
        {"last line without line end", SRecordHeader() + "\r\n" + data, ""},
    };
    for (const auto& c : cases) {
        const Loaded loaded = Load(c.text, kTwoRegions);
        if (c.error.empty()) {
            EXPECT_TRUE(loaded.result.ok) << c.name << ": " << loaded.result.message.text;
        } else {
            EXPECT_FALSE(loaded.result.ok) << c.name;
            EXPECT_EQ(loaded.result.message, LoaderError(c.error)) << c.name;
        }
    }
}

// Region 1 [0x2400, 0x2C00), region 2 [0x4000, 0xC000); below 0x200 is free.
TEST_F(SRecordLoaderTest, AddressTestAtEveryBoundary) {
    struct Case {
        MemoryMap map;
        std::uint32_t address;
        bool accepted;
    } cases[] = {
        {kTwoRegions, 0x0000, true},
        {kTwoRegions, 0x01FF, true},
        {kTwoRegions, 0x0200, false},
        {kTwoRegions, 0x23FF, false},
        {kTwoRegions, 0x2400, true},
        {kTwoRegions, 0x2BFF, true},
        {kTwoRegions, 0x2C00, false},
        {kTwoRegions, 0x3FFF, false},
        {kTwoRegions, 0x4000, true},
        {kTwoRegions, 0xBFFF, true},
        {kTwoRegions, 0xC000, false},
        {kAcsn, 0x3FFF, false},
        {kAcsn, 0x4000, true},
        {kAcsn, 0x23FFF, true},
        {kAcsn, 0x24000, false},
        {kAcsn, 0x1FF, true},
        {kFirmware, 0xFDFFF, false},
        {kFirmware, 0xFE000, true},
        {kFirmware, 0xFFFFF, true},
        {kFirmware, 0x100000, false},
        {kFirmware, 0xFFFFFFFF, false},
        // A map that reaches past the image must still not let data outside it in.
        {MemoryMap{0, 0, 0x4000, 0xFFFFFFFF}, 0x100000, false},
        {MemoryMap{0, 0, 0x4000, 0xFFFFFFFF}, 0xFFFFF, true},
    };
    for (const auto& c : cases) {
        ResetSharedState();
        const Loaded loaded =
            Load(Lines({SRecordHeader(), SRecordLine('3', c.address, {0x5A})}), c.map);
        EXPECT_EQ(loaded.result.ok, c.accepted) << std::hex << c.address;
        if (c.accepted) {
            EXPECT_EQ(g_memImage[c.address], 0x5A) << std::hex << c.address;
        } else {
            char where[32];
            std::snprintf(where, sizeof where, "\nLine 2: address %05X", c.address);
            EXPECT_EQ(loaded.result.message,
                      LoaderError(std::string("Load file address is out of memory map!") + where))
                << std::hex << c.address;
        }
    }
}

TEST_F(SRecordLoaderTest, RecordsReachingOutOfTheMapAreRefused) {
    const MemoryMap lowMap{0, 0, 0x200, 0x1000};
    const MemoryMap pastImage{0, 0, 0x4000, 0xFFFFFFFF};
    struct Case {
        const char* name;
        MemoryMap map;
        char type;
        std::uint32_t address;
        std::size_t length;
        bool accepted;
    } cases[] = {
        {"ends on the last byte", kTwoRegions, '2', 0xBFF0, 16, true},
        {"one byte over the end", kTwoRegions, '2', 0xBFF1, 16, false},
        {"ends on the last byte of region 1", kTwoRegions, '2', 0x2BF0, 16, true},
        {"runs into the gap", kTwoRegions, '2', 0x2BF1, 16, false},
        {"free space up to its last byte", kTwoRegions, '2', 0x1F8, 8, true},
        {"free space into a refused address", kTwoRegions, '2', 0x1F8, 9, false},
        {"free space into the map", lowMap, '2', 0x1F8, 16, true},
        {"up to the end of the image", pastImage, '3', 0xFFFF0, 16, true},
        {"across the end of the image", pastImage, '3', 0xFFFF8, 16, false},
        {"across the 32-bit end", pastImage, '3', 0xFFFFFFF8, 16, false},
    };
    for (const auto& c : cases) {
        ResetSharedState();
        const Loaded loaded =
            Load(Lines({SRecordHeader(), SRecordLine(c.type, c.address, Bytes(c.length))}), c.map);
        EXPECT_EQ(loaded.result.ok, c.accepted) << c.name;
    }
}

// S1, S2 and S3 carry 16, 24 and 32-bit addresses; all load the same bytes.
TEST_F(SRecordLoaderTest, RecordTypesAreReadByTheirAddressWidth) {
    const auto data = Bytes(32, 0x40, 3);
    for (char type : {'1', '2', '3'}) {
        ResetSharedState();
        const std::string text = Lines({SRecordHeader(), SRecordLine(type, 0x4010, data),
                                        SRecordLine(type == '1'   ? '9'
                                                    : type == '2' ? '8'
                                                                  : '7',
                                                    0, {})});
        ASSERT_TRUE(Load(text, kAcsn).result.ok) << type;
        EXPECT_EQ(g_memImage[0x400F], 0xFF) << type;
        EXPECT_TRUE(std::equal(data.begin(), data.end(), g_memImage.begin() + 0x4010)) << type;
        EXPECT_EQ(g_memImage[0x4030], 0xFF) << type;
        EXPECT_EQ(PageNumbers(), (std::vector<std::uint16_t>{0x40})) << type;
    }
}

TEST_F(SRecordLoaderTest, PageRecordsCarryTheImageAndItsChecksum) {
    g_memImage.fill(0x00);
    ASSERT_TRUE(
        Load(Lines({SRecordHeader(), SRecordLine('2', 0x4000, Bytes(16, 1))}), kAcsn).result.ok);
    ASSERT_EQ(g_pageCount, 1);
    const PageRecord& record = g_pageRecords[0];
    EXPECT_EQ(record[0], 0x40);
    EXPECT_EQ(record[1], 0x00);
    std::vector<std::uint8_t> expected = Bytes(16, 1);
    expected.resize(256, 0xFF);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), record.begin() + 4));
    EXPECT_EQ(PageRecordChecksum(record), PageChecksum(expected.data(), expected.size()));
    EXPECT_EQ(g_memImage[0x3FFF], 0xFF) << "the image is refilled with 0xFF";
}

// Whatever the order of the records, every touched page at or above 0x200
// gets exactly one record, in ascending order.
TEST_F(SRecordLoaderTest, EveryTouchedPageListedOnceInAscendingOrder) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::uint32_t, std::size_t>> records;  // address, length
        std::vector<std::uint16_t> pages;
    } cases[] = {
        {"ascending", {{0x4000, 16}, {0x4100, 16}, {0x4300, 16}}, {0x40, 0x41, 0x43}},
        {"descending", {{0x4300, 16}, {0x4100, 16}, {0x4000, 16}}, {0x40, 0x41, 0x43}},
        {"same page twice", {{0x4180, 16}, {0x4100, 16}, {0x4000, 16}, {0x41F0, 16}}, {0x40, 0x41}},
        {"record across a page end", {{0x40F8, 16}}, {0x40, 0x41}},
        {"page 0 and page 1 never listed", {{0x0000, 16}, {0x0100, 16}, {0x4000, 1}}, {0x40}},
        {"page 1 first is still not listed", {{0x0180, 16}}, {}},
        {"across 0x200", {{0x1F8, 16}}, {0x02}},
        {"pages before the highest", {{0x8000, 1}, {0x4000, 1}, {0x6000, 1}}, {0x40, 0x60, 0x80}},
    };
    const MemoryMap map{0, 0, 0x200, 0x10000};
    for (const auto& c : cases) {
        ResetSharedState();
        std::string text = SRecordHeader() + "\r\n";
        for (const auto& [address, length] : c.records) {
            text += SRecordLine('2', address, Bytes(length, static_cast<std::uint8_t>(address))) +
                    "\r\n";
        }
        ASSERT_TRUE(Load(text, map).result.ok) << c.name;
        EXPECT_EQ(PageNumbers(), c.pages) << c.name;
    }
}

TEST_F(SRecordLoaderTest, LaterDataForAnEarlierPageIsInItsRecord) {
    const std::string text =
        Lines({SRecordHeader(), SRecordLine('2', 0x4100, {0x11}), SRecordLine('2', 0x4000, {0x22}),
               SRecordLine('2', 0x4101, {0x33}), SRecordLine('2', 0x4100, {0x44})});
    ASSERT_TRUE(Load(text, kAcsn).result.ok);
    ASSERT_EQ(PageNumbers(), (std::vector<std::uint16_t>{0x40, 0x41}));
    EXPECT_EQ(g_pageRecords[0][4], 0x22);
    EXPECT_EQ(g_pageRecords[1][4], 0x44) << "the last write wins";
    EXPECT_EQ(g_pageRecords[1][5], 0x33);
    EXPECT_EQ(g_pageRecords[1][6], 0xFF);
    EXPECT_EQ(PageRecordChecksum(g_pageRecords[1]), PageChecksum(g_memImage.data() + 0x4100, 256));
}

std::string PagesFile(std::size_t pages, std::uint32_t base = 0x4000) {
    std::string text = SRecordHeader() + "\n";
    for (std::size_t p = 0; p < pages; ++p) {
        text += SRecordLine('2', base + static_cast<std::uint32_t>(p * 256 + (p % 3) * 80),
                            {static_cast<std::uint8_t>(p)}) +
                "\n";
    }
    return text;
}

// 512 pages is the whole of g_pageRecords; one more and nothing of the file is used.
TEST_F(SRecordLoaderTest, AtMost512Pages) {
    const MemoryMap wide{0, 0, 0x4000, 0x100000};
    ASSERT_TRUE(Load(PagesFile(3), wide).result.ok);
    const auto before = g_pageRecords;
    ASSERT_EQ(g_pageCount, 3);

    const Loaded over = Load(PagesFile(513), wide);
    EXPECT_FALSE(over.result.ok);
    // The header, then one line a page: the 513th page is on line 514.
    EXPECT_EQ(over.result.message,
              LoaderError("Load file has more than 512 pages!\nLine 514: the 513th page"));
    EXPECT_EQ(g_pageCount, 3);
    EXPECT_TRUE(g_pageRecords == before);

    const Loaded full = Load(PagesFile(512), kAcsn);
    ASSERT_TRUE(full.result.ok) << full.result.message.text;
    ASSERT_EQ(g_pageCount, 512);
    EXPECT_EQ(PageRecordNumber(g_pageRecords[0]), 0x40);
    EXPECT_EQ(PageRecordNumber(g_pageRecords[511]), 0x23F);
    EXPECT_EQ(g_pageRecords[511][4 + 2 * 80], 511 & 0xFF);
}

TEST_F(SRecordLoaderTest, FailedLoadKeepsThePreviousRecords) {
    ASSERT_TRUE(Load(PagesFile(4), kAcsn).result.ok);
    const auto before = g_pageRecords;
    struct Case {
        const char* name;
        std::string text;
    } cases[] = {
        {"format", PagesFile(6) + "S2\n"},
        {"map", PagesFile(6) + SRecordLine('2', 0x30000, {1}) + "\n"},
        {"header", "S1\n" + PagesFile(6)},
    };
    for (const auto& c : cases) {
        EXPECT_FALSE(Load(c.text, kAcsn).result.ok) << c.name;
        EXPECT_EQ(g_pageCount, 4) << c.name;
        EXPECT_TRUE(g_pageRecords == before) << c.name;
    }
}

// The bar shows pages x 100 / (size / 512 + 2), never above 100, and moves
// only when a new page is listed.
TEST_F(SRecordLoaderTest, ProgressFollowsNewPages) {
    const Loaded loaded = Load(PagesFile(51), kAcsn, 51'200);
    ASSERT_TRUE(loaded.result.ok);
    ASSERT_EQ(loaded.progress.size(), 51u);
    EXPECT_EQ(loaded.progress.front(), 0);  // 1 x 100 / 102
    EXPECT_EQ(loaded.progress.back(), 50);

    const Loaded small = Load(PagesFile(5), kAcsn, 100);  // divisor 2
    EXPECT_EQ(small.progress, (std::vector<int>{50, 100, 100, 100, 100}));

    const std::string samePage =
        Lines({SRecordHeader(), SRecordLine('2', 0x4000, {1}), SRecordLine('2', 0x4001, {2}),
               SRecordLine('2', 0x100, {3})});
    EXPECT_EQ(Load(samePage, kAcsn, 512).progress.size(), 1u);
}

// A stream that fails after some bytes, as a file on a dying disk does.
class FailingBuffer : public std::streambuf {
  public:
    FailingBuffer(std::string text, std::size_t failAt)
        : m_text(std::move(text)), m_failAt(failAt) {}

  protected:
    int_type underflow() override {
        if (m_pos >= m_failAt)
            throw std::ios_base::failure("read error");
        if (m_pos >= m_text.size())
            return traits_type::eof();
        m_char = m_text[m_pos++];
        setg(&m_char, &m_char, &m_char + 1);
        return traits_type::to_int_type(m_char);
    }

  private:
    std::string m_text;
    std::size_t m_failAt;
    std::size_t m_pos = 0;
    char m_char = 0;
};

TEST_F(SRecordLoaderTest, ReadErrorIsNotTakenForTheEndOfTheFile) {
    const std::string text = PagesFile(200);
    for (std::size_t failAt : {std::size_t{0}, std::size_t{10}, text.size() / 2}) {
        FailingBuffer buffer(text, failAt);
        std::istream in(&buffer);
        const auto result = LoadSRecordImage(g_state.image, in, text.size(), kAcsn, {});
        EXPECT_FALSE(result.ok) << failAt;
        EXPECT_EQ(result.message, LoaderError("Can not read file!")) << failAt;
    }
}

// ---- The file behind the image: status, the same-file shortcut, the job ----

std::time_t LocalTime(int year, int month, int day, int hour, int minute, int second) {
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

void SetModified(const std::string& path, std::time_t when, std::chrono::nanoseconds extra = {}) {
    const auto system = std::chrono::system_clock::from_time_t(when) +
                        std::chrono::duration_cast<std::chrono::system_clock::duration>(extra);
    std::filesystem::last_write_time(path, std::chrono::file_clock::from_sys(system));
}

TEST(FileStatus, SizeAndLocalTimeStamp) {
    test::ScratchDir dir;
    struct Case {
        const char* name;
        std::size_t size;
        std::time_t when;
        const char* stamp;
    } cases[] = {
        {"empty", 0, LocalTime(2024, 3, 5, 6, 7, 8), "20240305060708"},
        {"limit", kMaxImageFileSize, LocalTime(1999, 12, 31, 23, 59, 59), "19991231235959"},
        {"one over", kMaxImageFileSize + 1, LocalTime(2031, 1, 1, 0, 0, 0), "20310101000000"},
    };
    for (const auto& c : cases) {
        const std::string path = dir.Write(c.name, std::string(c.size, 'S'));
        SetModified(path, c.when);
        const FileStatus status = ReadFileStatus(path);
        EXPECT_TRUE(status.readable) << c.name;
        EXPECT_EQ(status.size, c.size) << c.name;
        EXPECT_EQ(status.timeStamp, c.stamp) << c.name;
    }
    EXPECT_FALSE(ReadFileStatus(dir.File("missing")).readable);
    EXPECT_FALSE(ReadFileStatus(dir.Path().string()).readable) << "a directory";
    EXPECT_FALSE(ReadFileStatus("").readable);
}

class LoadedFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetSharedState();
        ForgetLastLoad(g_state.image.lastLoad);
        m_path =
            m_dir.Write("image.mot", Lines({SRecordHeader(), SRecordLine('2', 0x4000, {1, 2})}));
        SetModified(m_path, LocalTime(2024, 6, 1, 12, 0, 0));
    }
    test::ScratchDir m_dir;
    std::string m_path;
};

TEST_F(LoadedFileTest, ShortcutOnlyForTheSameFileUnderTheSameMap) {
    EXPECT_FALSE(CanReuseLastLoad(g_state.image.lastLoad, m_path, ReadFileStatus(m_path), kAcsn))
        << "nothing loaded yet";
    const FileStatus status = ReadFileStatus(m_path);
    RememberSuccessfulLoad(g_state.image.lastLoad, m_path, status, kAcsn);
    EXPECT_EQ(g_fileSize, status.size);
    EXPECT_EQ(g_fileTimeStamp, "20240601120000");
    EXPECT_EQ(g_fileMap, kAcsn);

    auto changed = [&](auto edit) {
        FileStatus s = status;
        edit(s);
        return s;
    };
    struct Case {
        const char* name;
        std::string path;
        FileStatus status;
        MemoryMap map;
        bool reuse;
    } cases[] = {
        {"same", m_path, status, kAcsn, true},
        {"other path", m_dir.File("other.mot"), status, kAcsn, false},
        {"other size", m_path, changed([](FileStatus& s) { s.size += 1; }), kAcsn, false},
        {"other second", m_path, changed([](FileStatus& s) { s.timeStamp = "20240601120001"; }),
         kAcsn, false},
        {"same second, rewritten", m_path, changed([](FileStatus& s) { s.modifiedTicks += 1; }),
         kAcsn, false},
        {"unreadable", m_path, changed([](FileStatus& s) { s.readable = false; }), kAcsn, false},
        {"other map", m_path, status, kTwoRegions, false},
        {"firmware map", m_path, status, kFirmware, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CanReuseLastLoad(g_state.image.lastLoad, c.path, c.status, c.map), c.reuse)
            << c.name;

    ForgetLastLoad(g_state.image.lastLoad);
    EXPECT_FALSE(CanReuseLastLoad(g_state.image.lastLoad, m_path, status, kAcsn));
    EXPECT_EQ(g_fileSize, 0u);
    EXPECT_TRUE(g_fileTimeStamp.empty());
}

TEST_F(LoadedFileTest, TouchingTheFileEndsTheShortcut) {
    const FileStatus status0 = ReadFileStatus(m_path);
    RememberSuccessfulLoad(g_state.image.lastLoad, m_path, status0, kAcsn);
    ASSERT_TRUE(CanReuseLastLoad(g_state.image.lastLoad, m_path, ReadFileStatus(m_path), kAcsn));
    SetModified(m_path, LocalTime(2024, 6, 1, 12, 0, 0), std::chrono::milliseconds(300));
    // Where times are kept in whole seconds only (Windows) this rewrite cannot
    // be seen; the recent-file rule below covers that case.
    if (ReadFileStatus(m_path).modifiedTicks != status0.modifiedTicks) {
        EXPECT_FALSE(
            CanReuseLastLoad(g_state.image.lastLoad, m_path, ReadFileStatus(m_path), kAcsn))
            << "same second";
    }
    SetModified(m_path, LocalTime(2024, 6, 1, 12, 0, 5));
    EXPECT_FALSE(CanReuseLastLoad(g_state.image.lastLoad, m_path, ReadFileStatus(m_path), kAcsn));
}

TEST_F(LoadedFileTest, AWholeSecondTimeOfAJustWrittenFileIsNeverTrusted) {
    // Such a file may be rewritten within the same second without its time
    // changing; a time with a fraction, or an older one, tells rewrites apart.
    using namespace std::chrono;
    const auto wholeSecond = time_point_cast<seconds>(file_clock::now());
    const auto perSecond = duration_cast<file_clock::duration>(seconds(1)).count();
    struct Case {
        const char* name;
        std::filesystem::file_time_type when;
        bool reuse;
    } cases[] = {
        {"whole second, now", wholeSecond, false},
        {"whole second, a second ago", wholeSecond - seconds(1), false},
        {"whole second, a minute ago", wholeSecond - minutes(1), true},
        {"with a fraction, now", wholeSecond + milliseconds(1), true},
    };
    for (const auto& c : cases) {
        std::error_code error;
        std::filesystem::last_write_time(m_path, c.when, error);
        ASSERT_FALSE(error) << c.name;
        const FileStatus status = ReadFileStatus(m_path);
        if (c.when != wholeSecond && status.modifiedTicks % perSecond == 0 &&
            c.when.time_since_epoch().count() % perSecond != 0)
            continue;  // this platform keeps whole seconds only
        RememberSuccessfulLoad(g_state.image.lastLoad, m_path, status, kAcsn);
        EXPECT_EQ(CanReuseLastLoad(g_state.image.lastLoad, m_path, status, kAcsn), c.reuse)
            << c.name;
    }
}

class RecordingLoadView : public FileLoadView {
  public:
    std::vector<std::string> calls;
    void SetText(const std::string& text) override { calls.push_back("text " + text); }
    void SetProgress(int percent) override {
        calls.push_back("progress " + std::to_string(percent));
    }
};

TEST_F(LoadedFileTest, JobLoadsAndRemembers) {
    test::RecordingPrompts prompts;
    RecordingLoadView view;
    SetMemoryMap(kAcsn);
    g_filePath = m_path;
    ASSERT_TRUE(FileLoadJob(prompts, g_state.image, g_filePath, CurrentMemoryMap()).Run(view));
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(view.calls, (std::vector<std::string>{"text Please wait for loading file...",
                                                    "progress 0", "progress 50"}));
    EXPECT_EQ(PageNumbers(), (std::vector<std::uint16_t>{0x40}));
    EXPECT_TRUE(CanReuseLastLoad(g_state.image.lastLoad, m_path, ReadFileStatus(m_path), kAcsn));
    EXPECT_EQ(g_fileMap, kAcsn);
}

// Any failure forgets the last good file, so its records are never reused
// after the image has been disturbed.
TEST_F(LoadedFileTest, JobFailuresShowTheirMessageAndForget) {
    struct Case {
        const char* name;
        std::string contents;  // empty name: no file at all
        MemoryMap map;
        std::string message;
    } cases[] = {
        {"missing", "", kAcsn, "Can not open file!"},
        {"format", "S1", kAcsn, FormatError(1, "no S0 header")},
        {"checksum", Lines({SRecordHeader(), "S2050040001299"}), kAcsn,
         FormatError(2, "wrong checksum")},
        {"map", Lines({SRecordHeader(), SRecordLine('2', 0x3000, {1})}), kTwoRegions,
         "Load file address is out of memory map!\nLine 2: address 03000"},
        {"pages", PagesFile(513), MemoryMap{0, 0, 0x4000, 0x100000},
         "Load file has more than 512 pages!\nLine 514: the 513th page"},
    };
    for (const auto& c : cases) {
        test::RecordingPrompts prompts;
        RecordingLoadView view;
        SetMemoryMap(kAcsn);
        g_filePath = m_path;
        ASSERT_TRUE(FileLoadJob(prompts, g_state.image, g_filePath, CurrentMemoryMap()).Run(view))
            << c.name;
        ASSERT_TRUE(
            CanReuseLastLoad(g_state.image.lastLoad, m_path, ReadFileStatus(m_path), kAcsn));

        SetMemoryMap(c.map);
        g_filePath =
            c.contents.empty() ? m_dir.File("missing.mot") : m_dir.Write("bad.mot", c.contents);
        EXPECT_FALSE(FileLoadJob(prompts, g_state.image, g_filePath, CurrentMemoryMap()).Run(view))
            << c.name;
        ASSERT_EQ(prompts.messages.size(), 1u) << c.name;
        EXPECT_EQ(prompts.messages[0], LoaderError(c.message)) << c.name;
        EXPECT_FALSE(
            CanReuseLastLoad(g_state.image.lastLoad, m_path, ReadFileStatus(m_path), kAcsn))
            << c.name;
        EXPECT_TRUE(g_fileTimeStamp.empty()) << c.name;
    }
}

}  // namespace
}  // namespace o8r
