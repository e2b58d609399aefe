#pragma once

// What a simulated box is built from: the target's flash layout, how long its
// work takes, and the faults it is told to show.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace o8r {

struct McuRecord;

constexpr std::uint64_t kSimMs = 1'000'000;  // nanoseconds

// One erase block of the target's flash: [start, start + size).
struct FlashBlock {
    std::uint32_t start = 0;
    std::uint32_t size = 0;

    friend bool operator==(const FlashBlock&, const FlashBlock&) = default;
};

// How long the box takes for each piece of work, in nanoseconds. The wire
// time of every byte (10 bits at the line's baud rate) comes on top.
struct SimTimings {
    std::uint64_t bootNs = 20 * kSimMs;          // from reset released to ready
    std::uint64_t commandNs = 1 * kSimMs;        // 'C', 'U', 'D' header, '?'
    std::uint64_t pageProgramNs = 8 * kSimMs;    // 'V': program and verify one page
    std::uint64_t blockEraseNs = 150 * kSimMs;   // 'E'
    std::uint64_t pageReadNs = 2 * kSimMs;       // 'R'
    std::uint64_t storeRecordNs = 2 * kSimMs;    // one record into the box's store
    std::uint64_t loaderEraseNs = 25 * kSimMs;   // loader 0x20
    std::uint64_t loaderProgramNs = 5 * kSimMs;  // loader 0x41
};

// Three sets of timings. Typical is the default. Slow puts every piece of
// work just inside what the PC allows for it (about 90 %), so that a PC with
// shorter allowances fails against it; fast makes every piece of work as
// short as a box could be.
enum class SimTimingProfile { Fast, Typical, Slow };
SimTimings TimingsFor(SimTimingProfile profile);
// "fast", "typical" or "slow".
std::optional<SimTimingProfile> ParseTimingProfile(std::string_view text);

// The steps whose answer byte the `answer` fault replaces (the first time
// each is answered).
enum class SimAnswerStep { Connect, Handshake, Header, Page, Erase };
// The moments at which the `busy-at` fault keeps CTS high: after the line
// set-up (RTS raised), or the first time the step is worked on.
enum class SimBusyStep { Setup, Connect, Handshake, Header, Query };

// Fault switches. Zero counts mean "never".
struct SimFaults {
    std::uint32_t deviceCount = 1;       // 0: no box attached; 2: two boxes
    std::uint64_t unplugAfterCalls = 0;  // bridge calls that still work before the box vanishes
    std::uint32_t unplugAtPage = 0;      // the box vanishes as the Nth page command is written
    bool ctsStuckHigh = false;
    std::uint32_t wrongAnswerAtPage = 0;  // the Nth page command answers another byte
    bool shortRead = false;               // reads of more than one byte return half of it
    bool shortWrite = false;              // writes of more than one byte deliver one byte fewer
    bool targetAbsent = false;            // no target in the socket: 'C' answers 'T'
    // A new target already locked with this ID code.
    std::optional<std::array<std::uint8_t, 7>> protectedCode;
    bool loaderEraseFail = false;    // every loader block erase reports failure
    bool loaderProgramFail = false;  // every loader page program reports failure

    // The Nth page command keeps the box busy (CTS high) this much longer.
    std::uint32_t busyAtPage = 0;
    std::uint64_t busyExtraNs = 0;
    // CTS stays high this long at the first such moment.
    std::optional<std::pair<SimBusyStep, std::uint64_t>> busyAt;
    // Setting the baud rate fails.
    bool baudFails = false;
    // The Nth write call delivers nothing and reports 0 bytes written.
    std::uint32_t writeFailsAt = 0;
    // The first answer of a step is this byte instead.
    std::optional<std::pair<SimAnswerStep, std::uint8_t>> answer;
    // The loader echoes this byte for 0xB0, or nothing when `loaderNoEcho`.
    std::optional<std::uint8_t> loaderEcho;
    bool loaderNoEcho = false;
    // From the Nth status read (0x70) on, the loader answers nothing.
    std::uint32_t loaderMuteAt = 0;
    // The loader's memory holds an ID code other than the erased one.
    bool loaderLocked = false;
    // The first loader erase or page program stays busy far past any wait.
    bool loaderEraseNotReady = false;
    bool loaderProgramNotReady = false;
    // The erase of this loader block (0 at 0xFF000, 1 at 0xFE000) fails.
    std::optional<int> loaderEraseFailBlock;
    // Successive device counts read by the PC; the last one stays.
    std::vector<std::uint32_t> countSequence;
};

struct SimOptions {
    // The target's flash blocks; empty means DefaultFlashBlocks().
    std::vector<FlashBlock> blocks;
    SimTimings timings;
    // No command time and no wire time at all (for benches).
    bool instant = false;
    // The box boots into its firmware-update loader instead of its firmware.
    bool updateMode = false;
    SimFaults faults;
};

// The layout of the largest catalogue part, R5F212BCSN: two 1 KB data-flash
// blocks at 0x2400 and 0x2800 and 128 KB of program ROM from 0x4000.
std::vector<FlashBlock> DefaultFlashBlocks();

// The flash blocks of a catalogue record (sizes read like "16K" or " 1K").
// Entries with an unreadable size or start, unaligned, overlapping or beyond
// 1 MB are left out.
std::vector<FlashBlock> FlashBlocksForPart(const McuRecord& record);

}  // namespace o8r
