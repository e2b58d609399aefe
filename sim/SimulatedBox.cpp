#include "sim/SimulatedBox.h"

#include <algorithm>
#include <cstdio>

#include "core/image/PageChecksum.h"

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

constexpr std::uint32_t kLoaderSyncBytes = 16;
// A loader erase or page program under the not-ready fault: far past any wait.
constexpr std::uint64_t kNotReadyNs = 10'000 * kSimMs;

// What an address outside the target's flash reads: never an erased-looking
// 0xFF, and different along the page, so a page asked for by a wrong number
// can never pass for erased flash.
std::uint8_t UnmappedByte(std::uint32_t address) {
    return static_cast<std::uint8_t>(0x50 | (address & 0x0F));
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
    if (faults.loaderEraseFailBlock)
        m_loader.SetEraseFailBlock(*faults.loaderEraseFailBlock);
    if (faults.loaderLocked) {
        for (std::uint32_t address : SimLoader::kIdAddresses)
            m_loader.Memory()[address - SimLoader::kStart] = 0x00;
    }
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
    m_busyUntil = 0;
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
    m_loaderZeros = 0;
    m_loaderSynced = false;
    m_loaderBusyUntil = 0;
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
    if (m_clock.Now() < m_bootDoneAt || m_clock.Now() < m_busyUntil)
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
// cannot hear (reset, boot, wrong line settings, RTS off) or a command that
// comes while it is busy is lost, and counts as one violation per write.
void SimulatedBox::Listen(const std::uint8_t* bytes, std::uint32_t count) {
    std::uint64_t now = m_clock.Now();
    std::uint64_t byteNs = ByteNs();
    bool reported = false;
    auto lose = [&](std::uint8_t byte, const std::string& why) {
        ++m_lostBytes;
        if (!reported)
            Violation("byte " + Hex2(byte) + " " + why);
        reported = true;
    };
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint64_t arrive = std::max(now, m_lineFreeAt) + byteNs;
        m_lineFreeAt = arrive;
        if (m_dtrActive) {
            lose(bytes[i], "written while DTR holds the box in reset");
            continue;
        }
        if (arrive < m_bootDoneAt) {
            lose(bytes[i], "written while the box starts up (CTS high)");
            continue;
        }
        if (!LineMatches()) {
            lose(bytes[i], "written at " + std::to_string(m_baud) + " baud, line control " +
                               Hex4(m_lineControl) + "; the box listens at " +
                               std::to_string(m_runningLoader ? kLoaderBaud : kNormalBaud) +
                               " baud, 0800");
            continue;
        }
        if (!m_rtsActive) {
            lose(bytes[i], "written with RTS inactive");
            continue;
        }
        if (!m_runningLoader && m_frame.empty() && arrive < m_boxFreeAt) {
            lose(bytes[i], "starts a command while the box is busy (CTS high)");
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
    if (kind == Kind::StoreHeader && m_targetConnected) {
        Violation("'D' inside a target session ('C' answered since the last reset): no answer");
        m_frame.clear();
        return;
    }
    if (kind == Kind::Unknown)
        Violation("unknown command byte " + Hex2(m_frame[0]));
    if (kind == Kind::StoreHeader) {
        std::uint16_t count = Le16(m_frame, 1);
        if (m_frame[26] == 0x00 && count <= SimStore::kMaxRecords)
            m_recordsExpected = count;
    }
    Schedule(kind, arrivedAt);
}

void SimulatedBox::FrameLoader(std::uint64_t arrivedAt) {
    if (m_frame.size() == 1) {
        const std::uint8_t first = m_frame[0];
        if (!m_loaderSynced && first != 0x00 && first != 0xB0) {
            Violation("loader command " + Hex2(first) +
                      " before the synchronisation (sixteen 00, then B0): ignored");
            m_frame.clear();
            return;
        }
        if (!m_loaderSynced && first == 0xB0 && m_loaderZeros < kLoaderSyncBytes) {
            Violation("B0 after " + std::to_string(m_loaderZeros) +
                      " synchronisation bytes of sixteen: ignored");
            m_frame.clear();
            return;
        }
        if (first != 0x70 && arrivedAt < m_loaderBusyUntil) {
            if (!m_loaderBusyReported)
                Violation("loader command " + Hex2(first) +
                          " while an erase or page program is under way: ignored");
            m_loaderBusyReported = true;
            m_frame.clear();
            return;
        }
    }
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
    if (kind == Kind::Unknown)
        Violation("unknown loader command " + Hex2(m_frame[0]));
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
    if (m_runningLoader) {
        ScheduleLoader(std::move(command), arrivedAt);
        return;
    }
    std::uint64_t start = std::max(arrivedAt, m_boxFreeAt);
    std::uint64_t work = WorkNs(kind) + BusyExtraNs(kind);
    const SimFaults& faults = m_options.faults;
    if (pageCommand && faults.busyAtPage != 0 && m_pageCommands == faults.busyAtPage)
        work += faults.busyExtraNs;
    command.completeAt = start + work + AnswerLength(kind) * ByteNs();
    m_boxFreeAt = command.completeAt;
    m_work.push_back(std::move(command));
}

// The loader works on a command the moment it has arrived: an erase or a page
// program keeps it busy for its time, a status read is answered at once with
// the state of that moment. Answers reach the host after their wire time.
void SimulatedBox::ScheduleLoader(Command command, std::uint64_t arrivedAt) {
    Command deliver;
    deliver.kind = Kind::Deliver;
    m_loaderArrival = arrivedAt;
    m_collect = &deliver.bytes;
    Execute(command);
    m_collect = nullptr;
    if (command.kind == Kind::LoaderErase || command.kind == Kind::LoaderProgram) {
        m_loaderBusyUntil = arrivedAt + LoaderWorkNs(command.kind);
        m_loaderBusyReported = false;
    }
    if (deliver.bytes.empty())
        return;
    deliver.completeAt = arrivedAt + deliver.bytes.size() * ByteNs();
    m_work.push_back(std::move(deliver));
}

// The `busy-at` fault: the first command of its step takes that much longer.
std::uint64_t SimulatedBox::BusyExtraNs(Kind kind) {
    auto& fault = m_options.faults.busyAt;
    if (!fault)
        return 0;
    constexpr std::pair<Kind, SimBusyStep> kSteps[] = {{Kind::Connect, SimBusyStep::Connect},
                                                       {Kind::IdCheck, SimBusyStep::Handshake},
                                                       {Kind::StoreHeader, SimBusyStep::Header},
                                                       {Kind::StoreQuery, SimBusyStep::Query}};
    for (const auto& [k, step] : kSteps) {
        if (k == kind && fault->first == step) {
            const std::uint64_t extra = fault->second;
            fault.reset();
            return extra;
        }
    }
    return 0;
}

std::uint64_t SimulatedBox::LoaderWorkNs(Kind kind) {
    SimFaults& faults = m_options.faults;
    bool& notReady =
        kind == Kind::LoaderErase ? faults.loaderEraseNotReady : faults.loaderProgramNotReady;
    if (notReady) {
        notReady = false;
        return kNotReadyNs;
    }
    return WorkNs(kind);
}

// The answer of a step, or the byte the `answer` fault puts there the first
// time the step answers.
std::uint8_t SimulatedBox::AnswerFor(SimAnswerStep step, std::uint8_t answer) {
    const auto& fault = m_options.faults.answer;
    const std::uint32_t bit = 1u << static_cast<int>(step);
    if (!fault || fault->first != step || (m_answerStepsUsed & bit) != 0)
        return answer;
    m_answerStepsUsed |= bit;
    return fault->second;
}

std::vector<std::string> SimulatedBox::TakeNewViolations() {
    std::vector<std::string> fresh(
        m_violations.begin() +
            static_cast<std::ptrdiff_t>(std::min(m_violationsReported, m_violations.size())),
        m_violations.end());
    m_violationsReported = m_violations.size();
    return fresh;
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
            Answer(AnswerFor(SimAnswerStep::Connect,
                             m_targetPresent ? kAnswerOk : kAnswerTargetTimeout));
            break;
        case Kind::IdCheck: {
            m_log.push_back("U");
            std::array<std::uint8_t, 7> code{};
            std::copy(b.begin() + 1, b.begin() + 8, code.begin());
            std::uint8_t answer = kAnswerOk;
            if (!m_targetConnected) {
                Violation("'U' before 'C' was answered 'O'");
                answer = kAnswerRefused;
            } else if (!m_targetPresent) {
                answer = kAnswerTargetTimeout;
            } else if (m_target.IsProtected() && !m_target.IdMatches(code)) {
                m_targetUnlocked = false;
                answer = kAnswerIdRefused;
            } else {
                m_targetUnlocked = true;
            }
            Answer(AnswerFor(SimAnswerStep::Handshake, answer));
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
            Answer(AnswerFor(SimAnswerStep::Header, kAnswerOk));
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
            status(AnswerFor(SimAnswerStep::Page, intact ? kAnswerOk : kAnswerBadChecksum));
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
                Violation("'V' before the target was unlocked");
                status(kAnswerRefused);
            } else if (PageChecksum(b.data() + 5, kPageSize) != Le16(b, 3)) {
                status(AnswerFor(SimAnswerStep::Page, kAnswerBadChecksum));
            } else {
                bool ok = m_target.ProgramPage(page, b.data() + 5) == SimTarget::ProgramResult::Ok;
                status(AnswerFor(SimAnswerStep::Page, ok ? kAnswerOk : kAnswerFailed));
            }
            break;
        }
        case Kind::Erase: {
            std::uint16_t page = Le16(b, 1);
            m_log.push_back("E " + Hex4(page));
            if (!m_targetUnlocked) {
                Violation("'E' before the target was unlocked");
                status(kAnswerRefused);
            } else {
                bool ok = m_target.EraseBlockAt(static_cast<std::uint32_t>(page) << 8);
                status(AnswerFor(SimAnswerStep::Erase, ok ? kAnswerOk : kAnswerFailed));
            }
            break;
        }
        case Kind::ReadPage: {
            std::uint16_t page = Le16(b, 1);
            m_log.push_back("R " + Hex4(page));
            if (!m_targetUnlocked) {
                Violation("'R' before the target was unlocked: no answer");
                break;
            }
            std::array<std::uint8_t, kPageSize> data{};
            for (std::uint32_t i = 0; i < kPageSize; ++i) {
                const std::uint32_t address = (static_cast<std::uint32_t>(page) << 8) + i;
                data[i] =
                    m_target.IsFlash(address) ? m_target.Byte(address) : UnmappedByte(address);
            }
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
            if (!m_loaderSynced)
                ++m_loaderZeros;
            break;
        case Kind::LoaderEcho:
            m_log.push_back("B0");
            m_loaderSynced = true;
            if (!m_options.faults.loaderNoEcho)
                Answer(m_options.faults.loaderEcho.value_or(0xB0));
            break;
        case Kind::LoaderIdCheck: {
            m_log.push_back("F5");
            std::uint32_t address = static_cast<std::uint32_t>(b[1] | (b[2] << 8) | (b[3] << 16));
            m_loader.CheckId(address, b.data() + 5, b[4]);
            break;
        }
        case Kind::LoaderStatus: {
            m_log.push_back("70");
            ++m_statusReads;
            const std::uint32_t muteAt = m_options.faults.loaderMuteAt;
            if (muteAt != 0 && m_statusReads >= muteAt)
                break;
            auto srd = m_loader.Status(LoaderReady());
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
        case Kind::Deliver:
            for (std::uint8_t byte : b)
                Answer(byte);
            break;
    }
}

BridgeStatus SimulatedBox::GetDeviceCount(std::uint32_t& count) {
    count = 0;
    BridgeStatus status = Enter(0, false);
    if (status != kBridgeOk)
        return status;
    const std::vector<std::uint32_t>& sequence = m_options.faults.countSequence;
    if (m_countIndex < sequence.size())
        m_deviceCount = sequence[m_countIndex++];
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
    if (++m_writes == m_options.faults.writeFailsAt)
        return kBridgeOk;  // nothing delivered, 0 bytes written
    std::uint32_t deliver = count;
    if (m_options.faults.shortWrite && count > 1)
        deliver = count - 1;
    Listen(buffer, deliver);
    if (m_unplugged)
        return kBridgeDeviceNotFound;
    // The call returns once the bytes are on their way: the last one has
    // reached the box.
    if (m_lineFreeAt > m_clock.Now())
        m_clock.SleepFor(m_lineFreeAt - m_clock.Now());
    Update();
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
    if (baud == 0 || baud > kMaxBaud || m_options.faults.baudFails)
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
    // The line set-up raises RTS; the `busy-at:setup` fault answers with CTS high.
    auto& busy = m_options.faults.busyAt;
    if (m_rtsActive && busy && busy->first == SimBusyStep::Setup) {
        m_busyUntil = m_clock.Now() + busy->second;
        m_boxFreeAt = std::max(m_boxFreeAt, m_busyUntil);
        busy.reset();
    }
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

BridgeStatus SimulatedBox::WaitForAnswer(DeviceHandle handle, AnswerSignal signal,
                                         std::uint64_t maxWaitNs) {
    BridgeStatus result = Enter(handle, true);
    if (result != kBridgeOk)
        return result;
    const std::uint64_t deadline = m_clock.Now() + maxWaitNs;
    for (;;) {
        Update();
        const bool ready = signal == AnswerSignal::CtsLow ? !IsCtsHigh() : !m_hostRx.empty();
        const std::uint64_t now = m_clock.Now();
        if (ready || now >= deadline)
            return kBridgeOk;
        // The next moment anything can change: a piece of work done, the
        // boot over, a busy spell over.
        std::uint64_t next = deadline;
        if (!m_work.empty())
            next = std::min(next, m_work.front().completeAt);
        for (std::uint64_t at : {m_bootDoneAt, m_busyUntil}) {
            if (at > now)
                next = std::min(next, at);
        }
        if (next > now)
            m_clock.SleepFor(next - now);
    }
}

}  // namespace o8r
