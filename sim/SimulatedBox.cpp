#include "sim/SimulatedBox.h"

#include <algorithm>
#include <cstdio>

#include "srec/PageChecksum.h"

namespace o8r {

namespace {

constexpr std::uint32_t kMaxBaud = 921600;
constexpr std::size_t kRecordBytes = kPageRecordSize;

std::uint16_t Le16(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

// The box's processor decodes 20 address lines: the top four bits of the
// high byte do not matter, so 0xFF and 0x0F both name 0xFxxxx.
std::uint32_t LoaderAddress(std::uint8_t middle, std::uint8_t high) {
    return ((static_cast<std::uint32_t>(high) << 16) | (static_cast<std::uint32_t>(middle) << 8)) &
           0xFFFFF;
}

std::string Hex4(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X", value & 0xFFFF);
    return text;
}

std::string Hex5(std::uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%05X", value & 0xFFFFF);
    return text;
}

std::string Hex2(std::uint32_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    return text;
}

}  // namespace

SimulatedBox::SimulatedBox(Clock& clock, SimOptions options)
    : m_clock(clock),
      m_options(std::move(options)),
      m_target(m_options.blocks.empty() ? DefaultFlashBlocks() : m_options.blocks) {
    const SimFaults& faults = m_options.faults;
    m_deviceCount = faults.deviceCount;
    m_targetPresent = !faults.targetAbsent;
    if (faults.protectedCode)
        m_target.WriteIdCode(*faults.protectedCode);
    m_loader.SetFaults(faults.loaderEraseFail, faults.loaderProgramFail);
    m_lineFreeAt = m_clock.Now();
    Boot(m_lineFreeAt);
}

// Every bridge call passes here: it counts towards the unplug fault, fails
// once the box is gone and brings the box's work up to the present.
BridgeStatus SimulatedBox::Enter(DeviceHandle handle, bool needsHandle) {
    ++m_calls;
    std::uint64_t& after = m_options.faults.unplugAfterCalls;
    if (after != 0 && m_calls > after && !m_unplugged) {
        after = 0;
        Unplug();
    }
    if (m_unplugged)
        return kBridgeDeviceNotFound;
    if (needsHandle && (handle == 0 || handle != m_handle))
        return kBridgeInvalidHandle;
    Update();
    return kBridgeOk;
}

void SimulatedBox::Plug(std::uint32_t count) {
    bool wasGone = m_unplugged || m_deviceCount == 0;
    m_unplugged = false;
    m_deviceCount = count;
    if (wasGone && count > 0) {
        m_dtrActive = false;
        m_rtsActive = false;
        m_baud = 0;
        m_lineControl = 0;
        m_hostRx.clear();
        Boot(m_clock.Now());
    }
}

void SimulatedBox::Unplug() {
    m_unplugged = true;
    m_deviceCount = 0;
    m_handle = 0;
    m_work.clear();
    m_frame.clear();
    m_hostRx.clear();
}

void SimulatedBox::Boot(std::uint64_t at) {
    m_bootDoneAt = at + (m_options.instant ? 0 : m_options.timings.bootNs);
    m_runningLoader = m_options.updateMode;
    m_boxFreeAt = m_bootDoneAt;
    AbandonWork();
}

void SimulatedBox::EnterReset() {
    m_dtrActive = true;
    AbandonWork();
}

// Answers that already reached the host stay in its receive buffer until
// flushed.
void SimulatedBox::AbandonWork() {
    m_work.clear();
    m_frame.clear();
    m_recordsExpected = 0;
    m_storeRemaining = 0;
    m_targetConnected = false;
    m_targetUnlocked = false;
    m_loader.Reset();
}

void SimulatedBox::ReleaseLines() {
    m_rtsActive = false;
    if (m_dtrActive) {
        m_dtrActive = false;
        Boot(m_clock.Now());
    }
}

void SimulatedBox::CloseHandle() {
    m_handle = 0;
    m_hostRx.clear();
    ReleaseLines();
}

bool SimulatedBox::IsCtsHigh() {
    Update();
    if (m_options.faults.ctsStuckHigh || m_dtrActive || m_runningLoader)
        return true;
    if (m_clock.Now() < m_bootDoneAt)
        return true;
    return !m_work.empty();
}

bool SimulatedBox::LineMatches() const {
    std::uint32_t wanted = m_runningLoader ? kLoaderBaud : kNormalBaud;
    return m_baud == wanted && m_lineControl == kLineControl8N1;
}

std::uint64_t SimulatedBox::ByteNs() const {
    if (m_options.instant || m_baud == 0)
        return 0;
    return 10'000'000'000ULL / m_baud;
}

std::uint64_t SimulatedBox::WorkNs(Kind kind) const {
    if (m_options.instant)
        return 0;
    const SimTimings& t = m_options.timings;
    switch (kind) {
        case Kind::Connect:
        case Kind::IdCheck:
        case Kind::StoreHeader:
        case Kind::StoreQuery:
            return t.commandNs;
        case Kind::StoreRecord:
            return t.storeRecordNs;
        case Kind::Program:
            return t.pageProgramNs;
        case Kind::Erase:
            return t.blockEraseNs;
        case Kind::ReadPage:
            return t.pageReadNs;
        case Kind::LoaderErase:
            return t.loaderEraseNs;
        case Kind::LoaderProgram:
            return t.loaderProgramNs;
        default:
            return 0;
    }
}

std::size_t SimulatedBox::AnswerLength(Kind kind) const {
    switch (kind) {
        case Kind::ReadPage:
            return kPageSize;
        case Kind::StoreQuery:
            return 16;
        case Kind::LoaderStatus:
            return 2;
        case Kind::LoaderEcho:
            return 1;
        case Kind::LoaderSync:
        case Kind::LoaderIdCheck:
        case Kind::LoaderClearStatus:
        case Kind::LoaderErase:
        case Kind::LoaderProgram:
            return 0;
        case Kind::Unknown:
            return m_runningLoader ? 0 : 1;
        default:
            return 1;
    }
}

// Bytes reach the box one after another at the line's pace; a byte the box
// cannot hear (reset, boot, wrong line settings) is lost.
void SimulatedBox::Listen(const std::uint8_t* bytes, std::uint32_t count) {
    std::uint64_t now = m_clock.Now();
    bool hearing = !m_dtrActive && now >= m_bootDoneAt && LineMatches();
    std::uint64_t byteNs = ByteNs();
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint64_t arrive = std::max(now, m_lineFreeAt) + byteNs;
        m_lineFreeAt = arrive;
        if (!hearing) {
            ++m_lostBytes;
            continue;
        }
        m_frame.push_back(bytes[i]);
        if (m_runningLoader) {
            FrameLoader(arrive);
        } else {
            FrameNormal(arrive);
        }
        if (m_unplugged)
            return;
    }
}

void SimulatedBox::FrameNormal(std::uint64_t arrivedAt) {
    if (m_recordsExpected > 0) {
        if (m_frame.size() < kRecordBytes)
            return;
        --m_recordsExpected;
        Schedule(Kind::StoreRecord, arrivedAt);
        return;
    }
    Kind kind = Kind::Unknown;
    std::size_t need = 1;
    switch (m_frame[0]) {
        case 'C':
            kind = Kind::Connect;
            break;
        case 'U':
            kind = Kind::IdCheck;
            need = 8;
            break;
        case 'D':
            kind = Kind::StoreHeader;
            need = 27;
            break;
        case '?':
            kind = Kind::StoreQuery;
            break;
        case 'V':
            kind = Kind::Program;
            need = 1 + kRecordBytes;
            break;
        case 'E':
            kind = Kind::Erase;
            need = 3;
            break;
        case 'R':
            kind = Kind::ReadPage;
            need = 3;
            break;
        default:
            break;
    }
    if (m_frame.size() < need)
        return;
    if (kind == Kind::StoreHeader) {
        std::uint16_t count = Le16(m_frame, 1);
        if (m_frame[26] == 0x00 && count <= SimStore::kMaxRecords)
            m_recordsExpected = count;
    }
    Schedule(kind, arrivedAt);
}

void SimulatedBox::FrameLoader(std::uint64_t arrivedAt) {
    Kind kind = Kind::Unknown;
    std::size_t need = 1;
    switch (m_frame[0]) {
        case 0x00:
            kind = Kind::LoaderSync;
            break;
        case 0xB0:
            kind = Kind::LoaderEcho;
            break;
        case 0x70:
            kind = Kind::LoaderStatus;
            break;
        case 0x50:
            kind = Kind::LoaderClearStatus;
            break;
        case 0x20:
            kind = Kind::LoaderErase;
            need = 4;
            break;
        case 0x41:
            kind = Kind::LoaderProgram;
            need = 3 + kPageSize;
            break;
        case 0xF5:
            kind = Kind::LoaderIdCheck;
            need = m_frame.size() >= 5 ? 5 + static_cast<std::size_t>(m_frame[4]) : 5;
            break;
        default:
            break;
    }
    if (m_frame.size() < need)
        return;
    Schedule(kind, arrivedAt);
}

void SimulatedBox::Schedule(Kind kind, std::uint64_t arrivedAt) {
    Command command;
    command.kind = kind;
    command.bytes.swap(m_frame);
    m_frame.clear();

    bool pageCommand = kind == Kind::StoreRecord || kind == Kind::Program || kind == Kind::Erase ||
                       kind == Kind::ReadPage || kind == Kind::LoaderErase ||
                       kind == Kind::LoaderProgram;
    if (pageCommand) {
        ++m_pageCommands;
        SimFaults& faults = m_options.faults;
        if (faults.unplugAtPage != 0 && m_pageCommands == faults.unplugAtPage) {
            faults.unplugAtPage = 0;
            Unplug();
            return;
        }
        bool answersStatus = kind != Kind::LoaderErase && kind != Kind::LoaderProgram;
        command.wrongAnswer = answersStatus && faults.wrongAnswerAtPage != 0 &&
                              m_pageCommands == faults.wrongAnswerAtPage;
    }
    std::uint64_t start = std::max(arrivedAt, m_boxFreeAt);
    command.completeAt = start + WorkNs(kind) + AnswerLength(kind) * ByteNs();
    m_boxFreeAt = command.completeAt;
    m_work.push_back(std::move(command));
}

void SimulatedBox::Update() {
    std::uint64_t now = m_clock.Now();
    while (!m_work.empty() && m_work.front().completeAt <= now) {
        Command command = std::move(m_work.front());
        m_work.pop_front();
        Execute(command);
    }
}

void SimulatedBox::Execute(const Command& command) {
    const std::vector<std::uint8_t>& b = command.bytes;
    auto status = [&](std::uint8_t answer) { Answer(command.wrongAnswer ? kAnswerWrong : answer); };
    switch (command.kind) {
        case Kind::Connect:
            m_log.push_back("C");
            m_targetUnlocked = false;
            m_targetConnected = m_targetPresent;
            Answer(m_targetPresent ? kAnswerOk : kAnswerTargetTimeout);
            break;
        case Kind::IdCheck: {
            m_log.push_back("U");
            std::array<std::uint8_t, 7> code{};
            std::copy(b.begin() + 1, b.begin() + 8, code.begin());
            if (!m_targetConnected) {
                Answer(kAnswerRefused);
            } else if (!m_targetPresent) {
                Answer(kAnswerTargetTimeout);
            } else if (m_target.IsProtected() && !m_target.IdMatches(code)) {
                m_targetUnlocked = false;
                Answer(kAnswerIdRefused);
            } else {
                m_targetUnlocked = true;
                Answer(kAnswerOk);
            }
            break;
        }
        case Kind::StoreHeader: {
            std::uint16_t count = Le16(b, 1);
            m_log.push_back("D " + std::to_string(count));
            if (b[26] != 0x00 || count > SimStore::kMaxRecords) {
                Answer(kAnswerRefused);
                break;
            }
            m_store = SimStore{};
            std::copy(b.begin() + 3, b.begin() + 10, m_store.id.begin());
            std::copy(b.begin() + 10, b.begin() + 26, m_store.name.begin());
            m_storeRemaining = count;
            m_storeIntact = true;
            m_store.filled = count == 0;
            Answer(kAnswerOk);
            break;
        }
        case Kind::StoreRecord: {
            std::uint16_t page = Le16(b, 0);
            m_log.push_back("record " + Hex4(page));
            bool intact = PageChecksum(b.data() + 4, kPageSize) == Le16(b, 2);
            if (intact) {
                PageRecord record{};
                std::copy(b.begin(), b.end(), record.begin());
                m_store.records.push_back(record);
            }
            if (!intact || command.wrongAnswer)
                m_storeIntact = false;
            if (m_storeRemaining > 0 && --m_storeRemaining == 0)
                m_store.filled = m_storeIntact;
            status(intact ? kAnswerOk : kAnswerBadChecksum);
            break;
        }
        case Kind::StoreQuery:
            m_log.push_back("?");
            for (std::size_t i = 0; i < m_store.name.size(); ++i) {
                Answer(m_store.filled ? m_store.name[i] : std::uint8_t{0xFF});
            }
            break;
        case Kind::Program: {
            std::uint16_t page = Le16(b, 1);
            m_log.push_back("V " + Hex4(page));
            if (!m_targetUnlocked) {
                status(kAnswerRefused);
            } else if (PageChecksum(b.data() + 5, kPageSize) != Le16(b, 3)) {
                status(kAnswerBadChecksum);
            } else {
                bool ok = m_target.ProgramPage(page, b.data() + 5) == SimTarget::ProgramResult::Ok;
                status(ok ? kAnswerOk : kAnswerFailed);
            }
            break;
        }
        case Kind::Erase: {
            std::uint16_t page = Le16(b, 1);
            m_log.push_back("E " + Hex4(page));
            if (!m_targetUnlocked) {
                status(kAnswerRefused);
            } else {
                bool ok = m_target.EraseBlockAt(static_cast<std::uint32_t>(page) << 8);
                status(ok ? kAnswerOk : kAnswerFailed);
            }
            break;
        }
        case Kind::ReadPage: {
            std::uint16_t page = Le16(b, 1);
            m_log.push_back("R " + Hex4(page));
            if (!m_targetUnlocked)
                break;  // no answer at all
            std::array<std::uint8_t, kPageSize> data{};
            m_target.ReadPage(page, data.data());
            if (command.wrongAnswer)
                data[0] = static_cast<std::uint8_t>(~data[0]);
            for (std::uint8_t byte : data)
                Answer(byte);
            break;
        }
        case Kind::Unknown:
            m_log.push_back("unknown " + Hex2(b[0]));
            if (!m_runningLoader)
                Answer(kAnswerRefused);
            break;
        case Kind::LoaderSync:
            m_log.push_back("sync");
            break;
        case Kind::LoaderEcho:
            m_log.push_back("B0");
            Answer(0xB0);
            break;
        case Kind::LoaderIdCheck: {
            m_log.push_back("F5");
            std::uint32_t address = static_cast<std::uint32_t>(b[1] | (b[2] << 8) | (b[3] << 16));
            m_loader.CheckId(address, b.data() + 5, b[4]);
            break;
        }
        case Kind::LoaderStatus: {
            m_log.push_back("70");
            auto srd = m_loader.Status();
            Answer(srd[0]);
            Answer(srd[1]);
            break;
        }
        case Kind::LoaderClearStatus:
            m_log.push_back("50");
            m_loader.ClearStatus();
            break;
        case Kind::LoaderErase: {
            std::uint32_t address = LoaderAddress(b[1], b[2]);
            m_log.push_back("20 " + Hex5(address));
            m_loader.EraseBlock(address, b[3] == 0xD0);
            break;
        }
        case Kind::LoaderProgram: {
            std::uint32_t address = LoaderAddress(b[1], b[2]);
            m_log.push_back("41 " + Hex5(address));
            m_loader.ProgramPage(address, b.data() + 3);
            break;
        }
    }
}

BridgeStatus SimulatedBox::GetDeviceCount(std::uint32_t& count) {
    count = 0;
    BridgeStatus status = Enter(0, false);
    if (status != kBridgeOk)
        return status;
    count = m_deviceCount;
    return kBridgeOk;
}

BridgeStatus SimulatedBox::Open(std::uint32_t deviceIndex, DeviceHandle& handle) {
    BridgeStatus status = Enter(0, false);
    if (status != kBridgeOk)
        return status;
    // Only the first of several boxes is modelled.
    if (m_deviceCount == 0 || deviceIndex != 0)
        return kBridgeDeviceNotFound;
    // A second open of the same box closes the first handle: nothing leaks.
    if (m_handle != 0)
        CloseHandle();
    m_handle = m_nextHandle++;
    if (m_nextHandle == 0)
        m_nextHandle = 1;
    handle = m_handle;
    return kBridgeOk;
}

BridgeStatus SimulatedBox::Close(DeviceHandle handle) {
    BridgeStatus status = Enter(handle, true);
    if (status != kBridgeOk)
        return status;
    CloseHandle();
    return kBridgeOk;
}

BridgeStatus SimulatedBox::Read(DeviceHandle handle, std::uint8_t* buffer, std::uint32_t wanted,
                                std::uint32_t& got) {
    got = 0;
    BridgeStatus status = Enter(handle, true);
    if (status != kBridgeOk)
        return status;
    if (buffer == nullptr && wanted > 0)
        return kBridgeInvalidParameter;

    // Wait on the clock, never spin: sleep to the next moment the box
    // finishes something, or to the end of the time-out.
    std::uint64_t deadline = m_clock.Now() + std::uint64_t{m_readTimeoutMs} * kNsPerMs;
    for (;;) {
        Update();
        if (m_hostRx.size() >= wanted)
            break;
        std::uint64_t now = m_clock.Now();
        if (now >= deadline)
            break;
        std::uint64_t next = deadline;
        if (!m_work.empty())
            next = std::min(next, m_work.front().completeAt);
        if (next > now)
            m_clock.SleepFor(next - now);
    }

    std::uint32_t available =
        static_cast<std::uint32_t>(std::min<std::size_t>(m_hostRx.size(), wanted));
    std::uint32_t deliver = available;
    std::uint32_t lose = 0;
    if (m_options.faults.shortRead && wanted > 1) {
        deliver = std::min(available, wanted / 2);
        lose = available - deliver;
    }
    std::copy_n(m_hostRx.begin(), deliver, buffer);
    m_hostRx.erase(m_hostRx.begin(), m_hostRx.begin() + deliver + lose);
    got = deliver;
    return kBridgeOk;
}

BridgeStatus SimulatedBox::Write(DeviceHandle handle, const std::uint8_t* buffer,
                                 std::uint32_t count, std::uint32_t& written) {
    written = 0;
    BridgeStatus status = Enter(handle, true);
    if (status != kBridgeOk)
        return status;
    if (buffer == nullptr && count > 0)
        return kBridgeInvalidParameter;
    std::uint32_t deliver = count;
    if (m_options.faults.shortWrite && count > 1)
        deliver = count - 1;
    Listen(buffer, deliver);
    if (m_unplugged)
        return kBridgeDeviceNotFound;
    written = deliver;
    return kBridgeOk;
}

BridgeStatus SimulatedBox::FlushBuffers(DeviceHandle handle, std::uint8_t /*flushTransmit*/,
                                        std::uint8_t flushReceive) {
    BridgeStatus status = Enter(handle, true);
    if (status != kBridgeOk)
        return status;
    // Written bytes go onto the wire at once, so there is nothing to drop on
    // the transmit side.
    if (flushReceive != 0)
        m_hostRx.clear();
    return kBridgeOk;
}

BridgeStatus SimulatedBox::SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) {
    BridgeStatus status = Enter(0, false);
    if (status != kBridgeOk)
        return status;
    m_readTimeoutMs = readMs;
    m_writeTimeoutMs = writeMs;
    return kBridgeOk;
}

