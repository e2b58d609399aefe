#pragma once

// The programmer box in process. It implements Bridge and behaves like the
// hardware: DTR holds it in reset, CTS is high while it boots or works on a
// command, answers follow the box's protocol byte for byte, the target's flash
// only clears bits and is erased by block, and a firmware-update loader speaks
// the 0xB0/0xF5/0x70/0x20/0x41 command set over the box's own 8 KB.
//
// Time comes from the shared Clock: every command takes its configured time
// plus the wire time of its bytes (10 bits each at the line's baud rate). With
// a VirtualClock the time passes as the code under test sleeps; with a
// RealClock it is real. A Read that has to wait sleeps on the clock until the
// answer is there or the read time-out has run out.
//
// Normal mode (after boot CTS drops). Commands and answers:
//   'C'                  'O'; 'T' when no target is in the socket
//   'U' + 7 ID bytes     'O'; 'I' when the target is locked and the code
//                        differs; 'T' when the target no longer answers;
//                        'N' before a successful 'C'
//   'D' + count (LE16) + 7 ID + 16 name + 0x00
//                        'O', then `count` 260-byte records follow with no
//                        command byte, each answered 'O' (stored) or 'S'
//                        (checksum wrong, not stored). 'N' when the header
//                        does not end in 0x00 or asks for more than 4096
//                        records; no records are expected then.
//   '?'                  the stored 16-byte name field; sixteen 0xFF when
//                        the store is empty
//   'V' + 260-byte record
//                        'O'; 'S' checksum wrong; 'F' a bit would have to go
//                        from 0 to 1 (the page is still ANDed) or the page is
//                        not flash
//   'E' + page (LE16)    'O'; 'F' when no block starts at that page
//   'R' + page (LE16)    the 256 bytes of the page (a pattern outside the flash)
//   any other byte       'N'
// 'V', 'E' and 'R' need the target connected and unlocked ('C' then 'U'
// answered 'O' since the last reset): before that 'V' and 'E' answer 'N' and
// 'R' answers nothing at all, so a caller's read runs into its time-out and
// can never take a refusal for erased flash. '?' and 'D' work at any time.
//
// Line settings: the firmware listens at 500000 baud, the loader at 19200,
// both 8N1 (line control 0x0800). Bytes written at other settings, while the
// box is in reset or still booting, are lost, as on a real UART.
//
// Update mode (SimOptions::updateMode): CTS stays high after reset and the
// loader answers by received bytes: 0x00 (no answer), 0xB0 (echo), 0xF5 +
// 3 address bytes + length + code (no answer), 0x70 (two status bytes),
// 0x50 (clear status), 0x20 + middle + high + 0xD0 (erase), 0x41 + bits 8-15 +
// bits 16-23 + 256 bytes (program). Commands run one after another, so a 0x70
// sent during an erase is answered at once, with the ready bit clear.
//
// Strictness. The box takes only what the hardware would take, and every
// broken rule is recorded as a violation (Violations(), and through
// ViolationSource into a trace):
// - a byte written while DTR holds the box in reset, while it starts up, at
//   the wrong line settings or with RTS inactive is lost;
// - a command (or Load record) whose first byte arrives while the box is busy
//   (CTS high) is lost, so two commands back to back get one answer;
// - 'D' inside a target session (after 'C') gets no answer; 'U' before 'C',
//   and 'V', 'E', 'R' before the target is unlocked, are refused as above;
// - the loader ignores everything until it has seen sixteen 0x00 and 0xB0;
//   it answers 0x70 at once, with the ready bit clear while an erase or a
//   page program is under way, and ignores other commands meanwhile.
// Reads outside the target's flash return a pattern that never looks erased
// (0x50-0x5F), as unmapped memory would; that is no violation.
//
// Writes take the wire time of their bytes: a write returns when its last
// byte has reached the box.
//
// Handles: one device, one valid handle at a time. A second Open of device 0
// closes the earlier handle first (nothing leaks; the old handle then fails
// with kBridgeInvalidHandle). Close releases DTR and RTS, like a bridge
// whose port is closed, so the box boots.
//
// Page commands, counted for the page faults: 'V', 'E', 'R', store records,
// loader 0x20 and 0x41. A wrong answer replaces the status byte of 'V', 'E'
// or a record by 'X' (the command still takes effect) and inverts the first
// data byte of an 'R' answer; loader commands only count for the unplug.

#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "core/protocol/Bridge.h"
#include "core/protocol/Clock.h"
#include "core/protocol/ViolationSource.h"
#include "sim/SimLoader.h"
#include "sim/SimOptions.h"
#include "sim/SimStore.h"
#include "sim/SimTarget.h"

