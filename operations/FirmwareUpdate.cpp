// The Update button in firmware-update mode: the box runs the Renesas boot
// loader of its own MCU (asynchronous serial I/O at 19200 baud), which takes
// one byte per write, answers status reads with two bytes, and is told about
// readiness by the bytes it sends rather than by CTS.

#include <array>
#include <functional>

#include "app/Ids.h"
#include "app/Messages.h"
#include "app/ProgrammerController.h"
#include "app/SharedState.h"

namespace o8r {

namespace {

constexpr std::uint32_t kLoaderBaud = 19200;

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

// Pauses, in loop iterations (nanoseconds).
constexpr std::uint64_t kAfterSync = 2'000'000;
constexpr std::uint64_t kBeforeIdCheck = 1'000'000;
constexpr std::uint64_t kBetweenBytes = 1'000;
constexpr std::uint64_t kBeforeIdStatus = 200'000;
constexpr std::uint64_t kEraseWait = 50'000'000;  // before the flush and again after 0x70
constexpr std::uint64_t kProgramWait = 10'000'000;

constexpr int kShortWaitPolls = 1000;
constexpr int kEraseWaitPolls = 2000;

// The exchange with the loader after the file has been chosen. Run() gives
// nullptr when every page was programmed, else the text of the failure.
class LoaderExchange {
  public:
    LoaderExchange(Bridge& bridge, Clock& clock, MainView& view,
                   std::function<bool(int)> waitBoxReady)
        : m_bridge(bridge), m_clock(clock), m_view(view), m_waitBoxReady(std::move(waitBoxReady)) {}

    const char* Run() {
        if (const char* failure = Synchronise())
            return failure;
        if (const char* failure = CheckId())
            return failure;
        m_view.SetControlText(IDC_STATUS, text::kStatusWaitErasing);
        if (const char* failure = EraseBlock(kBlock0Middle, text::kUpdateBlock0EraseError))
            return failure;
        if (const char* failure = EraseBlock(kBlock1Middle, text::kUpdateBlock1EraseError))
            return failure;
        m_view.ShowControl(IDC_STATUS, false);
        m_view.ShowControl(IDC_PROGRESS, true);
        for (int i = 0; i < g_pageCount; ++i) {
            m_view.SetProgress(i * 100 / g_pageCount);
            if (const char* failure = ProgramPage(g_pageRecords[static_cast<std::size_t>(i)])) {
                return failure;
            }
        }
        return nullptr;
    }

  private:
    // The loader takes every byte in a write of its own.
    bool Send(std::uint8_t byte) {
        std::uint32_t written = 0;
        return m_bridge.Write(g_hDevice, &byte, 1, written) == kBridgeOk && written == 1;
    }

    void Flush() { m_bridge.FlushBuffers(g_hDevice, 1, 1); }

    // Both status bytes, or nothing: a status cut short is no status.
    bool ReadStatus(std::array<std::uint8_t, 2>& status) {
        std::uint32_t got = 0;
        return m_bridge.Read(g_hDevice, status.data(), 2, got) == kBridgeOk && got == 2;
    }

    // Flush, 0x70, and the loader's answer after at most `polls` polls.
    // `pauseAfterCommand` lets a block erase finish before the polls start.
    const char* RequestStatus(std::uint64_t pauseAfterCommand, int polls,
                              std::array<std::uint8_t, 2>& status) {
        Flush();
        if (!Send(kReadStatus))
            return text::kConnectionBroken;
        if (pauseAfterCommand != 0)
            m_clock.Pause(pauseAfterCommand);
        if (!m_waitBoxReady(polls) || !ReadStatus(status))
            return text::kUpdateTimeOut;
        return nullptr;
    }

    const char* Synchronise() {
        for (int i = 0; i < kSyncCount; ++i) {
            if (!Send(kSync))
                return text::kConnectionBroken;
            m_clock.Pause(kAfterSync);
        }
        Flush();
        if (!Send(kBaudCheck))
            return text::kConnectionBroken;
        if (!m_waitBoxReady(kShortWaitPolls))
            return text::kUpdateTimeOut;
        std::uint8_t echo = 0;
        std::uint32_t got = 0;
        if (m_bridge.Read(g_hDevice, &echo, 1, got) != kBridgeOk || got != 1)
            return text::kUpdateTimeOut;
        if (echo != kBaudCheck)
            return text::kUpdateCanNotConnect;
        return nullptr;
    }

