// The catalogue: fixed-column cutting, the MCU tree, the rows of a tree item, the
// memory map of a clicked part and the parsed records, over synthetic lines and
// over the catalogue the program ships with.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/catalogue/Catalogue.h"
#include "core/window/SharedState.h"
#include "support/TestData.h"

namespace o8r {
namespace {

using Lines = std::vector<std::string>;

std::string Pad(std::string text, std::size_t width) {
    text.resize(width, ' ');
    return text;
}

// One block entry, 14 columns: "02  16K 04000 ".
std::string Entry(const std::string& name, const std::string& size, const std::string& start) {
    return Pad(name, 2) + " " + Pad(size, 4) + " " + Pad(start, 5) + " ";
}

// A record line with every field at its column.
std::string Record(const std::string& group, const std::string& series, const std::string& part,
                   const std::string& size = "64K", const std::string& count = "00",
                   const std::vector<std::string>& entries = {}) {
    std::string line =
        ":" + Pad(group, 10) + Pad(series, 10) + Pad(part, 10) + Pad(size, 8) + Pad(count, 2) + " ";
    for (const auto& e : entries)
        line += e;
    return line;
}

std::string Part(const char* name) {
    return Pad(name, 10);
}

Lines Shipped() {
    auto lines = ReadCatalogueLines(test::SourcePath("data/MCUType.mcu"));
    EXPECT_TRUE(lines.has_value());
    return lines.value_or(Lines{});
}

// ---------------------------------------------------------------- cutting

struct CutCase {
    std::string line;
    std::size_t column, width;
    std::string field;
};

TEST(CutField, TakesWhatTheLineHoldsBlanksIncluded) {
    const CutCase cases[] = {
        {"abcdef", 0, 2, "ab"},   {"abcdef", 2, 3, "cde"}, {"abcdef", 4, 10, "ef"},
        {"abcdef", 6, 1, ""},     {"abcdef", 60, 1, ""},   {"", 0, 5, ""},
        {":G   x", 1, 4, "G   "}, {"ab  ", 2, 2, "  "},    {"abc", 1, 0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CutField(c.line, c.column, c.width), c.field)
            << '"' << c.line << "\" at " << c.column << " width " << c.width;
    }
}

TEST(IsRecordLine, OnlyAColonInColumnZero) {
    EXPECT_TRUE(IsRecordLine(":"));
    EXPECT_TRUE(IsRecordLine(":R8C"));
    EXPECT_FALSE(IsRecordLine(""));
    EXPECT_FALSE(IsRecordLine(" :R8C"));
    EXPECT_FALSE(IsRecordLine("#:R8C"));
    EXPECT_FALSE(IsRecordLine(";R8C"));
}

// ---------------------------------------------------------------- reading the file

class CatalogueFile : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir =
            std::filesystem::temp_directory_path() /
            ("o8r-catalogue-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string Write(const std::string& name, const std::string& bytes) {
        auto path = m_dir / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path.string();
    }

