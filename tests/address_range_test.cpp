// The address range entry of Read and Blank Check: precedence of the checks, the
// memory-map boundaries, page counts, and what the dialog's OK button writes.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "core/model/Messages.h"
#include "core/operations/AddressRangeEntry.h"
#include "core/operations/AddressRangeRules.h"
#include "core/operations/BaseAddressEntry.h"
#include "core/window/SharedState.h"
#include "support/RecordingPrompts.h"

namespace o8r {
namespace {

constexpr MemoryMap kTwoRegions{0x2400, 0x2C00, 0x4000, 0xC000};
constexpr MemoryMap kRegion2Only{0, 0, 0x4000, 0x14000};
constexpr std::uint32_t kUnreadable = 0xFFFFFFFF;

struct RangeCase {
    const char* what;
    std::string start, end;
    MemoryMap map;
    RangeOutcome outcome;
    std::uint32_t startValue, endValue;
    std::uint16_t pageCount;  // checked for Accepted and AskExchange
};

class CheckAddressRangeTest : public ::testing::TestWithParam<RangeCase> {};

TEST_P(CheckAddressRangeTest, OutcomeValuesAndPages) {
    const RangeCase& c = GetParam();
    RangeCheck check = CheckAddressRange(c.start, c.end, c.map);
    EXPECT_EQ(check.outcome, c.outcome) << c.what;
    EXPECT_EQ(check.start, c.startValue) << c.what;
    EXPECT_EQ(check.end, c.endValue) << c.what;
    if (c.outcome == RangeOutcome::Accepted || c.outcome == RangeOutcome::AskExchange) {
        EXPECT_EQ(check.pageCount, c.pageCount) << c.what;
    }
}

using R = RangeOutcome;

// One failure at a time, the first in this order: empty start, empty end, format,
// memory map, exchange.
INSTANTIATE_TEST_SUITE_P(
    Precedence, CheckAddressRangeTest,
    ::testing::Values(
        RangeCase{"both empty", "", "", kTwoRegions, R::EmptyStart, 0, 0, 0},
        RangeCase{"empty start before a bad end", "", "zz", kTwoRegions, R::EmptyStart, 0,
                  kUnreadable, 0},
        RangeCase{"empty end", "4000", "", kTwoRegions, R::EmptyEnd, 0x4000, 0, 0},
        RangeCase{"empty end before a bad start", "zz", "", kTwoRegions, R::EmptyEnd, kUnreadable,
                  0, 0},
        RangeCase{"x prefix", "0x100", "4000", kTwoRegions, R::FormatError, kUnreadable, 0x4000, 0},
        RangeCase{"blank inside", "4000", "4 00", kTwoRegions, R::FormatError, 0x4000, kUnreadable,
                  0},
        RangeCase{"sign", "-4000", "4000", kTwoRegions, R::FormatError, kUnreadable, 0x4000, 0},
        RangeCase{"format before map", "100", "G", kTwoRegions, R::FormatError, 0x100, kUnreadable,
                  0},
        RangeCase{"map before exchange", "C000", "4000", kTwoRegions, R::OutOfMap, 0xC000, 0x4000,
                  0},
        RangeCase{"end out of map", "4000", "C000", kTwoRegions, R::OutOfMap, 0x4000, 0xC000, 0},
        RangeCase{"start above end", "5000", "4000", kTwoRegions, R::AskExchange, 0x5000, 0x4000,
                  0x11},
        RangeCase{"equal ends ask nothing", "4000", "4000", kTwoRegions, R::Accepted, 0x4000,
                  0x4000, 1}));

INSTANTIATE_TEST_SUITE_P(
    PagesAndSpelling, CheckAddressRangeTest,
    ::testing::Values(
        RangeCase{"one page", "C000", "C0FF", kRegion2Only, R::Accepted, 0xC000, 0xC0FF, 1},
        RangeCase{"two pages across a boundary", "C0FF", "C100", kRegion2Only, R::Accepted, 0xC0FF,
                  0xC100, 2},
        RangeCase{"three pages", "10F0", "1210", MemoryMap{0, 0, 0x1000, 0x2000}, R::Accepted,
                  0x10F0, 0x1210, 3},
        RangeCase{"whole region 2", "4000", "13FFF", kRegion2Only, R::Accepted, 0x4000, 0x13FFF,
                  0x100},
        RangeCase{"exchange counts pages the right way round", "C100", "C0FF", kRegion2Only,
                  R::AskExchange, 0xC100, 0xC0FF, 2},
        RangeCase{"region 1 into region 2 spans the gap", "2400", "BFFF", kTwoRegions, R::Accepted,
                  0x2400, 0xBFFF, 0xBF - 0x24 + 1},
        RangeCase{"lower case", "c000", "c0ff", kRegion2Only, R::Accepted, 0xC000, 0xC0FF, 1},
        RangeCase{"leading zeros", "0000C000", "00C0FF", kRegion2Only, R::Accepted, 0xC000, 0xC0FF,
                  1},
        // A text too wide for 32 bits never wraps onto an address in the map.
        RangeCase{"nine significant digits", "100004000", "4000", kRegion2Only, R::FormatError,
                  kUnreadable, 0x4000, 0},
        RangeCase{"seventeen digits", "10000000000004000", "4000", kRegion2Only, R::FormatError,
                  kUnreadable, 0x4000, 0},
        RangeCase{"eight digits out of map", "FFFFFFFE", "4000", kRegion2Only, R::OutOfMap,
                  0xFFFFFFFE, 0x4000, 0},
        RangeCase{"eight F digits are unreadable", "FFFFFFFF", "4000", kRegion2Only, R::FormatError,
                  kUnreadable, 0x4000, 0}));

// ---------------------------------------------------------------- the dialog

Message AddrError(const char* text) {
    return test::Msg(text, text::kCaptionError, MsgIcon::Error, MsgButtons::Ok,
                     Owner::AddressSetting);
}
const Message kExchange = test::Msg(text::kExchangeAddressesQuestion, text::kCaptionWarning,
                                    MsgIcon::Question, MsgButtons::YesNo, Owner::AddressSetting);

struct PressCase {
    const char* what;
    std::string start, end;
    std::vector<MsgAnswer> answers;
    bool closes;
    std::vector<Message> messages;
    std::string startAfter, endAfter;  // the field texts afterwards
    std::uint32_t rangeStart, rangeEnd;
    std::uint16_t pageCount;  // 0x7777 when it must stay untouched
};

class AddressRangeEntryTest : public ::testing::TestWithParam<PressCase> {};

TEST_P(AddressRangeEntryTest, WritesTheRangeAndShowsOneMessage) {
    const PressCase& c = GetParam();
    ResetSharedState();
    SetMemoryMap(kTwoRegions);
    test::RecordingPrompts prompts;
    prompts.answers.assign(c.answers.begin(), c.answers.end());
    AddressRangeEntry dialog(prompts, kTwoRegions, text::kPromptReadRange);
    std::string start = c.start, end = c.end;

    EXPECT_EQ(dialog.PressOk(start, end), c.closes) << c.what;
    EXPECT_EQ(prompts.messages, c.messages) << c.what;
    EXPECT_EQ(start, c.startAfter) << c.what;
    EXPECT_EQ(end, c.endAfter) << c.what;
    EXPECT_EQ(dialog.Start(), c.rangeStart) << c.what;
    EXPECT_EQ(dialog.End(), c.rangeEnd) << c.what;
    // The page count is kept only by a press that closes the dialog.
    EXPECT_EQ(c.closes ? dialog.PageCount() : 0x7777, c.pageCount) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    OkButton, AddressRangeEntryTest,
    ::testing::Values(
        PressCase{"accepted", "4000", "41ff", {}, true, {}, "4000", "41ff", 0x4000, 0x41FF, 2},
        PressCase{"empty start",
                  "",
                  "4000",
                  {},
                  false,
                  {AddrError(text::kNoStartAddress)},
                  "",
                  "4000",
                  0,
                  0x4000,
                  0x7777},
        PressCase{"empty end",
                  "4000",
                  "",
                  {},
                  false,
                  {AddrError(text::kNoEndAddress)},
                  "4000",
                  "",
                  0x4000,
                  0,
                  0x7777},
        PressCase{"format error still writes both values",
                  "0x10",
                  "4000",
                  {},
                  false,
                  {AddrError(text::kInputFormatError)},
                  "0x10",
                  "4000",
                  kUnreadable,
                  0x4000,
                  0x7777},
        PressCase{"out of map",
                  "2C00",
                  "4000",
                  {},
                  false,
                  {AddrError(text::kAddressOutOfMap)},
                  "2C00",
                  "4000",
                  0x2C00,
                  0x4000,
                  0x7777},
        PressCase{"exchange answered Yes",
                  "bfff",
                  "2400",
                  {MsgAnswer::Yes},
                  true,
                  {kExchange},
                  "2400",
                  "bfff",
                  0x2400,
                  0xBFFF,
                  0xBF - 0x24 + 1},
        PressCase{"exchange answered No",
                  "bfff",
                  "2400",
                  {MsgAnswer::No},
                  false,
                  {kExchange},
                  "",
                  "",
                  0xBFFF,
                  0x2400,
                  0x7777}));

TEST(AddressRangeEntry, ChecksAgainstTheSelectedMemoryMap) {
    ResetSharedState();
    test::RecordingPrompts prompts;
    std::string start = "4000", end = "4000";
    // Nothing selected: an empty map.
    EXPECT_FALSE(AddressRangeEntry(prompts, MemoryMap{}, "").PressOk(start, end));
    EXPECT_TRUE(AddressRangeEntry(prompts, kRegion2Only, "").PressOk(start, end));
    EXPECT_EQ(prompts.messages, (std::vector<Message>{AddrError(text::kAddressOutOfMap)}));
}

TEST(AddressRangeEntry, PromptIsTheCallersText) {
    ResetSharedState();
    test::RecordingPrompts prompts;
    EXPECT_EQ(AddressRangeEntry(prompts, kTwoRegions, text::kPromptCheckRange).Prompt(),
              "Please set check range");
    EXPECT_EQ(AddressRangeEntry::kFieldLength, 5u);
}

// Where a binary goes: the part's program ROM to begin with, any address of the
// map on OK, one message for anything else.
TEST(BaseAddressEntry, TakesAnAddressOfTheMapOnly) {
    struct Case {
        const char* text;
        const char* message;  // nullptr: taken
        std::uint32_t base;
    };
    const Case cases[] = {
        {"04000", nullptr, 0x4000},
        {"2400", nullptr, 0x2400},
        {"bfff", nullptr, 0xBFFF},
        {"", text::kNoStartAddress, 0x4000},
        {"zz", text::kInputFormatError, 0x4000},
        {"004000", text::kInputFormatError, 0x4000},
        {"3000", text::kAddressOutOfMap, 0x4000},
        {"C000", text::kAddressOutOfMap, 0x4000},
    };
    for (const Case& c : cases) {
        test::RecordingPrompts prompts;
        BaseAddressEntry dialog(prompts, kTwoRegions);
        EXPECT_EQ(dialog.InitialText(), "04000");
        EXPECT_EQ(dialog.PressOk(c.text), c.message == nullptr) << c.text;
        EXPECT_EQ(dialog.Base(), c.base) << c.text;
        EXPECT_EQ(prompts.messages,
                  c.message ? std::vector<Message>{AddrError(c.message)} : std::vector<Message>{})
            << c.text;
    }
}

}  // namespace
}  // namespace o8r
