#pragma once

// The rules of the ID code entry: which message the OK button shows, or which
// seven bytes it stores. The code a protected target is unlocked with.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace o8r {

// Outcomes in their order of precedence. TooLong is never reached from the dialog,
// whose field holds at most 14 digits or 7 characters; it guards callers that
// pass text of their own (the command line).
enum class IdCodeOutcome { Store, EmptyText, BadHex, OddDigits, FillQuestion, TooLong };

struct IdCodeCheck {
    IdCodeOutcome outcome;
    // What to store on Store, or on Yes to FillQuestion: the bytes entered occupy
    // the highest indices in the order typed, the rest are 0xFF.
    std::array<std::uint8_t, 7> code;
};

constexpr std::size_t kIdCodeBytes = 7;
constexpr std::size_t kIdCodeHexDigits = 2 * kIdCodeBytes;

// Shown for TooLong. The dialog's field never lets such a text through.
inline constexpr char kIdTooLong[] = "Input ID > 7 bytes!";

// Hexadecimal mode: two digits 0-9, A-F, a-f per byte. Character mode: one byte
// per character, taken as it stands in the text.
IdCodeCheck CheckIdCode(std::string_view text, bool characterMode);

}  // namespace o8r
