#include "operations/BoxSession.h"

#include <algorithm>

#include "app/Messages.h"
#include "app/SharedState.h"
#include "operations/LoaderExchange.h"
#include "operations/RangePages.h"
#include "operations/VerifyPages.h"
#include "srec/FileLoadJob.h"

namespace o8r {

namespace {

// The longest a cancellable wait blocks before it looks at the cancel token
// again, so that Ctrl-C is noticed promptly during a long answer.
constexpr std::uint64_t kCancelLookNs = 10 * kNsPerMs;

void Started(const OperationHooks& hooks, Phase phase) {
    if (hooks.listener != nullptr)
        hooks.listener->PhaseStarted(phase);
}

void Reached(const OperationHooks& hooks, int percent) {
    if (hooks.listener != nullptr)
        hooks.listener->Progress(percent);
}

void Ended(const OperationHooks& hooks, Phase phase) {
    if (hooks.listener != nullptr)
        hooks.listener->PhaseEnded(phase);
}

OperationResult Result(Operation operation, Outcome outcome) {
    OperationResult result;
    result.operation = operation;
    result.outcome = outcome;
    return result;
}

// Sets the range as the address dialog does for the window.
void SetRange(std::uint32_t start, std::uint32_t end) {
    g_rangeStart = start;
    g_rangeEnd = end;
    g_rangePageCount = static_cast<std::uint16_t>((end >> 8) - (start >> 8) + 1);
    g_currentPage = static_cast<std::uint16_t>(start >> 8);
}

}  // namespace

OperationResult BoxSession::Detect() {
    std::uint32_t count = 0;
    // A failed count leaves the count it reported, as the window's poll takes it.
    (void)m_link.GetBridge().GetDeviceCount(count);
    g_lastDeviceCount = static_cast<std::int8_t>(count & 0xFF);
    m_open = true;  // released at the end whatever was found, as the window does
    if (count == 0)
        return Result(Operation::Detect, Outcome::NoProgrammer);
    if (count != 1)
        return Result(Operation::Detect, Outcome::MoreThanOneProgrammer);
    if (!m_link.OpenFirstDevice())
        return Result(Operation::Detect, Outcome::CanNotOpenProgrammer);
    m_updateMode = m_link.StartOpenedBox();
    if (m_updateMode) {
        SetMemoryMap(kFirmwareUpdateMap);
        return Result(Operation::Detect, Outcome::FirmwareUpdateMode);
    }
    return Result(Operation::Detect, Outcome::NormalMode);
}

void BoxSession::Release() {
    if (m_open)
        m_link.Release();
    m_open = false;
}

OperationResult& BoxSession::EndWithReset(OperationResult& result) {
    result.resetFailed = !m_link.Reset();
    return result;
}

void BoxSession::Announce(const OperationResult& result, const OperationHooks& hooks) {
    m_announced = true;
    if (hooks.listener != nullptr)
        hooks.listener->Finished(result);
}

template <typename Run>
OperationResult BoxSession::Announced(const OperationHooks& hooks, Run run) {
    m_announced = false;
    OperationResult result = run();
    if (!m_announced)
        Announce(result, hooks);
    return result;
}

OperationResult& BoxSession::AnnounceThenReset(OperationResult& result,
                                               const OperationHooks& hooks) {
    Announce(result, hooks);
    return EndWithReset(result);
}

OperationResult BoxSession::Program(const std::string& imagePath, const OperationHooks& hooks) {
    return Announced(hooks, [&] { return RunProgram(imagePath, hooks); });
}

OperationResult BoxSession::Verify(const OperationHooks& hooks) {
    return Announced(hooks, [&] { return RunVerify(hooks); });
}

OperationResult BoxSession::Erase(const std::vector<std::uint16_t>& blockPages,
                                  const OperationHooks& hooks) {
    return Announced(hooks, [&] { return RunErase(blockPages, hooks); });
}

OperationResult BoxSession::BlankCheck(std::uint32_t start, std::uint32_t end,
                                       const OperationHooks& hooks) {
    return Announced(hooks, [&] { return RunBlankCheck(start, end, hooks); });
}

OperationResult BoxSession::Read(std::uint32_t start, std::uint32_t end,
                                 const OperationHooks& hooks) {
    return Announced(hooks, [&] { return RunRead(start, end, hooks); });
}

OperationResult BoxSession::Load(const std::string& imagePath, const OperationHooks& hooks) {
    return Announced(hooks, [&] { return RunLoad(imagePath, hooks); });
}

OperationResult BoxSession::Update(const std::string& imagePath, const OperationHooks& hooks) {
    return Announced(hooks, [&] { return RunUpdate(imagePath, hooks); });
}

OperationResult BoxSession::Connect(Operation operation, Handshake kind) {
    if (!m_link.Reset())
        return Result(operation, Outcome::ResetFailed);
    StoreHeaderFields store;
    if (kind == Handshake::Store)
        store = {g_pageCount, LoadNameField(g_filePath)};
    const HandshakeResult handshake = m_link.Connect(kind, g_idCode, store);
    OperationResult result = Result(operation, handshake.outcome);
    if (handshake.outcome != Outcome::Completed && handshake.resetAfter)
        EndWithReset(result);
    return result;
}

std::optional<OperationResult> BoxSession::LoadImage(Operation operation, const std::string& path,
                                                     const OperationHooks& hooks) {
    if (path.empty())
        return Result(operation, Outcome::FileNotChosen);
    g_filePath = path;
    const ImageFileCheck check = CheckImageFile(path);
    if (check == ImageFileCheck::TooLarge)
        return Result(operation, Outcome::FileTooLarge);
    std::optional<Message> failure;
    if (check == ImageFileCheck::Load) {
        Started(hooks, Phase::LoadingFile);
        Reached(hooks, 0);
        failure = LoadImageFile(path, [&hooks](int percent) { Reached(hooks, percent); });
        Ended(hooks, Phase::LoadingFile);
    }
    // An image without a page would end "successfully" having sent nothing
    // (and Load would replace the image the box stores with an empty one).
    if (!failure && g_pageCount == 0)
        failure = Message{std::string(text::kErrorFormat) + "\nThe file holds no data to send",
                          text::kCaptionError, MsgIcon::Error, MsgButtons::Ok, Owner::FileLoading};
    if (!failure)
        return std::nullopt;
    OperationResult result = Result(operation, Outcome::FileRefused);
    result.fileMessage = std::move(failure);
    return result;
}

bool BoxSession::CancelConfirmed(Operation operation, const OperationHooks& hooks) {
    hooks.cancel->Clear();
    return hooks.questions == nullptr || hooks.questions->ConfirmCancel(operation);
}

void BoxSession::RefuseCancel(const OperationHooks& hooks, Phase phase) {
    if (hooks.cancel == nullptr || !hooks.cancel->Requested())
        return;
    hooks.cancel->Clear();
    if (hooks.listener != nullptr)
        hooks.listener->CannotCancel(phase);
}

BoxSession::Wait BoxSession::AwaitAnswer(std::int32_t ticks, Operation operation,
                                         const OperationHooks& hooks,
                                         std::optional<Phase> uncancellable) {
    std::uint64_t deadline = m_clock.DeadlineAfter(TickAllowance(ticks));
    for (;;) {
        if (uncancellable) {
            RefuseCancel(hooks, *uncancellable);
        } else if (hooks.cancel != nullptr && hooks.cancel->Requested()) {
            // The question's time is not the box's.
            const std::uint64_t asked = m_clock.Now();
            if (CancelConfirmed(operation, hooks))
                return Wait::Cancelled;
            deadline += m_clock.Now() - asked;
        }
        std::uint64_t until = deadline;
        if (hooks.cancel != nullptr)
            until = std::min(until, m_clock.Now() + kCancelLookNs);
        if (m_link.AwaitAnswer(AnswerSignal::CtsLow, until))
            return Wait::Answered;
        if (m_clock.Now() >= deadline)
            return Wait::TimedOut;
    }
}

OperationResult BoxSession::SendRecords(Operation operation, Phase phase, bool withCommand,
                                        std::int32_t ticks, const OperationHooks& hooks) {
    // Never more records than their array holds, whatever the count says.
    const int count = std::min<int>(g_pageCount, static_cast<int>(kMaxPageRecords));
    OperationResult result = Result(operation, Outcome::Completed);
    Started(hooks, phase);
    for (int i = 0; i < count; ++i) {
        result.percent = i * 100 / count;
        // A write the box did not take shows as its silence: the wait times out.
        (void)m_link.SendPageRecord(g_pageRecords[static_cast<std::size_t>(i)], withCommand);
        Reached(hooks, result.percent);
        const Wait wait = AwaitAnswer(ticks, operation, hooks);
        if (wait != Wait::Answered) {
            result.outcome = wait == Wait::Cancelled ? Outcome::Cancelled : Outcome::TimeOut;
            break;
        }
        if (m_link.ReadAnswer() != answer::kOk) {
            result.outcome = Outcome::VerifyError;
            break;
        }
    }
    Ended(hooks, phase);
    return result;
}

Outcome BoxSession::ReadRangePages(
    Operation operation, Outcome lost, const OperationHooks& hooks,
    const std::function<bool(std::uint32_t page, const PageBytes& bytes)>& onPage) {
    for (std::uint32_t page = g_rangeStart >> 8; page <= (g_rangeEnd >> 8); ++page) {
        g_currentPage = static_cast<std::uint16_t>(page);
        // A request the box did not take shows as its silence: the wait times out.
        (void)m_link.SendPageCommand(cmd::kReadPage, g_currentPage);
        const Wait wait = AwaitAnswer(kReadPageTicks, operation, hooks);
        if (wait == Wait::Cancelled)
            return Outcome::Cancelled;
        PageBytes bytes{};
        if (wait == Wait::TimedOut || !m_link.ReadExactly(bytes))
            return lost;
        if (!onPage(page, bytes))
            break;
    }
    return Outcome::Completed;
}

OperationResult BoxSession::RunProgram(const std::string& imagePath, const OperationHooks& hooks) {
    if (g_selectedMcu.empty())
        return Result(Operation::Program, Outcome::NoMcuSelected);
    OperationResult connected = Connect(Operation::Program, Handshake::Target);
    if (connected.outcome != Outcome::Completed)
        return connected;
    // The loading dialog shows why before the box is reset.
    if (auto refused = LoadImage(Operation::Program, imagePath, hooks))
        return AnnounceThenReset(*refused, hooks);
    OperationResult result =
        SendRecords(Operation::Program, Phase::Program, true, kProgramPageTicks, hooks);
    return EndWithReset(result);
}

OperationResult BoxSession::RunVerify(const OperationHooks& hooks) {
    OperationResult connected = Connect(Operation::Verify, Handshake::Target);
    if (connected.outcome != Outcome::Completed)
        return connected;
    Started(hooks, Phase::Verify);
    Reached(hooks, 0);
    OperationResult result =
        VerifyResult(VerifyPages(m_link, g_pageRecords.data(), g_pageCount, [&hooks](int percent) {
            RefuseCancel(hooks, Phase::Verify);
            Reached(hooks, percent);
        }));
    Ended(hooks, Phase::Verify);
    return EndWithReset(result);
}

OperationResult BoxSession::RunErase(const std::vector<std::uint16_t>& blockPages,
                                     const OperationHooks& hooks) {
    if (g_selectedMcu.empty())
        return Result(Operation::Erase, Outcome::NoMcuSelected);
    OperationResult result = Connect(Operation::Erase, Handshake::Target);
    if (result.outcome != Outcome::Completed)
        return result;
    // An erase cannot be cancelled: a block half erased is worse than one
    // erased in full.
    Started(hooks, Phase::Erase);
    int percent = 0;
    const int step = blockPages.empty() ? 0 : 100 / static_cast<int>(blockPages.size());
    for (std::uint16_t page : blockPages) {
        // A command the box did not take shows as its silence: the wait times out.
        (void)m_link.SendPageCommand(cmd::kEraseBlock, page);
        percent += step;
        Reached(hooks, percent);
        const Wait wait = AwaitAnswer(kEraseBlockTicks, Operation::Erase, hooks, Phase::Erase);
        if (wait != Wait::Answered) {
            result.outcome = Outcome::TimeOut;
            break;
        }
        if (m_link.ReadAnswer() != answer::kOk) {
            result.outcome = Outcome::EraseError;
            break;
        }
    }
    Ended(hooks, Phase::Erase);
    return EndWithReset(result);
}

OperationResult BoxSession::RunBlankCheck(std::uint32_t start, std::uint32_t end,
                                          const OperationHooks& hooks) {
    if (g_selectedMcu.empty())
        return Result(Operation::BlankCheck, Outcome::NoMcuSelected);
    OperationResult result = Connect(Operation::BlankCheck, Handshake::Target);
    if (result.outcome != Outcome::Completed)
        return result;
    SetRange(start, end);
    Started(hooks, Phase::BlankCheck);
    // Bytes that never came must not pass for erased ones.
    const Outcome walked =
        ReadRangePages(Operation::BlankCheck, Outcome::TimeOut, hooks,
                       [&](std::uint32_t page, const PageBytes& bytes) {
                           if (auto filled = FirstFilledAddress(bytes, page, start, end)) {
                               result.outcome = Outcome::CheckAreaNotEmpty;
                               result.address = *filled;
                               return false;
                           }
                           result.percent = RangePercent(page - (start >> 8) + 1, g_rangePageCount);
                           Reached(hooks, result.percent);
                           return true;
                       });
    if (walked != Outcome::Completed)
        result.outcome = walked;
    Ended(hooks, Phase::BlankCheck);
    // A finding is shown while the box still holds the range; every other
    // ending resets the box first.
    if (result.outcome == Outcome::CheckAreaNotEmpty)
        return AnnounceThenReset(result, hooks);
    return EndWithReset(result);
}

OperationResult BoxSession::RunRead(std::uint32_t start, std::uint32_t end,
                                    const OperationHooks& hooks) {
    if (g_selectedMcu.empty())
        return Result(Operation::Read, Outcome::NoMcuSelected);
    OperationResult result = Connect(Operation::Read, Handshake::Target);
    if (result.outcome != Outcome::Completed)
        return result;
    SetRange(start, end);
    result.rangeStart = start;
    Started(hooks, Phase::Read);
    Reached(hooks, 0);
    // A page that does not arrive whole is never kept as if it had.
    result.outcome =
        ReadRangePages(Operation::Read, Outcome::ReadTimeOut, hooks,
                       [&](std::uint32_t page, const PageBytes& bytes) {
                           const PageSpan span = BytesInRange(page, start, end);
                           result.data.insert(result.data.end(), bytes.begin() + span.from,
                                              bytes.begin() + span.to + 1);
                           Reached(hooks, RangePercent(page - (start >> 8) + 1, g_rangePageCount));
                           return true;
                       });
    if (result.outcome == Outcome::Completed) {
        // A short reset pulse tells the box the read is over.
        m_link.HoldReset();
        m_clock.Pause(kReadEndPulse);
        m_link.ReleaseReset();
    }
    Ended(hooks, Phase::Read);
    // The read window shows how the read ended; the box is reset once it closes.
    return AnnounceThenReset(result, hooks);
}

OperationResult BoxSession::RunLoad(const std::string& imagePath, const OperationHooks& hooks) {
    if (g_selectedMcu.empty())
        return Result(Operation::Load, Outcome::NoMcuSelected);
    const StoreQuery query = m_link.QueryStore();
    if (query.outcome != Outcome::Completed) {
        OperationResult failed = Result(Operation::Load, query.outcome);
        return query.resetAfter ? EndWithReset(failed) : failed;
    }
    if (query.storedName &&
        (hooks.questions == nullptr || !hooks.questions->ReplaceStoredImage(*query.storedName))) {
        OperationResult kept = Result(Operation::Load, Outcome::StoreKept);
        return EndWithReset(kept);
    }
    if (auto refused = LoadImage(Operation::Load, imagePath, hooks))
        return AnnounceThenReset(*refused, hooks);
    OperationResult connected = Connect(Operation::Load, Handshake::Store);
    if (connected.outcome != Outcome::Completed) {
        // The window resets the box once more after a failed connect.
        return AnnounceThenReset(connected, hooks);
    }
    OperationResult result =
        SendRecords(Operation::Load, Phase::Load, false, kStoreRecordTicks, hooks);
    return EndWithReset(result);
}

OperationResult BoxSession::QueryStore() {
    const StoreQuery query = m_link.QueryStore();
    OperationResult result = Result(Operation::Query, query.outcome);
    if (query.outcome != Outcome::Completed)
        return query.resetAfter ? EndWithReset(result) : result;
    if (query.storedName) {
        result.outcome = Outcome::StoredName;
        result.storedName = *query.storedName;
    } else {
        result.outcome = Outcome::StoreEmpty;
    }
    return EndWithReset(result);
}

OperationResult BoxSession::RunUpdate(const std::string& imagePath, const OperationHooks& hooks) {
    if (!m_updateMode)
        return Result(Operation::Update, Outcome::NotInUpdateMode);
    if (!m_link.ConfigureLine(kLoaderBaud))
        return Result(Operation::Update, Outcome::UpdateLineSetupFailed);
    if (auto refused = LoadImage(Operation::Update, imagePath, hooks))
        return *refused;
    LoaderCallbacks callbacks;
    // The box's own firmware is half written once the erase begins: the
    // update cannot be cancelled, and says so when asked.
    callbacks.erasing = [&hooks] {
        RefuseCancel(hooks, Phase::Update);
        if (hooks.listener != nullptr)
            hooks.listener->Erasing();
    };
    callbacks.programming = [&hooks] {
        RefuseCancel(hooks, Phase::Update);
        Started(hooks, Phase::Update);
        Reached(hooks, 0);
    };
    callbacks.progress = [&hooks](int percent) {
        RefuseCancel(hooks, Phase::Update);
        Reached(hooks, percent);
    };
    OperationResult result = Result(Operation::Update, RunLoaderExchange(m_link, callbacks));
    if (result.outcome == Outcome::Completed)
        Reached(hooks, 100);
    Ended(hooks, Phase::Update);
    return result;
}

}  // namespace o8r
