#pragma once

// The link to the box without any window: the modem lines, the reset, the
// line set-up, the readiness waits, the connect handshakes and the framed
// exchanges of the command protocol. The main window's controller and the
// operations API both speak to the box through it; it shows nothing and
// decides nothing but what the bytes say.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "core/model/Outcome.h"
#include "core/protocol/BoxProtocol.h"
#include "core/protocol/Bridge.h"
#include "core/protocol/Clock.h"

namespace o8r {

// Which handshake a connect ends with: 'C' and 'U' reach the target; 'D'
// opens the box's own store for a Load.
enum class Handshake { Target, Store };

// What a Load's 'D' header carries besides the ID code.
struct StoreHeaderFields {
    std::uint16_t pageCount = 0;
    std::string nameField;  // 16 characters
};

// The box's answer to '?': what Load asks before it stores an image.
struct StoreQuery {
    Outcome outcome = Outcome::Completed;   // a failure of the exchange, else Completed
    bool resetAfter = false;                // the failure ends with a reset of the box
    std::optional<std::string> storedName;  // nothing: the store is empty
};

// A handshake's ending: Completed, or a failure and whether it ends with a reset.
struct HandshakeResult {
    Outcome outcome = Outcome::Completed;
    bool resetAfter = false;
};

class BoxLink {
  public:
    BoxLink(Bridge& bridge, Clock& clock) : m_bridge(bridge), m_clock(clock) {}

    Bridge& GetBridge() { return m_bridge; }
    Clock& GetClock() { return m_clock; }
    // The box's handle while it is open (0 otherwise): each link holds its own.
    [[nodiscard]] bool IsOpen() const { return m_handle != 0; }
    [[nodiscard]] std::uint32_t Handle() const { return m_handle; }

    // The modem lines. DTR is the box's reset line; RTS on tells it the PC
    // listens. A failed call is left to the next status query to notice.
    void HoldReset();     // DTR active, RTS off
    void ReleaseReset();  // both lines inactive
    // A failed modem-status query reads as busy (CTS high).
    [[nodiscard]] std::uint8_t ModemStatus();
    [[nodiscard]] bool Busy() { return (ModemStatus() & kModemCts) != 0; }
    void Flush();

    // The reset that starts and ends every operation: DTR pulse, then up to
    // 1000 polls for CTS low. False when the box stays busy.
    [[nodiscard]] bool Reset();
    // The second half of Reset, once DTR is held: the pulse's length, the
    // release, and the polls for the box's start.
    [[nodiscard]] bool FinishReset();
    // Baud rate, 8N1 and RTS on (the reset released).
    [[nodiscard]] bool ConfigureLine(std::uint32_t baud);
    // Waits for the box's readiness: CTS low in normal mode; in the firmware
    // loader (which does not drive CTS) received bytes.
    [[nodiscard]] bool WaitReady(int maxPolls, bool loaderMode = false);
    // Whether the answer is ready now: CTS low, or bytes received.
    [[nodiscard]] bool AnswerReady(AnswerSignal signal);
    // Waits on the answer itself until it is ready or the clock reaches
    // `until`, and tells whether it is ready. The line is looked at before
    // and after each wait; a bridge that cannot wait is looked at again
    // after each short sleep (kAnswerLook).
    [[nodiscard]] bool AwaitAnswer(AnswerSignal signal, std::uint64_t until);

    // The connect sequence after the reset: line set-up, readiness, and the
    // handshake with the ID code; Completed when the box answered 'O'.
    [[nodiscard]] HandshakeResult Connect(Handshake kind, const IdCode& idCode,
                                          const StoreHeaderFields& store = {});
    // Load's first exchange: '?' and the 16-byte name of the stored image.
    [[nodiscard]] StoreQuery QueryStore();

    // Writes; false when the bridge refused or took fewer bytes.
    [[nodiscard]] bool Write(std::span<const std::uint8_t> bytes);
    // A framed command: 'V' + record, a record alone, 'E'/'R' + page.
    [[nodiscard]] bool SendPageRecord(const PageRecord& record, bool withCommandByte);
    [[nodiscard]] bool SendPageCommand(std::uint8_t command, std::uint16_t page);
    // One answer byte; nothing when none came.
    [[nodiscard]] std::optional<std::uint8_t> ReadAnswer();
    // Exactly `buffer.size()` bytes, or false.
    [[nodiscard]] bool ReadExactly(std::span<std::uint8_t> buffer);

    // The device count as the bridge reports it (0 when the call fails).
    [[nodiscard]] std::uint32_t DeviceCount();
    // Opens device 0 after closing any handle still open; false when it will not open.
    [[nodiscard]] bool OpenFirstDevice();
    // Starts the box just opened: a short reset pulse, its start-up time,
    // flush, and whether it came up in its firmware loader (CTS still high).
    [[nodiscard]] bool StartOpenedBox();
    // Holds the box in reset and closes it.
    void Release();
    // Closes the handle (the box was unplugged); it stays open if the close fails.
    void CloseHandle();

  private:
    void SetFlow(std::uint8_t rts, std::uint8_t dtr);

    Bridge& m_bridge;
    Clock& m_clock;
    std::uint32_t m_handle = 0;
};

// The 16-byte name field of the Load header for a file path: the file name
// (after the last '/' or '\\') without its last four characters, cut to 16
// and filled up with spaces.
[[nodiscard]] std::string LoadNameField(const std::string& path);

// The name in the box's answer to '?', or nothing when the store is empty
// (or the answer came short or is no name).
[[nodiscard]] std::optional<std::string> StoredFileName(std::span<const std::uint8_t> answer);

}  // namespace o8r
