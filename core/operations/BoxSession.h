#pragma once

// The operations API and its one engine. Program, Load, Erase, Blank Check and
// Read advance one exchange with the box per Step() and never block on the box's
// answer: a step sends the next command, or looks at the awaited answer once,
// and says what the operation waits for next. The desktop program steps them
// from its 1 ms operation timer; the blocking calls (Program(), Erase(), ...)
// run the same steps to the end, waiting on the answer in between. Progress
// goes to a listener, cancel comes through a token or Cancel(), and what the
// operation must be told on its way (the image file, the blocks, the range,
// whether to replace the stored image) it asks as a question.
//
// A session is handed what it works on (the part, its memory map and the ID
// code) and keeps the image it loads, so several sessions run side by side.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/image/PageImage.h"
#include "core/image/SerialNumber.h"
#include "core/link/BoxLink.h"
#include "core/model/MemoryMap.h"
#include "core/model/Outcome.h"
#include "core/operations/RangePages.h"
#include "core/protocol/Bridge.h"
#include "core/protocol/Clock.h"

namespace o8r {

// Set from anywhere (a signal handler included: it is a lock-free atomic);
// the running operation notices it between two exchanges with the box.
class CancelToken {
  public:
    void Request() { m_requested.store(true); }
    void Clear() { m_requested.store(false); }
    [[nodiscard]] bool Requested() const { return m_requested.load(); }

  private:
    std::atomic<bool> m_requested{false};
};

// The parts of an operation a progress display shows, one after the other.
enum class Phase { LoadingFile, Program, Verify, Erase, BlankCheck, Read, Load, Update };

class OperationListener {
  public:
    virtual ~OperationListener() = default;
    virtual void PhaseStarted(Phase) {}
    virtual void Progress(int /*percent*/) {}
    virtual void PhaseEnded(Phase) {}
    // The firmware loader has started to erase its blocks.
    virtual void Erasing() {}
    // A cancel was requested in a phase that cannot be cancelled (an erase,
    // the verify read-back, the firmware update); the operation carries on.
    virtual void CannotCancel(Phase) {}
    // The box is about to be reset: to connect, or to end the operation.
    virtual void Resetting() {}
    // The operation's ending, at the moment the window would show it: before
    // or after the reset that ends the operation, as the ending has it. The
    // result returned afterwards is the same, and says whether that reset
    // found the box still busy.
    virtual void Finished(const OperationResult&) {}
};

class OperationQuestions {
  public:
    virtual ~OperationQuestions() = default;
    // The box stores an image named `name`: may Load replace it?
    [[nodiscard]] virtual bool ReplaceStoredImage(const std::string& name) = 0;
    // A cancel was requested: does the operation stop?
    [[nodiscard]] virtual bool ConfirmCancel(Operation operation) = 0;
};

struct OperationHooks {
    OperationListener* listener = nullptr;
    CancelToken* cancel = nullptr;
    // None: a cancel request stops the operation at once, and a stored image is kept.
    OperationQuestions* questions = nullptr;
};

// What a session works on.
struct SessionTarget {
    std::string part;  // empty: no part chosen
    MemoryMap map;
    IdCode idCode = ErasedIdCode();
    // Where a binary image file loads; empty: the map's program ROM.
    std::optional<std::uint32_t> binaryBase = std::nullopt;
    // This board's serial number, written into the image once it is loaded.
    std::optional<SerialPatch> serial = std::nullopt;
};

// What a stepped operation waits for after a step.
enum class Pending {
    Box,       // the box: step again (at once if no answer is awaited)
    Question,  // an answer to Asked()
    Ended,     // nothing: Result() holds the ending
};

// What a stepped operation asks.
enum class Question {
    ImageFile,           // AnswerImageFile or AnswerImageLoaded
    EraseBlocks,         // AnswerEraseBlocks
    Range,               // AnswerRange
    ReplaceStoredImage,  // AnswerReplaceStoredImage; StoredName() names it
};

class BoxSession {
  public:
    // With `image`, the session loads into that image (the main window's own)
    // instead of one of its own.
    BoxSession(Bridge& bridge, Clock& clock, PageImage* image = nullptr);