namespace o8r {

class SimulatedBox final : public Bridge, public ViolationSource {
  public:
    static constexpr std::uint8_t kAnswerOk = 'O';
    static constexpr std::uint8_t kAnswerIdRefused = 'I';
    static constexpr std::uint8_t kAnswerTargetTimeout = 'T';
    static constexpr std::uint8_t kAnswerRefused = 'N';
    static constexpr std::uint8_t kAnswerBadChecksum = 'S';
    static constexpr std::uint8_t kAnswerFailed = 'F';
    static constexpr std::uint8_t kAnswerWrong = 'X';
    static constexpr std::uint32_t kNormalBaud = 500000;
    static constexpr std::uint32_t kLoaderBaud = 19200;
    static constexpr std::uint32_t kDefaultTimeoutMs = 1000;

    // The box is plugged in (and has booted) at the clock's present time.
    explicit SimulatedBox(Clock& clock, SimOptions options = {});

    // Bridge.
    BridgeStatus GetDeviceCount(std::uint32_t& count) override;
    BridgeStatus Open(std::uint32_t deviceIndex, DeviceHandle& handle) override;
    BridgeStatus Close(DeviceHandle handle) override;
    BridgeStatus Read(DeviceHandle handle, std::uint8_t* buffer, std::uint32_t wanted,
                      std::uint32_t& got) override;
    BridgeStatus Write(DeviceHandle handle, const std::uint8_t* buffer, std::uint32_t count,
                       std::uint32_t& written) override;
    BridgeStatus FlushBuffers(DeviceHandle handle, std::uint8_t flushTransmit,
                              std::uint8_t flushReceive) override;
    BridgeStatus SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) override;
    BridgeStatus CheckRxQueue(DeviceHandle handle, std::uint32_t& bytesQueued,
                              std::uint32_t& queueStatus) override;
    BridgeStatus SetBaudRate(DeviceHandle handle, std::uint32_t baud) override;
    BridgeStatus SetLineControl(DeviceHandle handle, std::uint16_t lineControl) override;
    BridgeStatus SetFlowControl(DeviceHandle handle, std::uint8_t ctsMask, std::uint8_t rtsMask,
                                std::uint8_t dtrMask, std::uint8_t dsrMask, std::uint8_t dcdMask,
                                bool xonXoff) override;
    BridgeStatus GetModemStatus(DeviceHandle handle, std::uint8_t& status) override;
    // Sleeps on the clock from one moment the box finishes something to the
    // next, until the answer is ready or the wait is over: never a moment late.
    BridgeStatus WaitForAnswer(DeviceHandle handle, AnswerSignal signal,
                               std::uint64_t maxWaitNs) override;

    // Plugging: Plug(n) attaches n boxes (a box that was gone boots afresh);
    // Unplug() makes every later call fail and the count read 0.
    void Plug(std::uint32_t count = 1);
    void Unplug();
    bool IsUnplugged() const { return m_unplugged; }
    // Switches the target in the socket on or off.
    void SetTargetPresent(bool present) { m_targetPresent = present; }
    // Firmware or loader from the next boot on.
    void SetUpdateMode(bool updateMode) { m_options.updateMode = updateMode; }

    // What tests look at (and may prepare).
    SimTarget& Target() { return m_target; }
    const SimTarget& Target() const { return m_target; }
    SimStore& Store() { return m_store; }
    const SimStore& Store() const { return m_store; }
    SimLoader& Loader() { return m_loader; }
    const SimLoader& Loader() const { return m_loader; }
    const SimOptions& Options() const { return m_options; }

    bool InReset() const { return m_dtrActive; }
    bool IsRtsActive() const { return m_rtsActive; }
    std::uint32_t ReadTimeoutMs() const { return m_readTimeoutMs; }
    std::uint32_t WriteTimeoutMs() const { return m_writeTimeoutMs; }
    bool IsCtsHigh();
    bool IsLoaderRunning() const { return m_runningLoader; }
    std::uint32_t BaudRate() const { return m_baud; }
    std::uint16_t LineControl() const { return m_lineControl; }
    bool IsOpen() const { return m_handle != 0; }
    DeviceHandle CurrentHandle() const { return m_handle; }
    std::uint64_t CallCount() const { return m_calls; }
    std::uint32_t PageCommandCount() const { return m_pageCommands; }
    // Bytes written that the box never heard (wrong line settings, reset, boot).
    std::uint64_t LostByteCount() const { return m_lostBytes; }
    // One line per command the box has taken up, e.g. "C", "U", "V 00C0",
    // "E 0040", "R 00C1", "D 3", "record 00C0", "?", "sync", "B0", "F5",
    // "70", "50", "20 FF000", "41 FE100", "unknown 5A".
    const std::vector<std::string>& CommandLog() const { return m_log; }
    void ClearCommandLog() { m_log.clear(); }

    // Every broken rule so far, oldest first, e.g. "command byte 56 written
    // while the box is busy (CTS high)".
    const std::vector<std::string>& Violations() const { return m_violations; }
    // A test that provoked violations on purpose takes them out of the way.
    void ClearViolations() {
        m_violations.clear();
        m_violationsReported = 0;
    }
    std::vector<std::string> TakeNewViolations() override;

