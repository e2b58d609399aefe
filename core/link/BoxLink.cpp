#include "core/link/BoxLink.h"

#include <algorithm>
#include <vector>

namespace o8r {

void BoxLink::SetFlow(std::uint8_t rts, std::uint8_t dtr) {
    // A refused call shows in the next status query, which reads as busy.
    (void)m_bridge.SetFlowControl(m_handle, 0, rts, dtr, 0, 0, false);
}

void BoxLink::HoldReset() {
    SetFlow(0, 1);
}

void BoxLink::ReleaseReset() {
    SetFlow(0, 0);
}

std::uint8_t BoxLink::ModemStatus() {
    std::uint8_t status = kModemCts;
    if (m_bridge.GetModemStatus(m_handle, status) != kBridgeOk)
        return kModemCts;
    return status;
}

void BoxLink::Flush() {
    // Stale bytes are dropped; a flush that fails leaves nothing worse.
    (void)m_bridge.FlushBuffers(m_handle, 1, 1);
}

bool BoxLink::Reset() {
    HoldReset();
    return FinishReset();
}

bool BoxLink::FinishReset() {
    m_clock.Pause(kResetHold);
    ReleaseReset();
    for (int poll = 0; poll < kResetPolls; ++poll) {
        m_clock.PollPause(kResetPoll);
        const bool busy = Busy();
        Flush();
        if (!busy)
            return true;
    }
    return false;
}

bool BoxLink::ConfigureLine(std::uint32_t baud) {
    return m_bridge.SetBaudRate(m_handle, baud) == kBridgeOk &&
           m_bridge.SetLineControl(m_handle, kLineControl8N1) == kBridgeOk &&
           m_bridge.SetFlowControl(m_handle, 0, 1, 0, 0, 0, false) == kBridgeOk;
}

bool BoxLink::WaitReady(int maxPolls, bool loaderMode) {
    if (loaderMode) {
        for (int poll = 0; poll < maxPolls; ++poll) {
            std::uint32_t queued = 0;
            std::uint32_t queueStatus = 2;
            if (m_bridge.CheckRxQueue(m_handle, queued, queueStatus) == kBridgeOk && queued > 0)
                return true;
            m_clock.PollPause(kLoaderReadyPoll);
        }
        return false;
    }
    for (int poll = 0; poll < maxPolls; ++poll) {
        if (!Busy())
            return true;
        m_clock.PollPause(kReadyPoll);
    }
    return false;
}

bool BoxLink::AnswerReady(AnswerSignal signal) {
    if (signal == AnswerSignal::CtsLow)
        return !Busy();
    std::uint32_t queued = 0;
    std::uint32_t queueStatus = 0;
    return m_bridge.CheckRxQueue(m_handle, queued, queueStatus) == kBridgeOk && queued > 0;
}

bool BoxLink::AwaitAnswer(AnswerSignal signal, std::uint64_t until) {
    // A bridge wait that ended early with no answer (a wait it could not
    // keep) is followed by a short sleep, so that no wait ever spins.
    bool endedEarly = false;
    for (;;) {
        if (AnswerReady(signal))
            return true;
        const std::uint64_t now = m_clock.Now();
        if (now >= until)
            return false;
        const std::uint64_t left = until - now;
        if (endedEarly || m_bridge.WaitForAnswer(m_handle, signal, left) != kBridgeOk) {
            m_clock.SleepFor(std::min<std::uint64_t>(left, kAnswerLook.count()));
            endedEarly = false;
        } else {
            endedEarly = true;
        }
    }
}

bool BoxLink::Write(std::span<const std::uint8_t> bytes) {
    std::uint32_t written = 0;
    const auto count = static_cast<std::uint32_t>(bytes.size());
    return m_bridge.Write(m_handle, bytes.data(), count, written) == kBridgeOk && written == count;
}

bool BoxLink::SendPageRecord(const PageRecord& record, bool withCommandByte) {
    bool whole = true;
    if (withCommandByte)
        whole = Write(std::array{cmd::kProgramPage});
    // The record goes out even after a refused command byte: the box's answer
    // (or its silence) ends the page either way.
    return Write(record) && whole;
}

bool BoxLink::SendPageCommand(std::uint8_t command, std::uint16_t page) {
    const auto frame = PageCommand(command, page);
    const bool commandSent = Write(std::span(frame).first(1));
    return Write(std::span(frame).subspan(1)) && commandSent;
}

std::optional<std::uint8_t> BoxLink::ReadAnswer() {
    std::uint8_t byte = 0;
    std::uint32_t got = 0;
    if (m_bridge.Read(m_handle, &byte, 1, got) != kBridgeOk || got != 1)
        return std::nullopt;
    return byte;
}

bool BoxLink::ReadExactly(std::span<std::uint8_t> buffer) {
    std::uint32_t got = 0;
    const auto wanted = static_cast<std::uint32_t>(buffer.size());
    return m_bridge.Read(m_handle, buffer.data(), wanted, got) == kBridgeOk && got == wanted;
}

HandshakeResult BoxLink::Connect(Handshake kind, const IdCode& idCode,
                                 const StoreHeaderFields& store) {
    const HandshakeResult broken{Outcome::ConnectionBroken, false};
    if (!ConfigureLine(kNormalBaud))
        return {Outcome::LineSetupFailed, false};
    m_clock.Pause(kBeforeCommand);
    if (!WaitReady(kLineReadyPolls))
        return {Outcome::TimeOut, true};
    m_clock.Pause(kBeforeCommand);

    if (kind == Handshake::Target) {
        if (!Write(std::array{cmd::kConnectTarget}))
            return broken;
        m_clock.Pause(kAfterCommand);
        if (!WaitReady(kAnswerReadyPolls))
            return {Outcome::TimeOut, true};
        const auto answer = ReadAnswer();
        m_clock.Pause(kAfterCommand);
        if (answer != answer::kOk)
            return {Outcome::CanNotConnectTarget, true};
        if (!Write(std::array{cmd::kUnlock}) || !Write(idCode))
            return broken;
    } else {
        if (!Write(StoreHeader(store.pageCount)) || !Write(idCode))
            return broken;
        const auto* name = reinterpret_cast<const std::uint8_t*>(store.nameField.data());
        if (store.nameField.size() != kStoredNameSize || !Write(std::span(name, kStoredNameSize)))
            return broken;
        // The closing zero's fate shows in the box's answer.
        (void)Write(std::array{kStoreHeaderEnd});
    }

    m_clock.Pause(kAfterCommand);
    if (!WaitReady(kAnswerReadyPolls))
        return {Outcome::TimeOut, true};
    const auto answer = ReadAnswer();
    if (answer == answer::kOk)
        return {Outcome::Completed, false};
    if (kind == Handshake::Store)
        return {Outcome::CanNotConnectProgrammer, true};
    if (answer == answer::kIdRefused)
        return {Outcome::IdCodeError, true};
    if (answer == answer::kTargetTimeOut)
        return {Outcome::TimeOut, true};
    return {Outcome::CanNotConnectProgrammer, true};
}

StoreQuery BoxLink::QueryStore() {
    StoreQuery query;
    if (!ConfigureLine(kNormalBaud)) {
        query.outcome = Outcome::LineSetupFailed;
        return query;
    }
    m_clock.Pause(kBeforeCommand);
    if (!WaitReady(kLineReadyPolls)) {
        query.outcome = Outcome::TimeOut;
        query.resetAfter = true;
        return query;
    }
    m_clock.Pause(kBeforeCommand);
    if (!Write(std::array{cmd::kQueryStore})) {
        query.outcome = Outcome::ConnectionBroken;
        return query;
    }
    m_clock.Pause(kAfterCommand);
    if (!WaitReady(kAnswerReadyPolls)) {
        query.outcome = Outcome::TimeOut;
        query.resetAfter = true;
        return query;
    }
    // An answer that did not come whole says nothing about the store: taken
    // for an empty one, Load would overwrite the image without asking.
    std::array<std::uint8_t, kStoredNameSize> answer{};
    if (!ReadExactly(answer)) {
        query.outcome = Outcome::TimeOut;
        query.resetAfter = true;
        return query;
    }
    query.storedName = StoredFileName(answer);
    return query;
}

std::uint32_t BoxLink::DeviceCount() {
    std::uint32_t count = 0;
    if (m_bridge.GetDeviceCount(count) != kBridgeOk)
        return 0;
    return count;
}

bool BoxLink::OpenFirstDevice() {
    // A handle still open (from before a second box came, or one whose close
    // failed) is released before device 0 is opened again, so none leaks.
    if (m_handle != 0) {
        (void)m_bridge.Close(m_handle);
        m_handle = 0;
    }
    DeviceHandle handle = 0;
    if (m_bridge.Open(0, handle) != kBridgeOk)
        return false;
    m_handle = handle;
    return true;
}

bool BoxLink::StartOpenedBox() {
    ReleaseReset();
    HoldReset();
    m_clock.Pause(kDetectResetHold);
    ReleaseReset();
    m_clock.Pause(kDetectStartUp);
    Flush();
    const bool loader = Busy();
    // The time-outs bound every later read and write; a bridge that refuses
    // them keeps its own.
    (void)m_bridge.SetTimeouts(kLinkTimeoutMs, kLinkTimeoutMs);
    return loader;
}

void BoxLink::Release() {
    HoldReset();
    CloseHandle();
}

void BoxLink::CloseHandle() {
    if (m_bridge.Close(m_handle) == kBridgeOk)
        m_handle = 0;
}

namespace {

// The characters of a UTF-8 text: a lead byte with its continuation bytes is
// one character, a stray byte another.
std::vector<std::string> Utf8Characters(const std::string& text) {
    std::vector<std::string> characters;
    for (char ch : text) {
        const auto byte = static_cast<std::uint8_t>(ch);
        if ((byte & 0xC0) == 0x80 && !characters.empty() &&
            static_cast<std::uint8_t>(characters.back().front()) >= 0xC0 &&
            characters.back().size() < 4) {
            characters.back() += ch;
        } else {
            characters.emplace_back(1, ch);
        }
    }
    return characters;
}

bool Printable(std::uint8_t byte) {
    return byte >= 0x20 && byte < 0x7F;
}

// The first 16 characters in plain ASCII, filled up with spaces. The box
// keeps plain ASCII: anything else would read back as an empty store (a byte of
// 0x80 or above) or as control characters.
std::string NameField(const std::vector<std::string>& characters) {
    std::string field(kStoredNameSize, ' ');
    for (std::size_t k = 0; k < kStoredNameSize && k < characters.size(); ++k) {
        const std::string& character = characters[k];
        const auto byte = static_cast<std::uint8_t>(character.front());
        field[k] = character.size() == 1 && Printable(byte) ? character.front() : '_';
    }
    return field;
}

}  // namespace

std::string LoadNameField(const std::string& path) {
    // The separator is looked for from the last character down to the second,
    // so a bare name (or one right after a leading separator) counts as none.
    std::string name;
    for (std::size_t i = path.size(); i-- > 1;) {
        if (path[i] == '\\' || path[i] == '/') {
            name = path.substr(i + 1);
            break;
        }
    }
    std::vector<std::string> characters = Utf8Characters(name);
    characters.resize(characters.size() > 4 ? characters.size() - 4 : 0);
    std::string field = NameField(characters);
    if (field.find_first_not_of(' ') != std::string::npos)
        return field;
    // A blank field would hide the image: the whole file name (a bare one too)
    // is stored instead, so the query names it and the next Load asks about it;
    // a path without any name stores "_".
    const std::size_t separator = path.find_last_of("/\\");
    characters = Utf8Characters(separator == std::string::npos ? path : path.substr(separator + 1));
    field = NameField(characters);
    if (field.find_first_not_of(' ') == std::string::npos)
        field[0] = '_';
    return field;
}

std::optional<std::string> StoredFileName(std::span<const std::uint8_t> answer) {
    if (answer.size() != kStoredNameSize)
        return std::nullopt;
    std::string name;
    for (std::uint8_t byte : answer) {
        if (byte >= 0x80)
            return std::nullopt;
        // Control characters are never shown to a terminal as they stand.
        name += Printable(byte) ? static_cast<char>(byte) : '_';
    }
    const auto last = name.find_last_not_of(' ');
    name.erase(last == std::string::npos ? 0 : last + 1);
    return name;
}

}  // namespace o8r
