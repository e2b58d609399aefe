#pragma once

// The box's two protocols as the PC speaks them: the command protocol of the
// box's normal mode (500000 baud, CTS high while the box works) and the boot
// loader protocol of its firmware-update mode (19200 baud, readiness shown by
// received bytes). Every byte, frame, speed and allowance the operations use
// is named here once.

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>

#include "core/protocol/Bridge.h"  // the line control word and the modem status bits

namespace o8r {

// Little-endian 16-bit values, as every page number and count goes on the wire.
constexpr std::uint8_t LowByte(std::uint16_t value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}
constexpr std::uint8_t HighByte(std::uint16_t value) {
    return static_cast<std::uint8_t>(value >> 8);
}
constexpr std::uint16_t Le16(std::uint8_t low, std::uint8_t high) {
    return static_cast<std::uint16_t>(low | (high << 8));
}

// Pages and page records.
constexpr std::size_t kPageSize = 256;
constexpr std::size_t kPageRecordSize = 260;  // page number, checksum, 256 data bytes
constexpr std::size_t kPageRecordDataOffset = 4;
constexpr std::size_t kMaxPageRecords = 512;

// A page record as sent to the box: page number (LE16), PageChecksum (LE16), 256 data bytes.
using PageRecord = std::array<std::uint8_t, kPageRecordSize>;

constexpr std::uint16_t PageRecordNumber(const PageRecord& r) {
    return Le16(r[0], r[1]);
}
constexpr std::uint16_t PageRecordChecksum(const PageRecord& r) {
    return Le16(r[2], r[3]);
}

// Line set-up.
constexpr std::uint32_t kNormalBaud = 500000;
constexpr std::uint32_t kLoaderBaud = 19200;
constexpr std::uint32_t kLinkTimeoutMs = 1000;

// Commands of the normal mode.
namespace cmd {
constexpr std::uint8_t kConnectTarget = 'C';
constexpr std::uint8_t kUnlock = 'U';       // followed by the 7-byte ID code
constexpr std::uint8_t kProgramPage = 'V';  // followed by a page record
constexpr std::uint8_t kEraseBlock = 'E';   // followed by the block's page number
constexpr std::uint8_t kReadPage = 'R';     // followed by the page number
constexpr std::uint8_t kStoreImage = 'D';   // Load header: page count, ID code, name, 0
constexpr std::uint8_t kQueryStore = '?';   // answered by the stored name
}  // namespace cmd

// One-byte answers of the normal mode.
namespace answer {
constexpr std::uint8_t kOk = 'O';
constexpr std::uint8_t kIdRefused = 'I';
constexpr std::uint8_t kTargetTimeOut = 'T';
}  // namespace answer

// A command byte and a page number: 'E', 'R'.
constexpr std::array<std::uint8_t, 3> PageCommand(std::uint8_t command, std::uint16_t page) {
    return {command, LowByte(page), HighByte(page)};
}

// The Load header's first three bytes: 'D' and the record count.
constexpr std::array<std::uint8_t, 3> StoreHeader(std::uint16_t pageCount) {
    return PageCommand(cmd::kStoreImage, pageCount);
}
constexpr std::size_t kStoredNameSize = 16;  // the name field of the Load header and of '?'
constexpr std::uint8_t kStoreHeaderEnd = 0x00;
constexpr std::size_t kIdCodeSize = 7;
// The seven ID-code bytes the connect handshake sends; all 0xFF is the erased code.
using IdCode = std::array<std::uint8_t, kIdCodeSize>;
[[nodiscard]] constexpr IdCode ErasedIdCode() {
    IdCode code{};
    for (auto& byte : code)
        byte = 0xFF;
    return code;
}

// Allowances for an answer, in ticks of the operation timer; a tick allowance
// of N ticks is N x 15.625 ms of elapsed time.
constexpr std::chrono::nanoseconds kTick = std::chrono::nanoseconds{15'625'000};
constexpr std::int32_t kProgramPageTicks = 100;
constexpr std::int32_t kEraseBlockTicks = 200;
constexpr std::int32_t kReadPageTicks = 50;  // Read, Blank Check and the verify read-back
constexpr std::int32_t kStoreRecordTicks = 50;
constexpr std::chrono::nanoseconds TickAllowance(std::int32_t ticks) {
    return kTick * ticks;
}

// The waits of the connect sequence and of the reset, as loop counts of
// nanoseconds (a readiness poll lasts at least 1 ms whatever it asks for).
constexpr std::chrono::nanoseconds kResetHold = std::chrono::milliseconds{10};
constexpr std::chrono::nanoseconds kResetPoll = std::chrono::nanoseconds{500};
constexpr int kResetPolls = 1000;
constexpr std::chrono::nanoseconds kDetectResetHold = std::chrono::milliseconds{1};
constexpr std::chrono::nanoseconds kDetectStartUp = std::chrono::milliseconds{50};
constexpr std::chrono::nanoseconds kBeforeCommand = std::chrono::microseconds{10};
constexpr std::chrono::nanoseconds kAfterCommand = std::chrono::microseconds{100};
constexpr std::chrono::nanoseconds kReadyPoll = std::chrono::nanoseconds{200};
constexpr std::chrono::nanoseconds kLoaderReadyPoll = std::chrono::microseconds{2};
constexpr int kLineReadyPolls = 100;
constexpr int kAnswerReadyPolls = 2000;
// How often the line is looked at while waiting on an answer through a bridge
// that cannot wait on the line itself.
constexpr std::chrono::nanoseconds kAnswerLook = std::chrono::microseconds{100};
constexpr std::chrono::nanoseconds kReadEndPulse =
    std::chrono::microseconds{10};  // DTR pulse that ends a read

// The boot loader of the box's own MCU (firmware-update mode): one byte per
// write, two status bytes per status read.
namespace loader {
constexpr std::uint8_t kSync = 0x00;
constexpr int kSyncCount = 16;
constexpr std::uint8_t kBaudCheck = 0xB0;
constexpr std::uint8_t kReadStatus = 0x70;
constexpr std::uint8_t kBlockErase = 0x20;
constexpr std::uint8_t kEraseConfirm = 0xD0;
constexpr std::uint8_t kPageProgram = 0x41;
// ID check: address 0x0FFFDF (low, middle, high), length 7, then the ID code
// of an erased loader, seven bytes of 0xFF.
constexpr std::array<std::uint8_t, 12> kIdCheck = {0xF5, 0xDF, 0xFF, 0x0F, 0x07, 0xFF,
                                                   0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
// Address bits 8-15 of the two blocks; bits 16-23 are 0xFF for both.
constexpr std::uint8_t kBlock0Middle = 0xF0;
constexpr std::uint8_t kBlock1Middle = 0xE0;
constexpr std::uint8_t kBlockHigh = 0xFF;

// First status byte.
constexpr std::uint8_t kStatusReady = 0x80;
constexpr std::uint8_t kStatusEraseFailed = 0x20;
constexpr std::uint8_t kStatusProgramFailed = 0x10;
// Second status byte: both bits set when the ID check was accepted.
constexpr std::uint8_t kStatusIdAccepted = 0x0C;

constexpr std::chrono::nanoseconds kAfterSync = std::chrono::milliseconds{2};
constexpr std::chrono::nanoseconds kBeforeIdCheck = std::chrono::milliseconds{1};
constexpr std::chrono::nanoseconds kBetweenBytes = std::chrono::microseconds{1};
constexpr std::chrono::nanoseconds kBeforeIdStatus = std::chrono::microseconds{200};
constexpr std::chrono::nanoseconds kEraseWait =
    std::chrono::milliseconds{50};  // before the flush and again after 0x70
constexpr std::chrono::nanoseconds kProgramWait = std::chrono::milliseconds{10};
constexpr int kShortWaitPolls = 1000;
constexpr int kEraseWaitPolls = 2000;
}  // namespace loader

}  // namespace o8r
