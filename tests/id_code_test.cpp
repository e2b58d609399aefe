// The ID code entry: the precedence of its checks, where the typed bytes land,
// and what the dialog's OK button shows and stores.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "core/catalogue/IdCodeRules.h"
#include "core/model/Messages.h"
#include "core/operations/IdCodeEntry.h"
#include "core/window/SharedState.h"
#include "support/RecordingPrompts.h"

namespace o8r {
namespace {

using Code = std::array<std::uint8_t, 7>;
constexpr Code kErased{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

struct CheckCase {
    const char* what;
    std::string text;
    bool characterMode;
    IdCodeOutcome outcome;
    Code code;
};

class CheckIdCodeTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(CheckIdCodeTest, OutcomeAndBytes) {
    const CheckCase& c = GetParam();
    IdCodeCheck check = CheckIdCode(c.text, c.characterMode);
    EXPECT_EQ(check.outcome, c.outcome) << c.what;
    if (c.outcome == IdCodeOutcome::Store || c.outcome == IdCodeOutcome::FillQuestion) {
        EXPECT_EQ(check.code, c.code) << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Hexadecimal, CheckIdCodeTest,
    ::testing::Values(
        CheckCase{"empty", "", false, IdCodeOutcome::EmptyText, {}},
        CheckCase{"prefilled text", "FFFFFFFFFFFFFF", false, IdCodeOutcome::Store, kErased},
        CheckCase{"seven bytes, first typed at index 0",
                  "00112233445566",
                  false,
                  IdCodeOutcome::Store,
                  {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66}},
        CheckCase{"lower case",
                  "a1b2c3d4e5f6aa",
                  false,
                  IdCodeOutcome::Store,
                  {0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6, 0xAA}},
        CheckCase{"four digits fill the high bytes",
                  "0a1B",
                  false,
                  IdCodeOutcome::FillQuestion,
                  {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x0A, 0x1B}},
        CheckCase{"one byte",
                  "00",
                  false,
                  IdCodeOutcome::FillQuestion,
                  {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00}},
        CheckCase{"twelve digits",
                  "0102030405AB",
                  false,
                  IdCodeOutcome::FillQuestion,
                  {0xFF, 0x01, 0x02, 0x03, 0x04, 0x05, 0xAB}},
        CheckCase{"three digits", "123", false, IdCodeOutcome::OddDigits, {}},
        CheckCase{"thirteen digits", "1234567890123", false, IdCodeOutcome::OddDigits, {}},
        // A bad character is reported before an odd count and before the question.
        CheckCase{"blank between digits", "12 4", false, IdCodeOutcome::BadHex, {}},
        CheckCase{"bad and odd", "1 3", false, IdCodeOutcome::BadHex, {}},
        CheckCase{"x prefix", "0x12", false, IdCodeOutcome::BadHex, {}},
        CheckCase{"letter past F", "G1", false, IdCodeOutcome::BadHex, {}},
        CheckCase{"only a blank", " ", false, IdCodeOutcome::BadHex, {}},
        CheckCase{"bad character in fourteen", "0011223344556Z", false, IdCodeOutcome::BadHex, {}},
        // More than the field holds: never written past the seven bytes.
        CheckCase{"sixteen F digits", "FFFFFFFFFFFFFFFF", false, IdCodeOutcome::TooLong, {}},
        CheckCase{"sixteen digits", "0011223344556677", false, IdCodeOutcome::TooLong, {}},
        CheckCase{"fifteen digits are odd first",
                  "001122334455667",
                  false,
                  IdCodeOutcome::OddDigits,
                  {}}));

INSTANTIATE_TEST_SUITE_P(
    Characters, CheckIdCodeTest,
    ::testing::Values(
        CheckCase{"empty", "", true, IdCodeOutcome::EmptyText, {}},
        CheckCase{"seven characters, first at index 0",
                  "ABCDEFG",
                  true,
                  IdCodeOutcome::Store,
                  {'A', 'B', 'C', 'D', 'E', 'F', 'G'}},
        CheckCase{"three characters fill the high bytes",
                  "abc",
                  true,
                  IdCodeOutcome::FillQuestion,
                  {0xFF, 0xFF, 0xFF, 0xFF, 'a', 'b', 'c'}},
        CheckCase{"anything is a character, no hex check",
                  "1 x-ZZ!",
                  true,
                  IdCodeOutcome::Store,
                  {'1', ' ', 'x', '-', 'Z', 'Z', '!'}},
        CheckCase{"digits are characters too",
                  "1234",
                  true,
                  IdCodeOutcome::FillQuestion,
                  {0xFF, 0xFF, 0xFF, '1', '2', '3', '4'}},
        CheckCase{"bytes above 0x7F",
                  "\xE9\xFF",
                  true,
                  IdCodeOutcome::FillQuestion,
                  {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xE9, 0xFF}},
        CheckCase{"eight characters", "ABCDEFGH", true, IdCodeOutcome::TooLong, {}},
        CheckCase{"fourteen F as characters", "FFFFFFFFFFFFFF", true, IdCodeOutcome::TooLong, {}}));

// ---------------------------------------------------------------- the dialog

constexpr Code kEntered{1, 2, 3, 4, 5, 6, 7};

Message IdMessage(const char* text, const char* caption, MsgIcon icon,
                  MsgButtons buttons = MsgButtons::Ok) {
    return test::Msg(text, caption, icon, buttons, Owner::IdCode);
}

const Message kEmpty = IdMessage(text::kNoIdInput, text::kCaptionWarning, MsgIcon::Exclamation);
const Message kHex = IdMessage(text::kIdHexFormat, text::kCaptionError, MsgIcon::Error);
const Message kOdd = IdMessage(text::kIdCompletedByte, text::kCaptionError, MsgIcon::Error);
const Message kLong = IdMessage(kIdTooLong, text::kCaptionError, MsgIcon::Error);
const Message kFill = IdMessage(text::kIdFillQuestion, text::kCaptionWarning, MsgIcon::Exclamation,
                                MsgButtons::YesNo);

struct PressCase {
    const char* what;
    std::string text;
    bool characterMode;
    std::vector<MsgAnswer> answers;
    bool closes;
    std::vector<Message> messages;
    Code stored;
};

class IdCodeEntryTest : public ::testing::TestWithParam<PressCase> {};

TEST_P(IdCodeEntryTest, MessagesAndStoredCode) {
    const PressCase& c = GetParam();
    ResetSharedState();
    g_idCode = kEntered;  // a code left from an earlier entry
    test::RecordingPrompts prompts;
    prompts.answers.assign(c.answers.begin(), c.answers.end());
    IdCodeEntry dialog(prompts, g_idCode);
    dialog.SetCharacterMode(c.characterMode);

    EXPECT_EQ(dialog.PressOk(c.text), c.closes) << c.what;
    EXPECT_EQ(prompts.messages, c.messages) << c.what;
    EXPECT_EQ(g_idCode, c.stored) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    OkButton, IdCodeEntryTest,
    ::testing::Values(
        PressCase{"prefilled text stores the erased code silently",
                  IdCodeEntry::InitialText(),
                  false,
                  {},
                  true,
                  {},
                  kErased},
        PressCase{"fourteen digits",
                  "A0A1A2A3A4A5A6",
                  false,
                  {},
                  true,
                  {},
                  {0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6}},
        PressCase{"empty keeps the code as it was", "", false, {}, false, {kEmpty}, kEntered},
        PressCase{"empty in character mode", "", true, {}, false, {kEmpty}, kEntered},
        PressCase{"bad hex leaves the erased code", "12 4", false, {}, false, {kHex}, kErased},
        PressCase{"odd digits", "123", false, {}, false, {kOdd}, kErased},
        PressCase{"too long", "0011223344556677", false, {}, false, {kLong}, kErased},
        PressCase{"short hex answered Yes",
                  "1234",
                  false,
                  {MsgAnswer::Yes},
                  true,
                  {kFill},
                  {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x12, 0x34}},
        PressCase{"short hex answered No", "1234", false, {MsgAnswer::No}, false, {kFill}, kErased},
        PressCase{
            "seven characters", "Secret!", true, {}, true, {}, {'S', 'e', 'c', 'r', 'e', 't', '!'}},
        PressCase{
            "three characters answered No", "abc", true, {MsgAnswer::No}, false, {kFill}, kErased},
        PressCase{"three characters answered Yes",
                  "abc",
                  true,
                  {MsgAnswer::Yes},
                  true,
                  {kFill},
                  {0xFF, 0xFF, 0xFF, 0xFF, 'a', 'b', 'c'}},
        PressCase{"too many characters", "ABCDEFGH", true, {}, false, {kLong}, kErased}));

TEST(IdCodeEntry, RetryAfterAFailureStoresTheNewCode) {
    ResetSharedState();
    test::RecordingPrompts prompts;
    IdCodeEntry dialog(prompts, g_idCode);
    EXPECT_FALSE(dialog.PressOk("123"));
    EXPECT_TRUE(dialog.PressOk("00000000000001"));
    EXPECT_EQ(g_idCode, (Code{0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(prompts.messages, (std::vector<Message>{kOdd}));
}

}  // namespace
}  // namespace o8r