    // The target, the store and the loader memory, kept between runs. A
    // missing, corrupt or foreign file gives an error text and changes
    // nothing; saving writes a temporary file and renames it.
    bool LoadState(const std::string& path, std::string& error);
    bool SaveState(const std::string& path, std::string& error) const;

  private:
    enum class Kind {
        Connect,
        IdCheck,
        StoreHeader,
        StoreRecord,
        StoreQuery,
        Program,
        Erase,
        ReadPage,
        Unknown,
        LoaderSync,
        LoaderEcho,
        LoaderIdCheck,
        LoaderStatus,
        LoaderClearStatus,
        LoaderErase,
        LoaderProgram,
        Deliver  // loader answer bytes on their way to the host
    };
    struct Command {
        Kind kind = Kind::Unknown;
        std::vector<std::uint8_t> bytes;
        std::uint64_t completeAt = 0;
        bool wrongAnswer = false;
    };

    BridgeStatus Enter(DeviceHandle handle, bool needsHandle);
    void Update();
    void Execute(const Command& command);
    void Answer(std::uint8_t byte) {
        if (m_collect != nullptr) {
            m_collect->push_back(byte);
        } else {
            m_hostRx.push_back(byte);
        }
    }
    void Violation(std::string what) { m_violations.push_back(std::move(what)); }
    void ScheduleLoader(Command command, std::uint64_t arrivedAt);
    bool LoaderReady() const { return m_loaderArrival >= m_loaderBusyUntil; }
    std::uint64_t LoaderWorkNs(Kind kind);
    std::uint64_t BusyExtraNs(Kind kind);
    std::uint8_t AnswerFor(SimAnswerStep step, std::uint8_t answer);
    void Boot(std::uint64_t at);
    void EnterReset();
    // Drops the work in progress, the half-heard frame and the target session.
    void AbandonWork();
    void ReleaseLines();
    void Listen(const std::uint8_t* bytes, std::uint32_t count);
    void FrameNormal(std::uint64_t arrivedAt);
    void FrameLoader(std::uint64_t arrivedAt);
    void Schedule(Kind kind, std::uint64_t arrivedAt);
    bool LineMatches() const;
    std::uint64_t ByteNs() const;
    std::uint64_t WorkNs(Kind kind) const;
    std::size_t AnswerLength(Kind kind) const;
    void CloseHandle();

    Clock& m_clock;
    SimOptions m_options;
    SimTarget m_target;
    SimStore m_store;
    SimLoader m_loader;

    // Attachment and handle.
    std::uint32_t m_deviceCount = 1;
    bool m_unplugged = false;
    bool m_targetPresent = true;
    DeviceHandle m_handle = 0;
    DeviceHandle m_nextHandle = 1;
    std::uint64_t m_calls = 0;
    std::uint32_t m_pageCommands = 0;

    // Line.
    std::uint32_t m_baud = 0;
    std::uint16_t m_lineControl = 0;
    bool m_dtrActive = false;
    bool m_rtsActive = false;
    std::uint32_t m_readTimeoutMs = kDefaultTimeoutMs;
    std::uint32_t m_writeTimeoutMs = kDefaultTimeoutMs;
    std::uint64_t m_lineFreeAt = 0;  // when the wire to the box is free again
    std::uint64_t m_lostBytes = 0;

    // The box.
    std::uint64_t m_bootDoneAt = 0;
    bool m_runningLoader = false;
    std::uint64_t m_boxFreeAt = 0;        // when the box has finished its queued work
    std::deque<Command> m_work;           // complete commands, in order
    std::vector<std::uint8_t> m_frame;    // bytes of the command being received
    std::uint32_t m_recordsExpected = 0;  // records still to be received
    std::uint32_t m_storeRemaining = 0;   // records still to be stored
    bool m_storeIntact = false;
    bool m_targetConnected = false;
    bool m_targetUnlocked = false;
    std::deque<std::uint8_t> m_hostRx;  // answer bytes readable by the host
    std::vector<std::string> m_log;
    std::vector<std::string> m_violations;
    std::size_t m_violationsReported = 0;
    std::vector<std::uint8_t>* m_collect = nullptr;  // where Answer() puts bytes
    std::size_t m_countIndex = 0;                    // into faults.countSequence
    std::uint32_t m_answerStepsUsed = 0;             // bit per SimAnswerStep used
    std::uint64_t m_writes = 0;                      // write calls so far
    std::uint64_t m_busyUntil = 0;                   // CTS high without work (busy-at:setup)
    std::uint32_t m_statusReads = 0;                 // loader 0x70 commands so far

    // The loader.
    std::uint32_t m_loaderZeros = 0;  // synchronisation bytes seen
    bool m_loaderSynced = false;      // 0xB0 came after them
    std::uint64_t m_loaderBusyUntil = 0;
    std::uint64_t m_loaderArrival = 0;  // when the command being executed arrived
    bool m_loaderBusyReported = false;
};

}  // namespace o8r
