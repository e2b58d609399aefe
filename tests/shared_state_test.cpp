// ParseHex and the memory-map test: the two helpers every address passes through.

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

#include "core/model/HexText.h"
#include "core/model/MemoryMap.h"
#include "core/window/SharedState.h"

namespace o8r {
namespace {

struct HexCase {
    std::string text;
    std::optional<std::uint64_t> value;  // nothing: not a hexadecimal text
};

class ParseHexTest : public ::testing::TestWithParam<HexCase> {};

TEST_P(ParseHexTest, ReadsDigitsOrGivesNothing) {
    EXPECT_EQ(ParseHex(GetParam().text), GetParam().value) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ParseHexTest,
    ::testing::Values(HexCase{"", 0}, HexCase{"0", 0}, HexCase{"00000", 0}, HexCase{"9", 9},
                      HexCase{"1a", 26}, HexCase{"1A", 26}, HexCase{"c000", 0xC000},
                      HexCase{"C000", 0xC000}, HexCase{"aBcDeF", 0xABCDEF},
                      HexCase{"FFFFF", 0xFFFFF},
                      // Fourteen or sixteen F digits are values, never mistaken for a refusal.
                      HexCase{"FFFFFFFFFFFFFF", 0x00FFFFFFFFFFFFFF},
                      // Seventeen digits wrap in 64 bits.
                      HexCase{"FFFFFFFFFFFFFFFF", ~0ull}, HexCase{"10000000000000000", 0},
                      // Any character outside the two digit tables, wherever it stands.
                      HexCase{"1G", std::nullopt}, HexCase{"G1", std::nullopt},
                      HexCase{" 1", std::nullopt}, HexCase{"1 ", std::nullopt},
                      HexCase{"0x100", std::nullopt}, HexCase{"-1", std::nullopt},
                      HexCase{"+1", std::nullopt}, HexCase{"1\n", std::nullopt},
                      HexCase{std::string("1\0", 2), std::nullopt},
                      HexCase{"\xC3\xA9", std::nullopt}, HexCase{"g", std::nullopt}));

struct MapCase {
    const char* layout;
    MemoryMap map;
    std::uint32_t address;
    bool inside;
};

class InMemoryMapTest : public ::testing::TestWithParam<MapCase> {};

TEST_P(InMemoryMapTest, AcceptsExactlyTheRegions) {
    const MapCase& c = GetParam();
    EXPECT_EQ(InMemoryMap(c.map, c.address), c.inside)
        << c.layout << " at 0x" << std::hex << c.address;
}

constexpr MemoryMap kRegion2Only{0, 0, 0x4000, 0x14000};
constexpr MemoryMap kTwoRegions{0x2400, 0x2C00, 0x4000, 0xC000};
constexpr MemoryMap kAdjacent{0x2400, 0x4000, 0x4000, 0xC000};
constexpr MemoryMap kFirmwareUpdate{0, 0, 0xFE000, 0x100000};
constexpr MemoryMap kNothing{};

INSTANTIATE_TEST_SUITE_P(
    Boundaries, InMemoryMapTest,
    ::testing::Values(MapCase{"region 2 only", kRegion2Only, 0, false},
                      MapCase{"region 2 only", kRegion2Only, 0x3FFF, false},
                      MapCase{"region 2 only", kRegion2Only, 0x4000, true},
                      MapCase{"region 2 only", kRegion2Only, 0x13FFF, true},
                      MapCase{"region 2 only", kRegion2Only, 0x14000, false},
                      MapCase{"region 2 only", kRegion2Only, 0xFFFFFFFF, false},
                      MapCase{"two regions", kTwoRegions, 0, false},
                      MapCase{"two regions", kTwoRegions, 0x23FF, false},
                      MapCase{"two regions", kTwoRegions, 0x2400, true},
                      MapCase{"two regions", kTwoRegions, 0x2BFF, true},
                      MapCase{"two regions", kTwoRegions, 0x2C00, false},
                      MapCase{"two regions", kTwoRegions, 0x3FFF, false},
                      MapCase{"two regions", kTwoRegions, 0x4000, true},
                      MapCase{"two regions", kTwoRegions, 0xBFFF, true},
                      MapCase{"two regions", kTwoRegions, 0xC000, false},
                      MapCase{"two regions", kTwoRegions, 0xFFFFFFFF, false},
                      MapCase{"no gap", kAdjacent, 0x3FFF, true},
                      MapCase{"no gap", kAdjacent, 0x4000, true},
                      MapCase{"firmware update", kFirmwareUpdate, 0xFDFFF, false},
                      MapCase{"firmware update", kFirmwareUpdate, 0xFE000, true},
                      MapCase{"firmware update", kFirmwareUpdate, 0xFFFFF, true},
                      MapCase{"firmware update", kFirmwareUpdate, 0x100000, false},
                      MapCase{"before any selection", kNothing, 0, false},
                      MapCase{"before any selection", kNothing, 0x4000, false}));

}  // namespace
}  // namespace o8r
