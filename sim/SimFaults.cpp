#include "sim/SimFaults.h"

#include <array>
#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

namespace o8r {

namespace {

struct FaultSpec {
    std::string_view name;
    std::string_view argument;  // empty: the fault takes none
    std::string_view help;
    bool argumentOptional = false;
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
    {"loader-erase-fail", "BLOCK",
     "the loader's erase of block 0 or 1 reports failure; without :BLOCK every erase does", true},
    {"loader-program-fail", "", "every page program of the loader reports failure"},
    {"busy-at-page", "N:MS", "the Nth page command keeps CTS high MS milliseconds longer"},
    {"answer", "STEP:HEX",
     "the first answer of STEP is the byte HEX; STEP is connect ('C'), handshake ('U'), "
     "header ('D'), page ('V' or a Load record) or erase ('E')"},
    {"busy-at", "STEP:MS",
     "CTS stays high MS milliseconds at the first STEP: setup (the line set-up), connect, "
     "handshake, header or query ('?')"},
    {"baud-fails", "", "setting the baud rate fails"},
    {"write-fails-at", "N", "the Nth write delivers nothing and reports 0 bytes written"},
    {"loader-echo", "HEX|none", "the loader echoes this byte for 0xB0, or nothing"},
    {"loader-mute", "N", "from the Nth status read (0x70) on the loader answers nothing"},
    {"loader-locked", "", "the loader holds an ID code other than the erased one"},
    {"loader-not-ready", "erase|page",
     "the loader's first block erase or page program is still busy when its status is read"},
    {"count-sequence", "N,N,...",
     "the device count reads these numbers at the first polls, the last one from then on"},
};

// One byte in one or two hexadecimal digits.
std::optional<std::uint8_t> ParseByte(std::string_view text) {
    unsigned value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (text.empty() || text.size() > 2 || error != std::errc{} ||
        end != text.data() + text.size()) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(value);
}

// A number from 0 up to `limit`.
std::optional<std::uint64_t> ParseNumber(std::string_view text, std::uint64_t limit) {
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || value > limit) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::uint64_t> ParseCount(std::string_view text) {
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || value == 0) {
        return std::nullopt;
    }
    return value;
}

// A duration in whole milliseconds, as nanoseconds.
std::optional<std::uint64_t> ParseMilliseconds(std::string_view text) {
    const auto ms = ParseNumber(text, 3'600'000);
    return ms ? std::optional<std::uint64_t>(*ms * kSimMs) : std::nullopt;
}

// "STEP:VALUE" with STEP one of `steps`; nothing when either part is wrong.
template <typename Step, std::size_t N, typename Value>
std::optional<std::pair<Step, Value>> StepValue(std::string_view argument,
                                                const std::pair<std::string_view, Step> (&steps)[N],
                                                std::optional<Value> (*parse)(std::string_view)) {
    const auto colon = argument.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    const auto value = parse(argument.substr(colon + 1));
    for (const auto& [name, step] : steps) {
        if (value && argument.substr(0, colon) == name)
            return std::make_pair(step, *value);
    }
    return std::nullopt;
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
    if (!fault->argument.empty() && !hasArgument && !fault->argumentOptional) {
        return "the fault '" + std::string(name) + "' needs a value: " + std::string(name) + ":" +
               std::string(fault->argument);
    }

    SimFaults& faults = options.faults;
    const std::string bad = "the fault '" + std::string(name) + "' needs " + std::string(name) +
                            ":" + std::string(fault->argument) + ", not '" + std::string(spec) +
                            "'";
    if (name == "loader-erase-fail") {
        if (!hasArgument) {
            faults.loaderEraseFail = true;
            return {};
        }
        if (argument != "0" && argument != "1")
            return bad + " (BLOCK is 0 or 1)";
        faults.loaderEraseFailBlock = argument == "0" ? 0 : 1;
        return {};
    }
    if (name == "busy-at-page") {
        const auto colon = argument.find(':');
        const auto page = ParseCount(argument.substr(0, colon));
        const auto extra = colon == std::string_view::npos
                               ? std::nullopt
                               : ParseMilliseconds(argument.substr(colon + 1));
        if (!page || *page > std::numeric_limits<std::uint32_t>::max() || !extra)
            return bad;
        faults.busyAtPage = static_cast<std::uint32_t>(*page);
        faults.busyExtraNs = *extra;
        return {};
    }
    if (name == "answer") {
        constexpr std::pair<std::string_view, SimAnswerStep> kSteps[] = {
            {"connect", SimAnswerStep::Connect},
            {"handshake", SimAnswerStep::Handshake},
            {"header", SimAnswerStep::Header},
            {"page", SimAnswerStep::Page},
            {"erase", SimAnswerStep::Erase}};
        const auto step = StepValue(argument, kSteps, ParseByte);
        if (!step)
            return bad;
        faults.answer = *step;
        return {};
    }
    if (name == "busy-at") {
        constexpr std::pair<std::string_view, SimBusyStep> kSteps[] = {
            {"setup", SimBusyStep::Setup},
            {"connect", SimBusyStep::Connect},
            {"handshake", SimBusyStep::Handshake},
            {"header", SimBusyStep::Header},
            {"query", SimBusyStep::Query}};
        const auto step = StepValue(argument, kSteps, ParseMilliseconds);
        if (!step)
            return bad;
        faults.busyAt = *step;
        return {};
    }
    if (name == "loader-echo" && argument == "none") {
        faults.loaderNoEcho = true;
        return {};
    }
    if (name == "loader-echo") {
        const auto byte = ParseByte(argument);
        if (!byte)
            return bad;
        faults.loaderEcho = *byte;
        return {};
    }
    if (name == "loader-not-ready") {
        if (argument == "erase") {
            faults.loaderEraseNotReady = true;
        } else if (argument == "page") {
            faults.loaderProgramNotReady = true;
        } else {
            return bad;
        }
        return {};
    }
    if (name == "count-sequence") {
        std::vector<std::uint32_t> counts;
        std::string_view rest = argument;
        for (;;) {
            const auto comma = rest.find(',');
            const auto count = ParseNumber(rest.substr(0, comma), 255);
            if (!count)
                return bad;
            counts.push_back(static_cast<std::uint32_t>(*count));
            if (comma == std::string_view::npos)
                break;
            rest = rest.substr(comma + 1);
        }
        faults.countSequence = std::move(counts);
        return {};
    }
    if (fault->argument == "N") {
        std::optional<std::uint64_t> count = ParseCount(argument);
        bool narrow = name != "unplug-after-calls";
        if (!count || (narrow && *count > std::numeric_limits<std::uint32_t>::max())) {
            return "the fault '" + std::string(name) + "' needs a whole number from 1, not '" +
                   std::string(argument) + "'";
        }
        if (name == "unplug-after-calls") {
            faults.unplugAfterCalls = *count;
        } else if (name == "write-fails-at") {
            faults.writeFailsAt = static_cast<std::uint32_t>(*count);
        } else if (name == "loader-mute") {
            faults.loaderMuteAt = static_cast<std::uint32_t>(*count);
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
    if (name == "baud-fails")
        faults.baudFails = true;
    if (name == "loader-locked")
        faults.loaderLocked = true;
    if (name == "loader-program-fail")
        faults.loaderProgramFail = true;
    return {};
}

std::string SimFaultHelp() {
    // Names in a column of 26, texts wrapped to 80 columns beside them.
    constexpr std::size_t kColumn = 27;
    constexpr std::size_t kWidth = 80;
    std::string text;
    for (const FaultSpec& f : kFaults) {
        std::string line = "  " + std::string(f.name);
        if (!f.argument.empty())
            line += (f.argumentOptional ? "[:" : ":") + std::string(f.argument) +
                    (f.argumentOptional ? "]" : "");
        if (line.size() >= kColumn) {
            text += line + "\n";
            line.clear();
        } else {
            line.resize(kColumn, ' ');
        }
        std::string_view rest = f.help;
        while (!rest.empty()) {
            if (line.empty())
                line.assign(kColumn, ' ');
            std::size_t take = rest.size();
            if (line.size() + take > kWidth) {
                take = rest.rfind(' ', kWidth - line.size());
                if (take == std::string_view::npos || take == 0)
                    take = std::min(rest.find(' '), rest.size());
            }
            line += rest.substr(0, take);
            text += line + "\n";
            line.clear();
            rest = rest.substr(std::min(rest.size(), take + 1));
        }
    }
    return text;
}

}  // namespace o8r