BridgeStatus SimulatedBox::CheckRxQueue(DeviceHandle handle, std::uint32_t& bytesQueued,
                                        std::uint32_t& queueStatus) {
    BridgeStatus status = Enter(handle, true);
    if (status != kBridgeOk)
        return status;
    bytesQueued = static_cast<std::uint32_t>(m_hostRx.size());
    queueStatus = bytesQueued > 0 ? 2 : 0;
    return kBridgeOk;
}

BridgeStatus SimulatedBox::SetBaudRate(DeviceHandle handle, std::uint32_t baud) {
    BridgeStatus status = Enter(handle, true);
    if (status != kBridgeOk)
        return status;
    if (baud == 0 || baud > kMaxBaud)
        return kBridgeInvalidBaudRate;
    m_baud = baud;
    return kBridgeOk;
}

BridgeStatus SimulatedBox::SetLineControl(DeviceHandle handle, std::uint16_t lineControl) {
    BridgeStatus status = Enter(handle, true);
    if (status != kBridgeOk)
        return status;
    m_lineControl = lineControl;
    return kBridgeOk;
}

BridgeStatus SimulatedBox::SetFlowControl(DeviceHandle handle, std::uint8_t ctsMask,
                                          std::uint8_t rtsMask, std::uint8_t dtrMask,
                                          std::uint8_t dsrMask, std::uint8_t dcdMask,
                                          bool /*xonXoff*/) {
    BridgeStatus status = Enter(handle, true);
    if (status != kBridgeOk)
        return status;
    // The box is wired for held-active or held-inactive lines only.
    if (ctsMask > 1 || rtsMask > 1 || dtrMask > 1 || dsrMask > 1 || dcdMask > 1) {
        return kBridgeInvalidParameter;
    }
    m_rtsActive = rtsMask == 1;
    if (dtrMask == 1 && !m_dtrActive) {
        EnterReset();
    } else if (dtrMask == 0 && m_dtrActive) {
        m_dtrActive = false;
        Boot(m_clock.Now());
    }
    return kBridgeOk;
}

BridgeStatus SimulatedBox::GetModemStatus(DeviceHandle handle, std::uint8_t& status) {
    BridgeStatus result = Enter(handle, true);
    if (result != kBridgeOk)
        return result;
    status = IsCtsHigh() ? kModemCts : 0x00;
    return kBridgeOk;
}

}  // namespace o8r
