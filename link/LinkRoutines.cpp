// Programmer detection, the release on exit, and the connect sequence that
// starts every operation on the box.

#include "app/Ids.h"
#include "app/Messages.h"
#include "app/ProgrammerController.h"
#include "app/SharedState.h"

namespace o8r {

namespace {

constexpr std::uint32_t kNormalBaud = 500000;
constexpr std::uint32_t kLinkTimeoutMs = 1000;
constexpr std::uint8_t kAnswerOk = 'O';
constexpr std::uint8_t kAnswerIdRefused = 'I';
constexpr std::uint8_t kAnswerTargetTimeOut = 'T';

// The box's firmware image lives in this window while it runs its loader.
constexpr MemoryMap kFirmwareUpdateMap{0, 0, 0xFE000, 0x100000};

constexpr std::size_t kNameFieldSize = 16;

}  // namespace

std::uint8_t ProgrammerController::QueryModemStatus() {
    std::uint8_t status = kModemCts;
    if (m_bridge.GetModemStatus(g_hDevice, status) != kBridgeOk)
        return kModemCts;
    return status;
}

int ProgrammerController::ReadAnswerByte() {
    std::uint8_t byte = 0;
    std::uint32_t got = 0;
    if (m_bridge.Read(g_hDevice, &byte, 1, got) != kBridgeOk || got != 1)
        return -1;
    return byte;
}

std::uint32_t ProgrammerController::WriteBytes(const std::uint8_t* data, std::uint32_t count) {
    std::uint32_t written = 0;
    if (m_bridge.Write(g_hDevice, data, count, written) != kBridgeOk)
        return 0;
    return written;
}

bool ProgrammerController::WriteExactly(const std::uint8_t* data, std::uint32_t count) {
    return WriteBytes(data, count) == count;
}

void ProgrammerController::SetFlow(std::uint8_t rts, std::uint8_t dtr) {
    m_bridge.SetFlowControl(g_hDevice, 0, rts, dtr, 0, 0, false);
}

void ProgrammerController::PollProgrammer() {
    std::uint32_t count = 0;
    m_bridge.GetDeviceCount(count);
    if (count == static_cast<std::uint32_t>(static_cast<std::int32_t>(g_lastDeviceCount)))
        return;
    g_lastDeviceCount = static_cast<std::int8_t>(count & 0xFF);

    if (count == 0) {
        ShowCommandButtons(0);
        m_view.ShowControl(IDC_PICTURE, true);
        m_view.ShowControl(IDC_STATUS, false);
        m_view.ShowControl(IDC_PROGRESS, false);
        m_view.ShowControl(IDC_MCU_LIST, false);
        m_view.ShowControl(IDC_MCU_TREE, false);
        if (g_hDevice != 0 && m_bridge.Close(g_hDevice) == kBridgeOk)
            g_hDevice = 0;
        return;
    }
    if (count != 1) {
        m_view.ShowControl(IDC_PICTURE, true);
        ShowMessage(text::kMoreThanOneProgrammer, text::kCaptionError, MsgIcon::Error);
        return;
    }

    // A handle still open (from before a second box came, or one whose close
    // failed) is released before device 0 is opened again, so none leaks.
    if (g_hDevice != 0) {
        m_bridge.Close(g_hDevice);
        g_hDevice = 0;
    }
    DeviceHandle handle = 0;
    if (m_bridge.Open(0, handle) != kBridgeOk)
        return;
    g_hDevice = handle;

    SetFlow(0, 0);
    SetFlow(0, 1);
    m_view.ShowControl(IDC_PICTURE, false);
    ShowCommandButtons(1);
    m_view.ShowControl(IDC_STATUS, true);
    m_view.EnableControl(IDC_MCU_TREE, true);
    m_clock.Pause(1'000'000);  // reset held
    SetFlow(0, 0);
    m_clock.Pause(50'000'000);  // the box starts up
    m_bridge.FlushBuffers(g_hDevice, 1, 1);
    const bool ctsHigh = CtsHigh();
    m_bridge.SetTimeouts(kLinkTimeoutMs, kLinkTimeoutMs);

    if (ctsHigh) {
        // A box that keeps CTS high after its reset runs its firmware loader.
        m_bUpdateMode = true;
        SetMemoryMap(kFirmwareUpdateMap);
        EnableCommandButtons(false);
        m_view.SetControlText(IDC_LOAD_LABEL, text::kLabelUpdate);
        m_view.EnableControl(IDC_LOAD_LABEL, true);
        m_view.EnableControl(IDC_LOAD, true);
        m_view.ShowControl(IDC_MCU_TREE, false);
        m_view.ShowControl(IDC_MCU_LIST, false);
        m_view.SetControlText(IDC_STATUS, text::kStatusClickToUpdate);
    } else {
        m_bUpdateMode = false;
        m_view.SetControlText(IDC_LOAD_LABEL, text::kLabelLoad);
        EnableCommandButtons(true);
        m_view.ShowControl(IDC_MCU_TREE, true);
        m_view.ShowControl(IDC_MCU_LIST, true);
        m_view.SetControlText(IDC_STATUS, text::kStatusSelectMcu);
    }
}

void ProgrammerController::CloseLink() {
    // The window's timers end with it; a host that keeps running (the command
    // line) must not tick an engine on a closed handle.
    m_view.StopTimer(TIMER_OPERATION);
    m_view.StopTimer(TIMER_DEVICE_POLL);
    SetFlow(0, 1);
    if (m_bridge.Close(g_hDevice) == kBridgeOk)
        g_hDevice = 0;
}

bool ProgrammerController::ResetProgrammer() {
    m_operationRunning = false;
    SetFlow(0, 1);

    EnableCommandButtons(true);
    m_view.SetProgress(0);
    m_view.ShowControl(IDC_PROGRESS, false);
    m_view.ShowControl(IDC_STATUS, true);
    m_view.SetButtonIcon(IDC_PROGRAM, IDI_PROGRAM);
    m_view.SetButtonIcon(IDC_LOAD, IDI_LOAD);
    m_view.SetButtonIcon(IDC_BLANK_CHECK, IDI_BLANK_CHECK);
    m_view.SetControlText(IDC_PROGRAM_LABEL, text::kLabelProgram);
    m_view.SetControlText(IDC_LOAD_LABEL, text::kLabelLoad);
    m_view.SetControlText(IDC_BLANK_CHECK_LABEL, text::kLabelBlankCheck);

    m_clock.Pause(10'000'000);
    SetFlow(0, 0);
    for (int poll = 0; poll < 1000; ++poll) {
        m_clock.PollPause(500);
        const bool ctsHigh = CtsHigh();
        m_bridge.FlushBuffers(g_hDevice, 1, 1);
        if (!ctsHigh)
            return true;
    }
    ShowMessage(text::kResetProgrammer, text::kCaptionErrorMixedCase, MsgIcon::Error);
    return false;
}

bool ProgrammerController::ConfigureLine(std::uint32_t baud) {
    return m_bridge.SetBaudRate(g_hDevice, baud) == kBridgeOk &&
           m_bridge.SetLineControl(g_hDevice, kLineControl8N1) == kBridgeOk &&
           m_bridge.SetFlowControl(g_hDevice, 0, 1, 0, 0, 0, false) == kBridgeOk;
}

bool ProgrammerController::WaitBoxReady(int maxPolls) {
    if (m_bUpdateMode) {
        // The loader does not drive CTS; its answer shows as received bytes.
        for (int poll = 0; poll < maxPolls; ++poll) {
            std::uint32_t queued = 0;
            std::uint32_t queueStatus = 2;
            if (m_bridge.CheckRxQueue(g_hDevice, queued, queueStatus) == kBridgeOk && queued > 0) {
                return true;
            }
            m_clock.PollPause(2000);
        }
        return false;
    }
    for (int poll = 0; poll < maxPolls; ++poll) {
        if (!CtsHigh())
            return true;
        m_clock.PollPause(200);
    }
    return false;
}

bool ProgrammerController::FailAfterReset(const std::string& message) {
    ResetProgrammer();
    ShowMessage(message, text::kCaptionError, MsgIcon::Error);
    return false;
}

std::string ProgrammerController::LoadNameField(const std::string& path) {
    // The separator is looked for from the last character down to the second,
    // so a bare name (or one right after a leading separator) counts as none.
    std::string name;
    for (std::size_t i = path.size(); i-- > 1;) {
        if (path[i] == '\\' || path[i] == '/') {
            name = path.substr(i + 1);
            break;
        }
    }
    std::string field(kNameFieldSize, ' ');
    const std::size_t kept = name.size() > 4 ? name.size() - 4 : 0;
    for (std::size_t k = 0; k < kNameFieldSize && k < kept; ++k)
        field[k] = name[k];
    return field;
}

bool ProgrammerController::ConnectProgrammer() {
    if (!ResetProgrammer())
        return false;
    m_waitingReply = false;
    if (!ConfigureLine(kNormalBaud)) {
        ShowMessage(text::kCanNotOpenTarget, text::kCaptionError, MsgIcon::Error);
        return false;
    }
    m_clock.Pause(10'000);
    if (!WaitBoxReady(100))
        return FailAfterReset(text::kTimeOutError);
    m_clock.Pause(10'000);

    const bool load = m_operationType == OP_LOAD;
    auto broken = [this] {
        ShowMessage(text::kConnectionBroken, text::kCaptionError, MsgIcon::None);
        return false;
    };

    if (!load) {
        const std::uint8_t connect = 'C';
        if (!WriteExactly(&connect, 1))
            return broken();
        m_clock.Pause(100'000);
        if (!WaitBoxReady(2000))
            return FailAfterReset(text::kTimeOutError);
        const int answer = ReadAnswerByte();
        m_clock.Pause(100'000);
        if (answer != kAnswerOk)
            return FailAfterReset(text::kCanNotConnectTarget);
        const std::uint8_t unlock = 'U';
        if (!WriteExactly(&unlock, 1))
            return broken();
        if (!WriteExactly(g_idCode.data(), 7))
            return broken();
    } else {
        const std::uint8_t header[3] = {'D', static_cast<std::uint8_t>(g_pageCount & 0xFF),
                                        static_cast<std::uint8_t>(g_pageCount >> 8)};
        if (!WriteExactly(header, 3))
            return broken();
        if (!WriteExactly(g_idCode.data(), 7))
            return broken();
        const std::string name = LoadNameField(g_filePath);
        if (!WriteExactly(reinterpret_cast<const std::uint8_t*>(name.data()), 16)) {
            return broken();
        }
        const std::uint8_t end = 0x00;
        WriteBytes(&end, 1);
    }

    m_clock.Pause(100'000);
    if (!WaitBoxReady(2000))
        return FailAfterReset(text::kTimeOutError);
    const int answer = ReadAnswerByte();
    if (answer == kAnswerOk)
        return true;
    if (load)
        return FailAfterReset(text::kCanNotConnectProgrammer);
    if (answer == kAnswerIdRefused)
        return FailAfterReset(text::kIdCodeError);
    if (answer == kAnswerTargetTimeOut)
        return FailAfterReset(text::kTimeOutError);
    return FailAfterReset(text::kCanNotConnectProgrammer);
}

}  // namespace o8r
