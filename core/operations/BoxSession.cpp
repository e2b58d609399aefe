#include "core/operations/BoxSession.h"

#include <algorithm>

#include "core/model/Messages.h"
#include "core/operations/FileLoadJob.h"
#include "core/operations/LoaderExchange.h"
#include "core/operations/RangePages.h"
#include "core/operations/VerifyPages.h"

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

OperationResult MakeResult(Operation operation, Outcome outcome) {
    OperationResult result;
    result.operation = operation;
    result.outcome = outcome;
    return result;
}

}  // namespace

BoxSession::BoxSession(Bridge& bridge, Clock& clock, PageImage* image)
    : m_link(bridge, clock),
      m_clock(clock),
      m_ownImage(image == nullptr ? std::make_unique<PageImage>() : nullptr),
      m_image(image == nullptr ? m_ownImage.get() : image) {}

OperationResult BoxSession::Detect() {
    std::uint32_t count = 0;
    // A failed count leaves the count it reported, as the window's poll takes it.
    (void)m_link.GetBridge().GetDeviceCount(count);
    m_open = true;  // released at the end whatever was found, as the window does
    if (count == 0)
        return MakeResult(Operation::Detect, Outcome::NoProgrammer);
    if (count != 1)
        return MakeResult(Operation::Detect, Outcome::MoreThanOneProgrammer);
    if (!m_link.OpenFirstDevice())
        return MakeResult(Operation::Detect, Outcome::CanNotOpenProgrammer);
    m_updateMode = m_link.StartOpenedBox();
    if (m_updateMode) {
        m_target.map = kFirmwareUpdateMap;
        return MakeResult(Operation::Detect, Outcome::FirmwareUpdateMode);
    }
    return MakeResult(Operation::Detect, Outcome::NormalMode);
}

void BoxSession::Release() {
    if (m_open)
        m_link.Release();
    m_open = false;
}

OperationResult& BoxSession::EndWithReset(OperationResult& result, const OperationHooks& hooks) {
    if (hooks.listener != nullptr)
        hooks.listener->Resetting();
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
    return EndWithReset(result, hooks);
}

OperationResult BoxSession::Connect(Operation operation, Handshake kind) {
    if (m_hooks.listener != nullptr)
        m_hooks.listener->Resetting();
    if (!m_link.Reset())
        return MakeResult(operation, Outcome::ResetFailed);
    StoreHeaderFields store;
    if (kind == Handshake::Store)
        store = {m_image->pageCount, LoadNameField(m_imagePath)};
    const HandshakeResult handshake = m_link.Connect(kind, m_target.idCode, store);
    OperationResult result = MakeResult(operation, handshake.outcome);
    if (handshake.outcome != Outcome::Completed && handshake.resetAfter)
        EndWithReset(result, m_hooks);
    return result;
}