    void SetTarget(SessionTarget target) { m_target = std::move(target); }
    // The serial number of the board about to be programmed; nothing: none.
    void SetSerial(std::optional<SerialPatch> serial) { m_target.serial = std::move(serial); }
    [[nodiscard]] const SessionTarget& Target() const { return m_target; }
    // The image the last Program, Load or Update loaded: its page records as sent.
    [[nodiscard]] const PageImage& Image() const { return *m_image; }
    [[nodiscard]] BoxLink& Link() { return m_link; }

    // Finds exactly one box, opens it and starts it; NormalMode or
    // FirmwareUpdateMode, else why not. In firmware-update mode the target's
    // memory map becomes the box's own program memory.
    [[nodiscard]] OperationResult Detect();
    // Holds the box in reset and closes it, as closing the window does.
    void Release();

    // Stepping: Begin, then Step() until it says Pending::Ended. Program and
    // Load ask for the image file, Erase for the blocks, Blank Check and Read
    // for the range, each once the box is connected; Load first asks whether
    // to replace an image the box stores. A read's ending is announced while
    // the box still holds the range: the step after it resets the box.
    void Begin(Operation operation, const OperationHooks& hooks);
    [[nodiscard]] Pending Step();
    [[nodiscard]] Question Asked() const { return m_question; }
    [[nodiscard]] const std::string& StoredName() const { return m_storedName; }
    // The engine loads the file (progress goes to the listener); empty: none chosen.
    // Each answer takes the operation on as far as a step would.
    [[nodiscard]] Pending AnswerImageFile(const std::string& path);
    // The caller has loaded the file into Image() itself, showing its own messages.
    [[nodiscard]] Pending AnswerImageLoaded(const std::string& path, bool loaded);
    // The first pages of the blocks, in the order to erase them; nothing: cancelled.
    [[nodiscard]] Pending AnswerEraseBlocks(std::optional<std::vector<std::uint16_t>> blockPages);
    [[nodiscard]] Pending AnswerRange(std::optional<AddressRange> range);
    [[nodiscard]] Pending AnswerReplaceStoredImage(bool replace);
    // Stops the running operation at once when it can be cancelled (the box is
    // reset, a read's on the next step, and the result is Cancelled); false
    // when it cannot.
    [[nodiscard]] bool Cancel();
    // Time spent on a question is not the box's: the awaited answer's
    // allowance is moved on by `ns`.
    void DiscountWait(std::uint64_t ns);
    [[nodiscard]] bool AwaitingAnswer() const;
    [[nodiscard]] std::uint64_t AnswerDeadline() const { return m_deadline; }
    [[nodiscard]] bool Running() const { return m_stage != Stage::Idle; }
    [[nodiscard]] Operation Current() const { return m_result.operation; }
    // Blank Check: the page of the range requested next, or awaited.
    [[nodiscard]] std::uint32_t RangePage() const { return m_page; }
    // Page records or erase commands sent so far by the running operation.
    [[nodiscard]] int CommandsSent() const { return m_index; }
    // Who hears the running operation from now on (the read window while it is open).
    void SetListener(OperationListener* listener) { m_hooks.listener = listener; }
    [[nodiscard]] const OperationResult& Result() const { return m_result; }

    // The blocking calls: each runs its operation to the end.
    // Loads an image file under the target's memory map without touching the
    // box, for a Verify of it; Completed or the refusal.
    [[nodiscard]] OperationResult UseImage(const std::string& imagePath,
                                           const OperationHooks& hooks);
    // Connects, loads the image file, and programs it page by page.
    [[nodiscard]] OperationResult Program(const std::string& imagePath,
                                          const OperationHooks& hooks);
    // Reads every page of the image's page records back and compares it.
    [[nodiscard]] OperationResult Verify(const OperationHooks& hooks);
    // Erases the blocks starting at these pages, in this order; not cancellable.
    [[nodiscard]] OperationResult Erase(const std::vector<std::uint16_t>& blockPages,
                                        const OperationHooks& hooks);
    // The inclusive range, start <= end, as the address dialog accepts it.
    [[nodiscard]] OperationResult BlankCheck(std::uint32_t start, std::uint32_t end,
                                             const OperationHooks& hooks);
    // The bytes come in the result (`data` from `rangeStart` on), and page by
    // page in Result() while it is stepped.
    [[nodiscard]] OperationResult Read(std::uint32_t start, std::uint32_t end,
                                       const OperationHooks& hooks);
    // Asks which image the box stores, then stores this one.
    [[nodiscard]] OperationResult Load(const std::string& imagePath, const OperationHooks& hooks);
    // Which image the box stores.
    [[nodiscard]] OperationResult QueryStore();
    // Writes new firmware through the box's loader (firmware-update mode only).
    [[nodiscard]] OperationResult Update(const std::string& imagePath, const OperationHooks& hooks);