    const char* CheckId() {
        m_clock.Pause(kBeforeIdCheck);
        for (std::uint8_t byte : kIdCheck) {
            if (!Send(byte))
                return text::kConnectionBroken;
            m_clock.Pause(kBetweenBytes);
        }
        m_clock.Pause(kBeforeIdStatus);
        std::array<std::uint8_t, 2> status{};
        if (const char* failure = RequestStatus(0, kShortWaitPolls, status))
            return failure;
        if ((status[1] & kStatusIdAccepted) != kStatusIdAccepted)
            return text::kUpdateIdCodeError;
        return nullptr;
    }

    const char* EraseBlock(std::uint8_t addressMiddle, const char* eraseFailed) {
        for (std::uint8_t byte : {kBlockErase, addressMiddle, kBlockHigh, kEraseConfirm}) {
            if (!Send(byte))
                return text::kConnectionBroken;
            m_clock.Pause(kBetweenBytes);
        }
        m_clock.Pause(kEraseWait);
        std::array<std::uint8_t, 2> status{};
        if (const char* failure = RequestStatus(kEraseWait, kEraseWaitPolls, status)) {
            return failure;
        }
        if (!(status[0] & kStatusReady))
            return text::kUpdateTimeOut;
        if (status[0] & kStatusEraseFailed)
            return eraseFailed;
        return nullptr;
    }

    // Page number (address bits 8-15, then 16-23) and the 256 data bytes; the
    // record's checksum is for the normal-mode box and is not sent.
    const char* ProgramPage(const PageRecord& record) {
        m_clock.Pause(kBetweenBytes);
        if (!Send(kPageProgram))
            return text::kConnectionBroken;
        m_clock.Pause(kBetweenBytes);
        for (std::size_t k = 0; k < 2; ++k) {
            if (!Send(record[k]))
                return text::kConnectionBroken;
            m_clock.Pause(kBetweenBytes);
        }
        for (std::size_t k = 4; k < kPageRecordSize; ++k) {
            if (!Send(record[k]))
                return text::kConnectionBroken;
            m_clock.Pause(kBetweenBytes);
        }
        m_clock.Pause(kProgramWait);
        Flush();
        if (!Send(kReadStatus))
            return text::kConnectionBroken;
        std::array<std::uint8_t, 2> status{};
        if (!m_waitBoxReady(kShortWaitPolls) || !ReadStatus(status))
            return text::kTimeOutError;
        if (!(status[0] & kStatusReady))
            return text::kUpdateTimeOut;
        if (status[0] & kStatusProgramFailed)
            return text::kUpdateProgramError;
        return nullptr;
    }

    Bridge& m_bridge;
    Clock& m_clock;
    MainView& m_view;
    std::function<bool(int)> m_waitBoxReady;
};

}  // namespace

void ProgrammerController::RunFirmwareUpdate() {
    if (!ConfigureLine(kLoaderBaud)) {
        ShowMessage(text::kUpdateCanNotOpenTarget, text::kCaptionError, MsgIcon::Error);
        return;
    }
    if (!SelectAndLoadFile()) {
        m_view.EnableControl(IDC_LOAD, true);
        m_view.EnableControl(IDC_LOAD_LABEL, true);
        return;
    }

    LoaderExchange exchange(m_bridge, m_clock, m_view,
                            [this](int polls) { return WaitBoxReady(polls); });
    // After a failure the window stays as it is; the message asks for a reset
    // of the box, whose fresh detection restores the view.
    if (const char* failure = exchange.Run()) {
        ShowMessage(failure, text::kCaptionError, MsgIcon::None);
        return;
    }

    m_view.SetProgress(100);
    ShowMessage(text::kUpdateCompleted, text::kCaptionInfo, MsgIcon::None);
    m_view.SetProgress(0);
    m_view.ShowControl(IDC_PROGRESS, false);
    m_view.SetControlText(IDC_STATUS, text::kStatusUpdateCompleted);
    m_view.ShowControl(IDC_STATUS, true);
    m_view.EnableControl(IDC_LOAD, true);
    m_view.EnableControl(IDC_LOAD_LABEL, true);
}

}  // namespace o8r
