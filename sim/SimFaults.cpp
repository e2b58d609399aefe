#include "sim/SimFaults.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>

namespace o8r {

namespace {

struct FaultSpec {
    std::string_view name;
    std::string_view argument;  // empty: the fault takes none
    std::string_view help;
};

constexpr FaultSpec kFaults[] = {
    {"absent", "", "no box attached (the device count reads 0)"},
    {"two-boxes", "", "two boxes attached (the device count reads 2)"},
    {"unplug-after-calls", "N", "the box vanishes after N bridge calls"},
    {"unplug-at-page", "N", "the box vanishes as the Nth page command is sent"},
    {"cts-stuck", "", "CTS stays high: the box never reports ready"},
    {"wrong-answer", "N", "the Nth page command is answered with a wrong byte"},
    {"short-read", "", "reads of more than one byte return only half of it"},
    {"short-write", "", "writes of more than one byte deliver one byte fewer"},
    {"target-absent", "", "no target in the socket: connecting fails"},
    {"protected", "HEX", "a target locked with this 7-byte ID code (14 hex digits)"},
    {"update-mode", "", "the box boots into its firmware-update loader"},
    {"loader-erase-fail", "", "every block erase of the loader reports failure"},
    {"loader-program-fail", "", "every page program of the loader reports failure"},
};

std::optional<std::uint64_t> ParseCount(std::string_view text) {
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || value == 0) {
        return std::nullopt;
    }
    return value;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string ParseSimFault(std::string_view spec, SimOptions& options) {
    std::string_view name = spec;
    std::string_view argument;
    bool hasArgument = false;
    if (auto colon = spec.find(':'); colon != std::string_view::npos) {
        name = spec.substr(0, colon);
        argument = spec.substr(colon + 1);
        hasArgument = true;
    }
    const FaultSpec* fault = nullptr;
    for (const FaultSpec& f : kFaults) {
        if (f.name == name)
            fault = &f;
    }
    if (fault == nullptr) {
        return "unknown simulated-box fault '" + std::string(spec) + "'";
    }
    if (fault->argument.empty() && hasArgument) {
        return "the fault '" + std::string(name) + "' takes no value";
    }
    if (!fault->argument.empty() && !hasArgument) {
        return "the fault '" + std::string(name) + "' needs a value: " + std::string(name) + ":" +
               std::string(fault->argument);
    }

    SimFaults& faults = options.faults;
    if (fault->argument == "N") {
        std::optional<std::uint64_t> count = ParseCount(argument);
        bool narrow = name != "unplug-after-calls";
        if (!count || (narrow && *count > std::numeric_limits<std::uint32_t>::max())) {
            return "the fault '" + std::string(name) + "' needs a whole number from 1, not '" +
                   std::string(argument) + "'";
        }
        if (name == "unplug-after-calls") {
            faults.unplugAfterCalls = *count;
        } else if (name == "unplug-at-page") {
            faults.unplugAtPage = static_cast<std::uint32_t>(*count);
        } else {
            faults.wrongAnswerAtPage = static_cast<std::uint32_t>(*count);
        }
        return {};
    }
    if (name == "protected") {
        std::array<std::uint8_t, 7> code{};
        bool good = argument.size() == 14;
        for (std::size_t i = 0; good && i < code.size(); ++i) {
            int high = HexDigit(argument[2 * i]);
            int low = HexDigit(argument[2 * i + 1]);
            if (high < 0 || low < 0)
                good = false;
            code[i] = static_cast<std::uint8_t>((high << 4) | (low & 0x0F));
        }
        if (!good) {
            return "the fault 'protected' needs 14 hexadecimal digits (7 bytes), not '" +
                   std::string(argument) + "'";
        }
        faults.protectedCode = code;
        return {};
    }
    if (name == "absent")
        faults.deviceCount = 0;
    if (name == "two-boxes")
        faults.deviceCount = 2;
    if (name == "cts-stuck")
        faults.ctsStuckHigh = true;
    if (name == "short-read")
        faults.shortRead = true;
    if (name == "short-write")
        faults.shortWrite = true;
    if (name == "target-absent")
        faults.targetAbsent = true;
    if (name == "update-mode")
        options.updateMode = true;
    if (name == "loader-erase-fail")
        faults.loaderEraseFail = true;
    if (name == "loader-program-fail")
        faults.loaderProgramFail = true;
    return {};
}

std::string SimFaultHelp() {
    std::string text;
    for (const FaultSpec& f : kFaults) {
        std::string left = "  " + std::string(f.name);
        if (!f.argument.empty())
            left += ":" + std::string(f.argument);
        if (left.size() < 26)
            left.resize(26, ' ');
        text += left + " " + std::string(f.help) + "\n";
    }
    return text;
}

}  // namespace o8r