std::optional<OperationResult> BoxSession::LoadImage(Operation operation, const std::string& path,
                                                     const OperationHooks& hooks) {
    if (path.empty())
        return MakeResult(operation, Outcome::FileNotChosen);
    m_imagePath = path;
    const ImageFileCheck check = CheckImageFile(*m_image, path, m_target.map, m_target.binaryBase);
    if (check == ImageFileCheck::TooLarge)
        return MakeResult(operation, Outcome::FileTooLarge);
    std::optional<Message> failure;
    if (check == ImageFileCheck::Load) {
        Started(hooks, Phase::LoadingFile);
        Reached(hooks, 0);
        failure = LoadImageFile(
            *m_image, path, m_target.map, [&hooks](int percent) { Reached(hooks, percent); },
            m_target.binaryBase);
        Ended(hooks, Phase::LoadingFile);
    }
    // An image without a page would end "successfully" having sent nothing
    // (and Load would replace the image the box stores with an empty one).
    if (!failure && m_image->pageCount == 0)
        failure = Message{std::string(text::kErrorFormat) + "\nThe file holds no data to send",
                          text::kCaptionError, MsgIcon::Error, MsgButtons::Ok, Owner::FileLoading};
    if (!failure && m_target.serial) {
        if (auto refused = PlaceSerial(*m_image, m_target.map, *m_target.serial))
            failure = Message{*refused, text::kCaptionError, MsgIcon::Error, MsgButtons::Ok,
                              Owner::FileLoading};
    }
    if (!failure)
        return std::nullopt;
    OperationResult result = MakeResult(operation, Outcome::FileRefused);
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

BoxSession::Wait BoxSession::AwaitAnswer(std::uint64_t& deadline, Operation operation,
                                         const OperationHooks& hooks,
                                         std::optional<Phase> uncancellable) {
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

// ---- The stepped operations: Program, Load, Erase, Blank Check, Read ----

void BoxSession::Begin(Operation operation, const OperationHooks& hooks) {
    m_hooks = hooks;
    m_result = MakeResult(operation, Outcome::Completed);
    m_phaseStarted = false;
    m_index = 0;
    m_stage = Stage::Start;
}

Pending BoxSession::Step() {
    switch (m_stage) {
        case Stage::Idle:
            return Pending::Ended;
        case Stage::Start:
            return Start();
        case Stage::Closing:
            // The ending was announced already: only the reset is left.
            m_stage = Stage::Idle;
            EndWithReset(m_result, m_hooks);
            return Pending::Ended;
        case Stage::Asking:
            return Pending::Question;
        case Stage::SendRecord:
        case Stage::SendErase:
        case Stage::RequestPage:
            return SendNext();
        case Stage::AwaitRecordAnswer:
        case Stage::AwaitEraseAnswer:
        case Stage::AwaitPage:
            // One look at the answer; a failed status query reads as busy.
            return EvaluateAnswer(m_link.AnswerReady(AnswerSignal::CtsLow));
    }
    return Pending::Ended;
}

Pending BoxSession::Start() {
    const Operation operation = m_result.operation;
    if (m_target.part.empty())
        return End(Outcome::NoMcuSelected, Ending::NoReset);
    if (operation == Operation::Load) {
        // Load asks the store first; it connects once the image is loaded.
        const StoreQuery query = m_link.QueryStore();
        if (query.outcome != Outcome::Completed)
            return End(query.outcome,
                       query.resetAfter ? Ending::ResetThenAnnounce : Ending::NoReset);
        if (query.storedName) {
            m_storedName = *query.storedName;
            return Ask(Question::ReplaceStoredImage);
        }
        return Ask(Question::ImageFile);
    }
    const OperationResult connected = Connect(operation, Handshake::Target);
    if (connected.outcome != Outcome::Completed)
        return EndWith(connected, Ending::NoReset);
    switch (operation) {
        case Operation::Erase:
            return Ask(Question::EraseBlocks);
        case Operation::BlankCheck:
        case Operation::Read:
            return Ask(Question::Range);
        default:
            return Ask(Question::ImageFile);
    }
}

Pending BoxSession::Ask(Question question) {
    m_question = question;
    m_stage = Stage::Asking;
    return Pending::Question;
}

Pending BoxSession::AnswerReplaceStoredImage(bool replace) {
    if (m_stage != Stage::Asking)
        return Step();
    if (!replace)
        return End(Outcome::StoreKept);
    return Ask(Question::ImageFile);
}

Pending BoxSession::AnswerImageFile(const std::string& path) {
    if (m_stage != Stage::Asking)
        return Step();
    // The loading dialog shows why before the box is reset.
    if (auto refused = LoadImage(m_result.operation, path, m_hooks))
        return EndWith(*refused, Ending::AnnounceThenReset);
    return ImageReady();
}

Pending BoxSession::AnswerImageLoaded(const std::string& path, bool loaded) {
    if (m_stage != Stage::Asking)
        return Step();
    m_imagePath = path;
    if (!loaded)
        return End(Outcome::FileNotChosen, Ending::AnnounceThenReset);
    return ImageReady();
}

Pending BoxSession::ImageReady() {
    if (m_result.operation == Operation::Load) {
        const OperationResult connected = Connect(Operation::Load, Handshake::Store);
        // The window resets the box once more after a failed connect.
        if (connected.outcome != Outcome::Completed)
            return EndWith(connected, Ending::AnnounceThenReset);
        return BeginExchanges(Phase::Load, Stage::SendRecord);
    }
    return BeginExchanges(Phase::Program, Stage::SendRecord);
}

Pending BoxSession::AnswerEraseBlocks(std::optional<std::vector<std::uint16_t>> blockPages) {
    if (m_stage != Stage::Asking)
        return Step();
    if (!blockPages)
        return End(Outcome::ChoiceCancelled);
    m_blockPages = std::move(*blockPages);
    m_eraseStep = m_blockPages.empty() ? 0 : 100 / static_cast<int>(m_blockPages.size());
    m_result.percent = 0;
    // An erase cannot be cancelled: a block half erased is worse than one erased in full.
    return BeginExchanges(Phase::Erase, Stage::SendErase);
}

Pending BoxSession::AnswerRange(std::optional<AddressRange> range) {
    if (m_stage != Stage::Asking)
        return Step();
    if (!range)
        return End(Outcome::ChoiceCancelled);
    m_range = *range;
    m_page = m_range.FirstPage();
    if (m_result.operation == Operation::Read) {
        m_result.rangeStart = m_range.start;
        m_result.data.clear();
        const Pending pending = BeginExchanges(Phase::Read, Stage::RequestPage);
        Reached(m_hooks, 0);
        return pending;
    }
    return BeginExchanges(Phase::BlankCheck, Stage::RequestPage);
}

Pending BoxSession::BeginExchanges(Phase phase, Stage first) {
    m_phase = phase;
    m_phaseStarted = true;
    Started(m_hooks, phase);
    m_stage = first;
    return Pending::Box;
}

Pending BoxSession::SendNext() {
    const Operation operation = m_result.operation;
    if (m_stage == Stage::SendRecord) {
        const int count = static_cast<int>(m_image->RecordCount());
        if (m_index >= count)
            return End(Outcome::Completed);
        m_result.percent = m_index * 100 / count;
        // A write the box did not take shows as its silence: the wait times out.
        (void)m_link.SendPageRecord(m_image->pageRecords[static_cast<std::size_t>(m_index)],
                                    operation == Operation::Program);
        Reached(m_hooks, m_result.percent);
        m_deadline = m_clock.DeadlineAfter(
            TickAllowance(operation == Operation::Program ? kProgramPageTicks : kStoreRecordTicks));
        ++m_index;
        m_stage = Stage::AwaitRecordAnswer;
        return Pending::Box;
    }
    if (m_stage == Stage::SendErase) {
        if (m_index >= static_cast<int>(m_blockPages.size()))
            return End(Outcome::Completed);
        // A command the box did not take shows as its silence: the wait times out.
        (void)m_link.SendPageCommand(cmd::kEraseBlock,
                                     m_blockPages[static_cast<std::size_t>(m_index)]);
        m_result.percent += m_eraseStep;
        Reached(m_hooks, m_result.percent);
        m_deadline = m_clock.DeadlineAfter(TickAllowance(kEraseBlockTicks));
        ++m_index;
        m_stage = Stage::AwaitEraseAnswer;
        return Pending::Box;
    }
    if (m_page > m_range.LastPage()) {
        if (operation != Operation::Read)
            return End(Outcome::Completed);
        // A short reset pulse tells the box the read is over.
        m_link.HoldReset();
        m_clock.Pause(kReadEndPulse);
        m_link.ReleaseReset();
        return End(Outcome::Completed, Ending::AnnounceThenResetLater);
    }
    // A request the box did not take shows as its silence: the wait times out.
    (void)m_link.SendPageCommand(cmd::kReadPage, static_cast<std::uint16_t>(m_page));
    m_deadline = m_clock.DeadlineAfter(TickAllowance(kReadPageTicks));
    m_stage = Stage::AwaitPage;
    return Pending::Box;
}

Pending BoxSession::EvaluateAnswer(bool ready) {
    const bool reading = m_result.operation == Operation::Read;
    if (!ready) {
        // The decision is on elapsed time, so a fast look never cuts a slow box short.
        if (m_clock.Now() >= m_deadline)
            return reading ? End(Outcome::ReadTimeOut, Ending::AnnounceThenResetLater)
                           : End(Outcome::TimeOut);
        return Pending::Box;
    }
    switch (m_stage) {
        case Stage::AwaitRecordAnswer:
            if (m_link.ReadAnswer() != answer::kOk)
                return End(Outcome::VerifyError);
            m_stage = Stage::SendRecord;
            break;
        case Stage::AwaitEraseAnswer:
            if (m_link.ReadAnswer() != answer::kOk)
                return End(Outcome::EraseError);
            m_stage = Stage::SendErase;
            break;
        case Stage::AwaitPage: {
            PageBytes bytes{};
            // Bytes that never came must not pass for erased ones, and a page
            // that does not arrive whole is never kept as if it had.
            if (!m_link.ReadExactly(bytes)) {
                return reading ? End(Outcome::ReadTimeOut, Ending::AnnounceThenResetLater)
                               : End(Outcome::TimeOut);
            }
            if (reading) {
                const PageSpan span = BytesInRange(m_page, m_range.start, m_range.end);
                m_result.data.insert(m_result.data.end(), bytes.begin() + span.from,
                                     bytes.begin() + span.to + 1);
            } else if (auto filled =
                           FirstFilledAddress(bytes, m_page, m_range.start, m_range.end)) {
                m_result.address = *filled;
                // A finding is shown while the box still holds the range.
                return End(Outcome::CheckAreaNotEmpty, Ending::AnnounceThenReset);
            }
            m_result.percent = RangePercent(m_page - m_range.FirstPage() + 1, m_range.PageCount());
            ++m_page;
            Reached(m_hooks, m_result.percent);
            m_stage = Stage::RequestPage;
            break;
        }
        default:
            return Step();
    }
    // A good answer: the next command goes out in this same step, so a page
    // costs the box's time and not a step more.
    return SendNext();
}

Pending BoxSession::End(Outcome outcome, Ending ending) {
    OperationResult result = m_result;
    result.outcome = outcome;
    return EndWith(result, ending);
}

Pending BoxSession::EndWith(const OperationResult& result, Ending ending) {
    OperationResult ended = result;
    if (m_phaseStarted)
        Ended(m_hooks, m_phase);
    m_phaseStarted = false;
    m_stage = Stage::Idle;
    switch (ending) {
        case Ending::ResetThenAnnounce:
            EndWithReset(ended, m_hooks);
            Announce(ended, m_hooks);
            break;
        case Ending::AnnounceThenReset:
            AnnounceThenReset(ended, m_hooks);
            break;
        case Ending::AnnounceThenResetLater:
            // The box holds the range until the caller steps once more.
            Announce(ended, m_hooks);
            m_result = std::move(ended);
            m_stage = Stage::Closing;
            return Pending::Box;
        case Ending::NoReset:
            Announce(ended, m_hooks);
            break;
    }
    m_result = std::move(ended);
    return Pending::Ended;
}

bool BoxSession::CancellableStage() const {
    switch (m_stage) {
        case Stage::SendRecord:
        case Stage::AwaitRecordAnswer:
        case Stage::RequestPage:
        case Stage::AwaitPage:
            return true;
        default:
            return false;
    }
}

bool BoxSession::Cancel() {
    if (!CancellableStage())
        return false;
    (void)End(Outcome::Cancelled, m_result.operation == Operation::Read
                                      ? Ending::AnnounceThenResetLater
                                      : Ending::ResetThenAnnounce);
    return true;
}

bool BoxSession::AwaitingAnswer() const {
    return m_stage == Stage::AwaitRecordAnswer || m_stage == Stage::AwaitEraseAnswer ||
           m_stage == Stage::AwaitPage;
}

void BoxSession::DiscountWait(std::uint64_t ns) {
    if (AwaitingAnswer())
        m_deadline += ns;
}

OperationResult BoxSession::RunToEnd(const std::function<Pending(Question)>& answer) {
    Pending pending = Step();
    for (;;) {
        switch (pending) {
            case Pending::Ended:
                return m_result;
            case Pending::Question:
                pending = answer(m_question);
                break;
            case Pending::Box: {
                if (!AwaitingAnswer()) {
                    pending = Step();
                    break;
                }
                std::optional<Phase> uncancellable;
                if (m_stage == Stage::AwaitEraseAnswer)
                    uncancellable = Phase::Erase;
                switch (AwaitAnswer(m_deadline, m_result.operation, m_hooks, uncancellable)) {
                    case Wait::Answered:
                        pending = EvaluateAnswer(true);
                        break;
                    case Wait::TimedOut:
                        pending = EvaluateAnswer(false);
                        break;
                    case Wait::Cancelled:
                        (void)Cancel();
                        pending = Step();
                        break;
                }
                break;
            }
        }
    }
}

// ---- The blocking calls ----

OperationResult BoxSession::UseImage(const std::string& imagePath, const OperationHooks& hooks) {
    if (auto refused = LoadImage(Operation::Program, imagePath, hooks))
        return *refused;
    return MakeResult(Operation::Program, Outcome::Completed);
}

OperationResult BoxSession::Program(const std::string& imagePath, const OperationHooks& hooks) {
    Begin(Operation::Program, hooks);
    return RunToEnd([&](Question) { return AnswerImageFile(imagePath); });
}

OperationResult BoxSession::Load(const std::string& imagePath, const OperationHooks& hooks) {
    Begin(Operation::Load, hooks);
    return RunToEnd([&](Question question) {
        if (question == Question::ReplaceStoredImage) {
            return AnswerReplaceStoredImage(hooks.questions != nullptr &&
                                            hooks.questions->ReplaceStoredImage(m_storedName));
        }
        return AnswerImageFile(imagePath);
    });
}

OperationResult BoxSession::Erase(const std::vector<std::uint16_t>& blockPages,
                                  const OperationHooks& hooks) {
    Begin(Operation::Erase, hooks);
    return RunToEnd([&](Question) { return AnswerEraseBlocks(blockPages); });
}

OperationResult BoxSession::BlankCheck(std::uint32_t start, std::uint32_t end,
                                       const OperationHooks& hooks) {
    Begin(Operation::BlankCheck, hooks);
    return RunToEnd([&](Question) { return AnswerRange(AddressRange{start, end}); });
}

OperationResult BoxSession::Verify(const OperationHooks& hooks) {
    m_hooks = hooks;
    return Announced(hooks, [&] {
        OperationResult connected = Connect(Operation::Verify, Handshake::Target);
        if (connected.outcome != Outcome::Completed)
            return connected;
        Started(hooks, Phase::Verify);
        Reached(hooks, 0);
        OperationResult result = VerifyResult(VerifyPages(
            m_link, m_image->pageRecords.data(), m_image->RecordCount(), [&hooks](int percent) {
                RefuseCancel(hooks, Phase::Verify);
                Reached(hooks, percent);
            }));
        Ended(hooks, Phase::Verify);
        return EndWithReset(result, hooks);
    });
}

OperationResult BoxSession::Read(std::uint32_t start, std::uint32_t end,
                                 const OperationHooks& hooks) {
    Begin(Operation::Read, hooks);
    return RunToEnd([&](Question) { return AnswerRange(AddressRange{start, end}); });
}

OperationResult BoxSession::QueryStore() {
    m_hooks = {};
    const StoreQuery query = m_link.QueryStore();
    OperationResult result = MakeResult(Operation::Query, query.outcome);
    if (query.outcome != Outcome::Completed)
        return query.resetAfter ? EndWithReset(result, m_hooks) : result;
    if (query.storedName) {
        result.outcome = Outcome::StoredName;
        result.storedName = *query.storedName;
    } else {
        result.outcome = Outcome::StoreEmpty;
    }
    return EndWithReset(result, m_hooks);
}

OperationResult BoxSession::Update(const std::string& imagePath, const OperationHooks& hooks) {
    m_hooks = hooks;
    return Announced(hooks, [&] {
        if (!m_updateMode)
            return MakeResult(Operation::Update, Outcome::NotInUpdateMode);
        if (!m_link.ConfigureLine(kLoaderBaud))
            return MakeResult(Operation::Update, Outcome::UpdateLineSetupFailed);
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
        OperationResult result =
            MakeResult(Operation::Update, RunLoaderExchange(m_link, *m_image, callbacks));
        if (result.outcome == Outcome::Completed)
            Reached(hooks, 100);
        Ended(hooks, Phase::Update);
        return result;
    });
}

}  // namespace o8r