  private:
    enum class Stage {
        Idle,
        Start,              // begun: the checks and the connect come first
        Asking,             // m_question is out
        SendRecord,         // Program, Load: the next page record, or the end
        AwaitRecordAnswer,  //
        SendErase,          // Erase: the next block, or the end
        AwaitEraseAnswer,   //
        RequestPage,        // Blank Check, Read: the next page, or the end
        AwaitPage,          //
        Closing,            // Read: its ending announced, the reset to come
    };
    enum class Wait { Answered, TimedOut, Cancelled };

    // Runs a begun operation to its end, answering its questions with `answer`
    // and waiting on the box's answers.
    [[nodiscard]] OperationResult RunToEnd(const std::function<Pending(Question)>& answer);
    [[nodiscard]] Pending Start();
    // The image is in the page records: Program sends them, Load connects to the store first.
    [[nodiscard]] Pending ImageReady();
    [[nodiscard]] Pending Ask(Question question);
    [[nodiscard]] Pending SendNext();
    // The look at the awaited answer: `ready` says whether it came.
    [[nodiscard]] Pending EvaluateAnswer(bool ready);
    // The phase of the exchanges begins with its first command.
    [[nodiscard]] Pending BeginExchanges(Phase phase, Stage first);
    // Ends the operation with m_result: the phase's end, then (as asked) the
    // ending announced before or after the closing reset, or no reset at all.
    enum class Ending { ResetThenAnnounce, AnnounceThenReset, AnnounceThenResetLater, NoReset };
    [[nodiscard]] Pending End(Outcome outcome, Ending ending = Ending::ResetThenAnnounce);
    [[nodiscard]] Pending EndWith(const OperationResult& result,
                                  Ending ending = Ending::ResetThenAnnounce);
    [[nodiscard]] bool CancellableStage() const;

    // Runs an operation and hands its ending to the listener, unless the
    // operation did so already at its own moment.
    template <typename Run>
    [[nodiscard]] OperationResult Announced(const OperationHooks& hooks, Run run);
    void Announce(const OperationResult& result, const OperationHooks& hooks);
    OperationResult& AnnounceThenReset(OperationResult& result, const OperationHooks& hooks);

    // Reset, then the handshake; Completed or the failure, the box reset after it as needed.
    [[nodiscard]] OperationResult Connect(Operation operation, Handshake kind);
    // The reset that ends an operation; notes in `result` when the box stayed busy.
    OperationResult& EndWithReset(OperationResult& result, const OperationHooks& hooks);
    // The image file into the page records (or the last complete load of it).
    [[nodiscard]] std::optional<OperationResult> LoadImage(Operation operation,
                                                           const std::string& path,
                                                           const OperationHooks& hooks);
    // Waits for CTS low until `deadline`; a cancel request is put to the
    // questions while waiting (the question's time not counted), or, in a
    // phase that cannot be cancelled, refused.
    [[nodiscard]] Wait AwaitAnswer(std::uint64_t& deadline, Operation operation,
                                   const OperationHooks& hooks,
                                   std::optional<Phase> uncancellable = std::nullopt);
    // Takes a cancel request back and tells the listener this phase runs on.
    static void RefuseCancel(const OperationHooks& hooks, Phase phase);
    [[nodiscard]] bool CancelConfirmed(Operation operation, const OperationHooks& hooks);

    BoxLink m_link;
    Clock& m_clock;
    SessionTarget m_target;
    std::unique_ptr<PageImage> m_ownImage;
    PageImage* m_image;
    std::string m_imagePath;
    bool m_updateMode = false;
    bool m_open = false;
    bool m_announced = false;

    // The stepped operation.
    Stage m_stage = Stage::Idle;
    OperationHooks m_hooks;
    OperationResult m_result;
    Question m_question = Question::ImageFile;
    std::string m_storedName;
    Phase m_phase = Phase::Program;
    bool m_phaseStarted = false;
    int m_index = 0;  // page records or blocks sent
    std::vector<std::uint16_t> m_blockPages;
    int m_eraseStep = 0;
    AddressRange m_range;
    std::uint32_t m_page = 0;
    std::uint64_t m_deadline = 0;
};

}  // namespace o8r