    std::filesystem::path m_dir;
};

TEST_F(CatalogueFile, LineEndsAreRemovedWhateverTheirKind) {
    struct {
        const char* name;
        std::string bytes;
        Lines lines;
    } cases[] = {
        {"lf", "# c\n:A\n\n:B\n", {"# c", ":A", "", ":B"}},
        {"crlf", "# c\r\n:A\r\n\r\n:B\r\n", {"# c", ":A", "", ":B"}},
        {"no final end", ":A\r\n:B", {":A", ":B"}},
        {"inner cr kept", ":A\rB\n", {":A\rB"}},
        {"blanks kept", ":A   \r\n", {":A   "}},
        {"empty", "", {}},
    };
    for (const auto& c : cases) {
        auto lines = ReadCatalogueLines(Write(c.name, c.bytes));
        ASSERT_TRUE(lines.has_value()) << c.name;
        EXPECT_EQ(*lines, c.lines) << c.name;
    }
}

TEST_F(CatalogueFile, MissingFileOrFolderIsNoCatalogue) {
    EXPECT_FALSE(ReadCatalogueLines((m_dir / "absent.mcu").string()).has_value());
    EXPECT_FALSE(ReadCatalogueLines(m_dir.string()).has_value());
}

// Only a regular file of a sound size is read; what is wrong with any other
// is said for what it is.
TEST_F(CatalogueFile, OnlyARegularFileOfASoundSizeIsRead) {
    const std::string good = Write("good.mcu", ":A\n");
    const std::string huge = Write("huge.mcu", "");
    std::filesystem::resize_file(huge, kMaxCatalogueBytes + 1);
    const std::string limit = Write("limit.mcu", "");
    std::filesystem::resize_file(limit, kMaxCatalogueBytes);
    struct {
        const char* name;
        std::string path;
        CatalogueFileError error;
        std::string message;
    } cases[] = {
        {"regular", good, CatalogueFileError::None, ""},
        {"at the limit", limit, CatalogueFileError::None, ""},
        {"over the limit", huge, CatalogueFileError::TooLarge,
         "The MCU file is too large (over 4 MB): " + huge},
        {"a folder", m_dir.string(), CatalogueFileError::NotRegular,
         "The MCU file is not a regular file: " + m_dir.string()},
        {"absent", (m_dir / "absent.mcu").string(), CatalogueFileError::Missing,
         "Can not find MCU file!"},
        {"no name", "", CatalogueFileError::Missing, "Can not find MCU file!"},
    };
    for (const auto& c : cases) {
        const CatalogueRead read = ReadCatalogueFile(c.path);
        EXPECT_EQ(read.error, c.error) << c.name;
        EXPECT_EQ(CatalogueFileProblem(read.error, c.path), c.message) << c.name;
        EXPECT_EQ(ReadCatalogueLines(c.path).has_value(), c.error == CatalogueFileError::None)
            << c.name;
    }
    EXPECT_EQ(ReadCatalogueFile(good).lines, Lines{":A"});
}

// ---------------------------------------------------------------- the tree

struct TreeCase {
    const char* what;
    Lines lines;
    std::vector<McuTreeGroup> tree;
};

TEST(BuildMcuTree, RunsOfGroupsAndSeriesInFileOrder) {
    const TreeCase cases[] = {
        {"two groups of two series, not sorted",
         {Record("Zeta", "S2", "P1"), Record("Zeta", "S1", "P2"), Record("Alpha", "T2", "P3"),
          Record("Alpha", "T1", "P4")},
         {{Pad("Zeta", 10), {Pad("S2", 10), Pad("S1", 10)}},
          {Pad("Alpha", 10), {Pad("T2", 10), Pad("T1", 10)}}}},
        {"parts of one series make one child",
         {Record("G", "S", "P1"), Record("G", "S", "P2"), Record("G", "S", "P3")},
         {{Pad("G", 10), {Pad("S", 10)}}}},
        {"a group that comes back gets a second root",
         {Record("G1", "S1", "P1"), Record("G2", "S2", "P2"), Record("G1", "S3", "P3")},
         {{Pad("G1", 10), {Pad("S1", 10)}},
          {Pad("G2", 10), {Pad("S2", 10)}},
          {Pad("G1", 10), {Pad("S3", 10)}}}},
        {"a series continuing under a new group adds no child",
         {Record("G1", "S1", "P1"), Record("G2", "S1", "P2"), Record("G2", "S2", "P3")},
         {{Pad("G1", 10), {Pad("S1", 10)}}, {Pad("G2", 10), {Pad("S2", 10)}}}},
        {"comments and lines not starting with a colon are skipped",
         {"# comment", "", " :G0       S0        P0", Record("G", "S", "P"), "x:G9"},
         {{Pad("G", 10), {Pad("S", 10)}}}},
        {"case tells fields apart",
         {Record("R8C/Tiny", "S", "P1"), Record("r8c/tiny", "S", "P2"),
          Record("r8c/tiny", "s", "P3")},
         {{Pad("R8C/Tiny", 10), {Pad("S", 10)}}, {Pad("r8c/tiny", 10), {Pad("s", 10)}}}},
        {"blanks are part of a field",
         {Record(" G", "S", "P1"), Record("G", "S", "P2"), Record("G", " S", "P3")},
         {{Pad(" G", 10), {Pad("S", 10)}}, {Pad("G", 10), {Pad(" S", 10)}}}},
        {"short lines give short fields",
         {Record("G", "S", "P"), ":Short", ":", ":Gr"},
         {{Pad("G", 10), {Pad("S", 10)}}, {"Short", {""}}, {"", {}}, {"Gr", {}}}},
        {"no records, no items", {"# nothing", ""}, {}},
    };
    for (const auto& c : cases) {
        auto tree = BuildMcuTree(c.lines);
        ASSERT_EQ(tree.size(), c.tree.size()) << c.what;
        for (std::size_t i = 0; i < tree.size(); ++i) {
            EXPECT_EQ(tree[i].text, c.tree[i].text) << c.what << ", root " << i;
            EXPECT_EQ(tree[i].series, c.tree[i].series) << c.what << ", root " << i;
        }
    }
}

TEST(BuildMcuTree, ShippedCatalogueIsOneGroupWithTwoSeries) {
    auto tree = BuildMcuTree(Shipped());
    ASSERT_EQ(tree.size(), 1u);
    EXPECT_EQ(tree[0].text, "R8C/Tiny  ");
    EXPECT_EQ(tree[0].series, (std::vector<std::string>{"R8C/2A    ", "R8C/2B    "}));
}

// ---------------------------------------------------------------- rows of a tree item

TEST(RowsForTreeItem, SeriesListsItsPartsGroupEmptiesAndDisables) {
    const Lines lines = {
        Record("G1", "S1", "P1", "48K"),  Record("G1", "S2", "P2", "64K+2K"), "# comment between",
        Record("G2", "S1", "P3", " 96K"), Record("G2", "S3", "P4", "128K"),
    };
    struct {
        const char* what;
        std::string item;
        std::optional<bool> enabled;
        std::vector<McuListRow> rows;
    } cases[] = {
        {"series spread over two groups",
         Pad("S1", 10),
         true,
         {{Part("P1"), Pad("48K", 8)}, {Part("P3"), Pad(" 96K", 8)}}},
        {"series under the second group", Pad("S3", 10), true, {{Part("P4"), Pad("128K", 8)}}},
        {"group item", Pad("G1", 10), false, {}},
        {"later group item", Pad("G2", 10), false, {}},
        {"item text without its trailing blanks", "S1", std::nullopt, {}},
        {"other case", Pad("s1", 10), std::nullopt, {}},
    };
    for (const auto& c : cases) {
        auto result = RowsForTreeItem(lines, c.item);
        EXPECT_EQ(result.listEnabled, c.enabled) << c.what;
        ASSERT_EQ(result.rows.size(), c.rows.size()) << c.what;
        for (std::size_t i = 0; i < c.rows.size(); ++i) {
            EXPECT_EQ(result.rows[i].part, c.rows[i].part) << c.what;
            EXPECT_EQ(result.rows[i].memorySize, c.rows[i].memorySize) << c.what;
        }
    }
}

// A record whose group field equals the item ends the scan, whatever came before
// and whatever follows.
TEST(RowsForTreeItem, GroupMatchStopsTheScan) {
    const Lines lines = {Record("A", "X", "P1"), Record("X", "B", "P2"), Record("C", "X", "P3")};
    auto result = RowsForTreeItem(lines, Pad("X", 10));
    EXPECT_EQ(result.listEnabled, false);
    ASSERT_EQ(result.rows.size(), 1u);
    EXPECT_EQ(result.rows[0].part, Part("P1"));
}

// ---------------------------------------------------------------- memory map of a part

struct ShippedMapCase {
    const char* part;
    MemoryMap map;
};

class ShippedMemoryMap : public ::testing::TestWithParam<ShippedMapCase> {};

TEST_P(ShippedMemoryMap, FollowsSizeAndBlocks) {
    auto map = MemoryMapForPart(Shipped(), Part(GetParam().part));
    ASSERT_TRUE(map.has_value()) << GetParam().part;
    EXPECT_EQ(*map, GetParam().map) << GetParam().part;
}

constexpr MemoryMap k48{0, 0, 0x4000, 0x10000};
constexpr MemoryMap k64{0, 0, 0x4000, 0x14000};
constexpr MemoryMap k96{0, 0, 0x4000, 0x1C000};
constexpr MemoryMap k128{0, 0, 0x4000, 0x24000};
constexpr MemoryMap kB48{0x2400, 0x2C00, 0x4000, 0x10000};
constexpr MemoryMap kB64{0x2400, 0x2C00, 0x4000, 0x14000};
constexpr MemoryMap kB96{0x2400, 0x2C00, 0x4000, 0x1C000};
constexpr MemoryMap kB128{0x2400, 0x2C00, 0x4000, 0x24000};

INSTANTIATE_TEST_SUITE_P(
    EveryPart, ShippedMemoryMap,
    ::testing::Values(ShippedMapCase{"R5F212A7SN", k48}, ShippedMapCase{"R5F212A7SD", k48},
                      ShippedMapCase{"R5F212A8SN", k64}, ShippedMapCase{"R5F212A8SD", k64},
                      ShippedMapCase{"R5F212AASN", k96}, ShippedMapCase{"R5F212AASD", k96},
                      ShippedMapCase{"R5F212ACSN", k128}, ShippedMapCase{"R5F212ACSD", k128},
                      ShippedMapCase{"R5F212B7SN", kB48}, ShippedMapCase{"R5F212B7SD", kB48},
                      ShippedMapCase{"R5F212B8SN", kB64}, ShippedMapCase{"R5F212B8SD", kB64},
                      ShippedMapCase{"R5F212BASN", kB96}, ShippedMapCase{"R5F212BASD", kB96},
                      ShippedMapCase{"R5F212BCSN", kB128}, ShippedMapCase{"R5F212BCSD", kB128}));

struct MapCase {
    const char* what;
    std::string line;
    MemoryMap map;
};

TEST(MemoryMapForPart, SizeFieldAndBlockEntries) {
    const std::string dataFlash = Entry("0A", "1K", "02400") + Entry("0B", "1K", "02800");
    const MapCase cases[] = {
        {"32K+2K with lettered entry 0",
         Record("G", "S", "P", "32K+2K", "04", {dataFlash + Entry("01", "16K", "04000")}),
         {0x2400, 0x2C00, 0x4000, 0xC000}},
        {"64K, entry 0 numbered",
         Record("G", "S", "P", "64K", "01", {Entry("00", "", "04000")}),
         {0, 0, 0x4000, 0x14000}},
        {"blanks before the numbers and after the K",
         Record("G", "S", "P", " 32K+ 2K", "03", {dataFlash + Entry("01", "", "04000")}),
         {0x2400, 0x2C00, 0x4000, 0xC000}},
        {"numbered means a digit at offset 1",
         Record("G", "S", "P", "16K", "02", {Entry("1A", "", "02000") + Entry("A1", "", "08000")}),
         {0, 0, 0x8000, 0xC000}},
        {"lower-case address digits",
         Record("G", "S", "P", "16K", "01", {Entry("00", "", "0c000")}),
         {0, 0, 0xC000, 0x10000}},
        {"plus sign first: no region 1",
         Record("G", "S", "P", "+2K", "02", {dataFlash}),
         {0, 0, 0, 0x800}},
        {"no K: size 0",
         Record("G", "S", "P", "64", "01", {Entry("00", "", "04000")}),
         {0, 0, 0x4000, 0x4000}},
        {"lower-case k is no K",
         Record("G", "S", "P", "64k", "01", {Entry("00", "", "04000")}),
         {0, 0, 0x4000, 0x4000}},
        {"negative size is none",
         Record("G", "S", "P", "-4K", "01", {Entry("00", "", "04000")}),
         {0, 0, 0x4000, 0x4000}},
        {"the count field does not limit the scan",
         Record("G", "S", "P", "16K", "00", {Entry("0A", "", "02400") + Entry("01", "", "08000")}),
         {0, 0, 0x8000, 0xC000}},
        // Bounds never pass the end of the 1 MB image.
        {"region 2 reaching past 1 MB",
         Record("G", "S", "P", "2048K", "01", {Entry("00", "", "C0000")}),
         {0, 0, 0xC0000, 0x100000}},
        {"size too large for 32 bits",
         Record("G", "S", "P", "9999999K", "01", {Entry("00", "", "04000")}),
         {0, 0, 0x4000, 0x100000}},
        {"region 1 reaching past 1 MB",
         Record("G", "S", "P", "1K+64K", "02",
                {Entry("0A", "", "FF000") + Entry("00", "", "04000")}),
         {0xFF000, 0x100000, 0x4000, 0x4400}},
        // An unreadable address leaves its region empty.
        {"unreadable program-ROM address",
         Record("G", "S", "P", "64K", "01", {Entry("00", "", "0G000")}),
         {0, 0, 0, 0}},
        {"blank in the program-ROM address",
         Record("G", "S", "P", "64K", "01", {Entry("00", "", "04 00")}),
         {0, 0, 0, 0}},
        {"unreadable program-ROM address, data flash kept",
         Record("G", "S", "P", "32K+2K", "03", {dataFlash + Entry("01", "", "0400x")}),
         {0x2400, 0x2C00, 0x2C00, 0x2C00}},
        {"unreadable data-flash address",
         Record("G", "S", "P", "32K+2K", "03",
                {Entry("0A", "", "0240?") + Entry("0B", "", "02800") + Entry("01", "", "04000")}),
         {0, 0, 0x4000, 0xC000}},
        // No numbered block: the program ROM is taken to start at 0.
        {"no numbered block", Record("G", "S", "P", "16K", "02", {dataFlash}), {0, 0, 0, 0x4000}},
        {"no block entries at all", Record("G", "S", "P", "16K"), {0, 0, 0, 0x4000}},
        {"line ends inside the size field",
         ":G         S         P         16K",
         {0, 0, 0, 0x4000}},
        {"line ends after the part name", ":G         S         P         ", {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        auto map = MemoryMapForPart({c.line}, Part("P"));
        ASSERT_TRUE(map.has_value()) << c.what;
        EXPECT_EQ(*map, c.map) << c.what;
    }
}

TEST(MemoryMapForPart, UnreadableAddressRefusesItsRegionOnly) {
    auto bad2 = MemoryMapForPart(
        {Record("G", "S", "P", "32K+2K", "03",
                {Entry("0A", "", "02400") + Entry("0B", "", "02800") + Entry("01", "", "0G000")})},
        Part("P"));
    ASSERT_TRUE(bad2.has_value());
    EXPECT_TRUE(InMemoryMap(*bad2, 0x2400));
    EXPECT_TRUE(InMemoryMap(*bad2, 0x2BFF));
    for (std::uint32_t a : {0x2C00u, 0x4000u, 0xBFFFu, 0xFFFFFu, 0xFFFFFFFFu}) {
        EXPECT_FALSE(InMemoryMap(*bad2, a)) << std::hex << a;
    }
    auto bad = MemoryMapForPart({Record("G", "S", "P", "64K", "01", {Entry("00", "", "G4000")})},
                                Part("P"));
    ASSERT_TRUE(bad.has_value());
    for (std::uint32_t a : {0u, 0x4000u, 0xFFFFFu, 0xFFFFFFFEu, 0xFFFFFFFFu}) {
        EXPECT_FALSE(InMemoryMap(*bad, a)) << std::hex << a;
    }
}

TEST(MemoryMapForPart, FirstRecordOfThePartExactNameOnly) {
    const Lines lines = {"# R5F212A8SN as a comment", Record("G", "S", "OTHER", "16K"),
                         Record("G", "S", "P", "16K", "01", {Entry("00", "", "04000")}),
                         Record("G", "S", "P", "64K", "01", {Entry("00", "", "08000")}),
                         Record("G", "S", "p", "32K")};
    EXPECT_EQ(MemoryMapForPart(lines, Part("P")), (MemoryMap{0, 0, 0x4000, 0x8000}));
    EXPECT_EQ(MemoryMapForPart(lines, Part("p")), (MemoryMap{0, 0, 0, 0x8000}));
    EXPECT_FALSE(MemoryMapForPart(lines, "P").has_value());
    EXPECT_FALSE(MemoryMapForPart(lines, Part("Q")).has_value());
    EXPECT_FALSE(MemoryMapForPart({}, Part("P")).has_value());
}

// Whatever a record holds, no bound passes the end of the image, so no accepted
// address can index outside it.
TEST(MemoryMapForPart, NoBoundPassesTheImageForAnyRecord) {
    std::mt19937 random(12345);
    const std::string alphabet = "0123456789ABCDEFabcdefKK++  -GxZ:";
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<std::size_t> length(0, 120);
    for (int i = 0; i < 5000; ++i) {
        std::string tail(length(random), ' ');
        for (auto& c : tail)
            c = alphabet[pick(random)];
        std::string line = ":" + Pad("G", 10) + Pad("S", 10) + Part("P") + tail;
        auto map = MemoryMapForPart({line}, Part("P"));
        ASSERT_TRUE(map.has_value()) << line;
        for (std::uint32_t bound :
             {map->region1Start, map->region1End, map->region2Start, map->region2End}) {
            ASSERT_LE(bound, kMemImageSize) << line;
        }
        for (std::uint32_t a : {kMemImageSize, kMemImageSize + 1, 0xFFFFFFFFu}) {
            ASSERT_FALSE(InMemoryMap(*map, a)) << line;
        }
    }
}

// ---------------------------------------------------------------- parsed records

TEST(CatalogueRecords, FieldsAsCutAndCompleteBlocksOnly) {
    const Lines lines = {
        "# comment",
        Record("G", "S", "FULL", "64K+2K", "03",
               {Entry("0A", "1K", "02400") + Entry("02", "16K", "04000") +
                Entry("01", "16K", "0c000")}),
        Record("G", "S", "COUNTED", "16K", "01",
               {Entry("00", "16K", "04000") + Entry("01", "16K", "08000")}),
        Record("G", "S", "BADCOUNT", "16K", "Z1", {Entry("00", "16K", "04000")}),
        Record("G", "S", "BADADDR", "32K", "03",
               {Entry("00", "16K", "0400G") + Entry("01", "16K", "08000") +
                Entry("02", "16K", "0C 00")}),
        Record("G", "S", "SHORT", "32K", "03", {Entry("00", "16K", "04000") + "01  16K 080"}),
        ":G",
    };
    auto records = CatalogueRecords(lines);
    ASSERT_EQ(records.size(), 6u);

    EXPECT_EQ(records[0].group, Pad("G", 10));
    EXPECT_EQ(records[0].series, Pad("S", 10));
    EXPECT_EQ(records[0].part, Part("FULL"));
    EXPECT_EQ(records[0].memorySize, Pad("64K+2K", 8));
    ASSERT_EQ(records[0].blocks.size(), 3u);
    EXPECT_EQ(records[0].blocks[0].name, "0A");
    EXPECT_EQ(records[0].blocks[0].size, "1K  ");
    EXPECT_EQ(records[0].blocks[0].start, 0x2400u);
    EXPECT_EQ(records[0].blocks[2].start, 0xC000u);

    auto starts = [](const McuRecord& r) {
        std::vector<std::uint32_t> s;
        for (const auto& b : r.blocks)
            s.push_back(b.start);
        return s;
    };
    EXPECT_EQ(starts(records[1]), (std::vector<std::uint32_t>{0x4000}));
    EXPECT_EQ(starts(records[2]), (std::vector<std::uint32_t>{}));
    EXPECT_EQ(starts(records[3]), (std::vector<std::uint32_t>{0x8000}));
    EXPECT_EQ(starts(records[4]), (std::vector<std::uint32_t>{0x4000}));
    EXPECT_EQ(records[5].group, "G");
    EXPECT_EQ(records[5].part, "");
    EXPECT_TRUE(records[5].blocks.empty());
}

// The shipped catalogue holds together: blocks in ascending order, without holes,
// adding up to the sizes the memory map is computed from.
TEST(CatalogueRecords, ShippedBlocksCoverTheMemoryMapExactly) {
    const Lines lines = Shipped();
    auto records = CatalogueRecords(lines);
    ASSERT_EQ(records.size(), 16u);
    for (const auto& record : records) {
        SCOPED_TRACE(record.part);
        auto map = MemoryMapForPart(lines, record.part);
        ASSERT_TRUE(map.has_value());
        ASSERT_FALSE(record.blocks.empty());
        std::uint32_t data = 0, program = 0;
        std::uint32_t next = record.blocks.front().start;
        for (const auto& block : record.blocks) {
            auto size = BlockSizeBytes(block.size);
            ASSERT_TRUE(size.has_value()) << block.name;
            bool numbered = block.name[1] >= '0' && block.name[1] <= '9';
            if (!numbered) {
                data += *size;
            } else {
                if (program == 0)
                    next = block.start;
                program += *size;
            }
            EXPECT_EQ(block.start, next) << block.name;
            next = block.start + *size;
        }
        EXPECT_EQ(map->region2End - map->region2Start, program);
        EXPECT_EQ(map->region1End - map->region1Start, data);
        EXPECT_EQ(next, map->region2End);
    }
}

struct LooseCase {
    std::string name;
    const char* part;  // nullptr: not found
};

// A block entry Erase could not use is found, naming the line and the part.
TEST(BlockEntryProblem, NamesTheLineAndThePart) {
    const std::string good = Entry("00", "16K", "04000");
    struct {
        const char* name;
        std::string record;
        std::optional<std::string> problem;
    } cases[] = {
        {"sound", Record("G", "S", "P1", "64K", "02", {good, Entry("01", "16K", "08000")}),
         std::nullopt},
        {"no entries announced", Record("G", "S", "P1", "64K", "00"), std::nullopt},
        {"a letter in the address",
         Record("G", "S", "P1", "64K", "02", {good, Entry("01", "16K", "0G000")}),
         "MCU file line 3: part P1 has a block entry with the bad start address \"0G000\"."},
        {"a blank in the address", Record("G", "S", "P1", "64K", "01", {Entry("00", "16K", "400")}),
         "MCU file line 3: part P1 has a block entry with the bad start address \"400  \"."},
        {"cut short", Record("G", "S", "P1", "64K", "03", {good}),
         "MCU file line 3: part P1 announces 3 block entries, the line holds 1."},
    };
    for (const auto& c : cases) {
        const Lines lines = {"# parts", Record("G", "S", "P0", "64K", "01", {good}), c.record,
                             Record("G", "S", "P1", "64K", "01", {Entry("00", "1K", "zzzzz")})};
        EXPECT_EQ(BlockEntryProblem(lines, Part("P1")), c.problem) << c.name;
        EXPECT_EQ(BlockEntryProblem(lines, Part("P0")), std::nullopt) << c.name;
        EXPECT_EQ(BlockEntryProblem(lines, Part("P9")), std::nullopt) << c.name;
        // Every record of the file: a later record of the same part is checked too.
        const auto all = BlockEntryProblems(lines);
        ASSERT_EQ(all.size(), c.problem ? 2u : 1u) << c.name;
        EXPECT_EQ(all.back().substr(0, 25), "MCU file line 4: part P1 ") << c.name;
    }
    EXPECT_TRUE(BlockEntryProblems(Shipped()).empty());
}

// The listing is what selecting each tree item and clicking each part would
// show, gathered in one pass.
TEST(BuildMcuListing, EqualsTheTreeItemsAndTheirMapsOnRandomCatalogues) {
    std::mt19937 random(7);
    const char* names[] = {"A", "B", "C", "A ", "D"};
    for (int round = 0; round < 200; ++round) {
        Lines lines;
        const int records = static_cast<int>(random() % 12);
        for (int i = 0; i < records; ++i) {
            if (random() % 5 == 0)
                lines.push_back("# comment");
            const std::string start = random() % 4 == 0 ? "0G000" : "04000";
            lines.push_back(Record(names[random() % 5], names[random() % 5],
                                   std::string("P") + names[random() % 5],
                                   random() % 2 ? "32K" : "48K+2K", "01",
                                   {Entry(random() % 2 ? "00" : "A0", "16K", start)}));
        }
        const auto tree = BuildMcuTree(lines);
        const auto listing = BuildMcuListing(lines);
        ASSERT_EQ(listing.size(), tree.size());
        std::vector<std::string> seen;
        for (std::size_t g = 0; g < tree.size(); ++g) {
            EXPECT_EQ(listing[g].text, tree[g].text);
            ASSERT_EQ(listing[g].series.size(), tree[g].series.size());
            for (std::size_t k = 0; k < tree[g].series.size(); ++k) {
                const std::string& item = tree[g].series[k];
                const McuListingSeries& series = listing[g].series[k];
                EXPECT_EQ(series.text, item);
                const bool repeated = std::find(seen.begin(), seen.end(), item) != seen.end();
                seen.push_back(item);
                EXPECT_EQ(series.listedAbove, repeated);
                const auto rows =
                    repeated ? std::vector<McuListRow>{} : RowsForTreeItem(lines, item).rows;
                ASSERT_EQ(series.parts.size(), rows.size()) << "round " << round;
                for (std::size_t r = 0; r < rows.size(); ++r) {
                    EXPECT_EQ(series.parts[r].row.part, rows[r].part);
                    EXPECT_EQ(series.parts[r].row.memorySize, rows[r].memorySize);
                    EXPECT_EQ(series.parts[r].map, MemoryMapForPart(lines, rows[r].part));
                }
            }
        }
    }
}

// Series that come back again and again list each part once: the listing
// grows with the file.
TEST(BuildMcuListing, EveryPartOnceHoweverOftenItsSeriesReturns) {
    Lines lines;
    constexpr int kRecords = 2000;
    for (int i = 0; i < kRecords; ++i)
        lines.push_back(Record("G", i % 2 ? "ODD" : "EVEN", "P" + std::to_string(i)));
    std::size_t items = 0;
    std::size_t parts = 0;
    for (const auto& group : BuildMcuListing(lines)) {
        for (const auto& series : group.series) {
            ++items;
            parts += series.parts.size();
        }
    }
    EXPECT_EQ(items, static_cast<std::size_t>(kRecords));
    EXPECT_EQ(parts, static_cast<std::size_t>(kRecords));
}

TEST(FindPartLoosely, TrailingBlanksIgnoredOnBothSides) {
    const Lines lines = {Record("G", "S", "R5F212A8SN", "64K"), Record("G", "S", "SHORT", "16K"),
                         Record("G", "S", "TWO WORDS", "8K"), Record("G", "S", "R5F212A8SN", "1K")};
    const LooseCase cases[] = {
        {"R5F212A8SN", "R5F212A8SN"},
        {"R5F212A8SN   ", "R5F212A8SN"},
        {"SHORT", "SHORT     "},
        {"SHORT \t", "SHORT     "},
        {"TWO WORDS", "TWO WORDS "},
        {"TWO", nullptr},
        {"r5f212a8sn", nullptr},
        {"R5F212A8", nullptr},
        {" SHORT", nullptr},
        {"", nullptr},
        {"   ", nullptr},
    };
    for (const auto& c : cases) {
        auto record = FindPartLoosely(lines, c.name);
        if (c.part == nullptr) {
            EXPECT_FALSE(record.has_value()) << '"' << c.name << '"';
        } else {
            ASSERT_TRUE(record.has_value()) << '"' << c.name << '"';
            EXPECT_EQ(record->part, c.part);
        }
    }
    // The first of two records of one part.
    EXPECT_EQ(FindPartLoosely(lines, "R5F212A8SN")->memorySize, Pad("64K", 8));
    EXPECT_EQ(FindPartLoosely(Shipped(), "R5F212B8SN")->blocks.size(), 6u);
}

TEST(BlockSizeBytes, KilobytesOfTheSizeText) {
    const std::pair<const char*, std::optional<std::uint32_t>> cases[] = {
        {" 16K", 16384},
        {"  1K", 1024},
        {"16K", 16384},
        {"128K", 131072},
        {"0K", 0},
        {"1K  ", 1024},
        {"1 6K", std::nullopt},
        {"16", std::nullopt},
        {"K", std::nullopt},
        {"16k", std::nullopt},
        {"-1K", std::nullopt},
        {"", std::nullopt},
        {"    ", std::nullopt},
        {"9999999K", std::nullopt},
    };
    for (const auto& [text, bytes] : cases) {
        EXPECT_EQ(BlockSizeBytes(text), bytes) << '"' << text << '"';
    }
}

}  // namespace
}  // namespace o8r
