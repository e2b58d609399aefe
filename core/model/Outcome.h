#pragma once

// How an operation on the box ended. Every ending of every operation has a
// name here; the texts the front ends show for them come from MessagesFor, so
// no front end decides anything from a text.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/model/Message.h"

namespace o8r {

// The operations of the box, as one call of the operations API each.
enum class Operation { Detect, Program, Verify, Erase, BlankCheck, Read, Load, Query, Update };

enum class Outcome {
    // Endings that are successes.
    Completed,           // the operation did all it was asked
    NormalMode,          // Detect: one box, running its normal firmware
    FirmwareUpdateMode,  // Detect: one box, running its firmware loader
    CheckAreaNotEmpty,   // Blank Check: `address` is the first byte not 0xFF
    StoreEmpty,          // Query: the box stores no image
    StoredName,          // Query: `storedName` names the image the box stores
    // Endings that are no failure of the box but end the operation.
    Cancelled,        // confirmed by the user; `percent` is what was done
    StoreKept,        // Load: the user kept the image the box stores
    FileNotChosen,    // no file was given
    ChoiceCancelled,  // the blocks or the range were not chosen: their dialog was cancelled
    NoMcuSelected,
    // Detection.
    NoProgrammer,
    MoreThanOneProgrammer,
    CanNotOpenProgrammer,
    NotInNormalMode,  // the box runs its firmware loader
    NotInUpdateMode,  // the box runs its normal firmware
    // The image file.
    FileTooLarge,
    FileRefused,  // `fileMessage` says why (the loader's own message)
    // The connect sequence and the command exchanges.
    ResetFailed,              // the box never came out of its reset
    LineSetupFailed,          // baud rate, line control or flow control refused
    TimeOut,                  // the box stayed busy past the allowance, or an answer came short
    ConnectionBroken,         // a write was refused or cut short
    CanNotConnectTarget,      // 'C' not answered with 'O'
    IdCodeError,              // 'U' answered with 'I'
    CanNotConnectProgrammer,  // the handshake's last answer neither 'O', 'I' nor 'T'
    VerifyError,              // a page's answer was not 'O'
    VerifyMismatch,           // the read-back differs at `address`
    EraseError,               // a block's answer was not 'O'
    ReadTimeOut,              // Read: a page did not come whole in time
    // The firmware loader.
    UpdateLineSetupFailed,
    UpdateTimeOut,
    UpdateCanNotConnect,
    UpdateIdCodeError,
    UpdateBlock0EraseError,
    UpdateBlock1EraseError,
    UpdateProgramError,
};

struct OperationResult {
    OperationResult() = default;
    OperationResult(Operation op, Outcome end) : operation(op), outcome(end) {}

    Operation operation = Operation::Detect;
    Outcome outcome = Outcome::Completed;
    // The reset that ended the operation found the box still busy: the box
    // asks to be reset by hand.
    bool resetFailed = false;
    int percent = 0;                     // Cancelled: the progress reached
    std::uint32_t address = 0;           // CheckAreaNotEmpty, VerifyMismatch
    std::uint8_t expected = 0;           // VerifyMismatch: the byte programmed
    std::uint8_t actual = 0;             // VerifyMismatch: the byte read back
    std::string storedName;              // StoredName
    std::optional<Message> fileMessage;  // FileRefused
    std::uint32_t rangeStart = 0;        // Read: the address of data[0]
    std::vector<std::uint8_t> data;      // Read: the bytes read, in address order

    [[nodiscard]] bool Succeeded() const;
};

// The messages that report a result, in the order they are shown. Empty for
// endings that show nothing (a query's answer, a file not chosen, a kept store).
[[nodiscard]] std::vector<Message> MessagesFor(const OperationResult& result);

// The message of one outcome of an operation (the reset request not included).
[[nodiscard]] std::optional<Message> MessageFor(const OperationResult& result);

// The question Load asks when the box already stores an image.
[[nodiscard]] Message StoredImageQuestion(const std::string& name);

// The question a cancel request asks while the operation runs.
[[nodiscard]] Message CancelQuestionFor(Operation operation);

// The stable name of an outcome, for scripts and logs ("Completed", "TimeOut").
[[nodiscard]] const char* OutcomeName(Outcome outcome);

}  // namespace o8r
