#include "core/catalogue/IdCodeRules.h"

#include <algorithm>

#include "core/model/HexText.h"
#include "core/protocol/BoxProtocol.h"

namespace o8r {

namespace {

bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

std::array<std::uint8_t, kIdCodeBytes> Erased() {
    std::array<std::uint8_t, kIdCodeBytes> code;
    code.fill(0xFF);
    return code;
}

}  // namespace

IdCodeCheck CheckIdCode(std::string_view text, bool characterMode) {
    IdCodeCheck check{IdCodeOutcome::Store, Erased()};
    const std::size_t n = text.size();
    if (n == 0) {
        check.outcome = IdCodeOutcome::EmptyText;
        return check;
    }

    if (characterMode) {
        if (n > kIdCodeBytes) {
            check.outcome = IdCodeOutcome::TooLong;
            return check;
        }
        for (std::size_t k = 0; k < n; ++k) {
            check.code[kIdCodeBytes - 1 - k] = static_cast<std::uint8_t>(text[n - 1 - k]);
        }
        if (n != kIdCodeBytes)
            check.outcome = IdCodeOutcome::FillQuestion;
        return check;
    }

    // Checked character by character, so that the digit pairs below always parse.
    if (!std::all_of(text.begin(), text.end(), IsHexDigit)) {
        check.outcome = IdCodeOutcome::BadHex;
        return check;
    }
    if (n % 2 != 0) {
        check.outcome = IdCodeOutcome::OddDigits;
        return check;
    }
    if (n > kIdCodeHexDigits) {
        check.outcome = IdCodeOutcome::TooLong;
        return check;
    }
    for (std::size_t j = 0; j < n / 2; ++j) {
        check.code[kIdCodeBytes - 1 - j] =
            static_cast<std::uint8_t>(ParseHex(text.substr(n - 2 - 2 * j, 2)).value_or(0xFF));
    }
    if (n != kIdCodeHexDigits)
        check.outcome = IdCodeOutcome::FillQuestion;
    return check;
}

}  // namespace o8r
