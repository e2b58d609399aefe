#pragma once

// The operations API: one call per operation on the box, each returning a
// typed result. Progress goes to a listener, cancel comes through a token,
// and the questions an operation asks on its way come through one small
// interface the caller answers. The command line runs on it; the desktop
// program shares its link, protocol steps and outcomes while it keeps its
// own timer-driven engine.
//
// A session is handed what it works on (the part, its memory map and the ID
// code) and keeps the image it loads, so several sessions can run side by side.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/image/PageImage.h"
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
};

class BoxSession {
  public:
    BoxSession(Bridge& bridge, Clock& clock)
        : m_link(bridge, clock), m_clock(clock), m_image(std::make_unique<PageImage>()) {}

    void SetTarget(SessionTarget target) { m_target = std::move(target); }
    [[nodiscard]] const SessionTarget& Target() const { return m_target; }
    // The image the last Program, Load or Update loaded: its page records as sent.
    [[nodiscard]] const PageImage& Image() const { return *m_image; }

    // Finds exactly one box, opens it and starts it; NormalMode or
    // FirmwareUpdateMode, else why not. In firmware-update mode the target's
    // memory map becomes the box's own program memory.
    [[nodiscard]] OperationResult Detect();
    // Holds the box in reset and closes it, as closing the window does.
    void Release();

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
    [[nodiscard]] OperationResult Read(std::uint32_t start, std::uint32_t end,
                                       const OperationHooks& hooks);
    // Asks which image the box stores, then stores this one.
    [[nodiscard]] OperationResult Load(const std::string& imagePath, const OperationHooks& hooks);
    // Which image the box stores.
    [[nodiscard]] OperationResult QueryStore();
    // Writes new firmware through the box's loader (firmware-update mode only).
    [[nodiscard]] OperationResult Update(const std::string& imagePath, const OperationHooks& hooks);

  private:
    enum class Wait { Answered, TimedOut, Cancelled };

    [[nodiscard]] OperationResult RunProgram(const std::string& imagePath,
                                             const OperationHooks& hooks);
    [[nodiscard]] OperationResult RunVerify(const OperationHooks& hooks);
    [[nodiscard]] OperationResult RunErase(const std::vector<std::uint16_t>& blockPages,
                                           const OperationHooks& hooks);
    [[nodiscard]] OperationResult RunBlankCheck(std::uint32_t start, std::uint32_t end,
                                                const OperationHooks& hooks);
    [[nodiscard]] OperationResult RunRead(std::uint32_t start, std::uint32_t end,
                                          const OperationHooks& hooks);
    [[nodiscard]] OperationResult RunLoad(const std::string& imagePath,
                                          const OperationHooks& hooks);
    [[nodiscard]] OperationResult RunUpdate(const std::string& imagePath,
                                            const OperationHooks& hooks);
    // Runs an operation and hands its ending to the listener, unless the
    // operation did so already at its own moment.
    template <typename Run>
    [[nodiscard]] OperationResult Announced(const OperationHooks& hooks, Run run);
    void Announce(const OperationResult& result, const OperationHooks& hooks);
    // Requests each page of the range with 'R' and hands it to
    // `onPage`, which returns false to stop there. Completed, Cancelled, or
    // `lost` for a page that did not come whole in time.
    [[nodiscard]] Outcome ReadRangePages(
        const AddressRange& range, Operation operation, Outcome lost, const OperationHooks& hooks,
        const std::function<bool(std::uint32_t page, const PageBytes& bytes)>& onPage);
    OperationResult& AnnounceThenReset(OperationResult& result, const OperationHooks& hooks);

    // Reset, then the handshake; Completed or the failure, the box reset after it as needed.
    [[nodiscard]] OperationResult Connect(Operation operation, Handshake kind);
    // The reset that ends an operation; notes in `result` when the box stayed busy.
    OperationResult& EndWithReset(OperationResult& result);
    // The image file into the page records (or the last complete load of it).
    [[nodiscard]] std::optional<OperationResult> LoadImage(Operation operation,
                                                           const std::string& path,
                                                           const OperationHooks& hooks);
    // Waits for CTS low within `ticks` tick allowances; a cancel request is
    // put to the questions while waiting (the question's time not counted),
    // or, in a phase that cannot be cancelled, refused.
    [[nodiscard]] Wait AwaitAnswer(std::int32_t ticks, Operation operation,
                                   const OperationHooks& hooks,
                                   std::optional<Phase> uncancellable = std::nullopt);
    // Takes a cancel request back and tells the listener this phase runs on.
    static void RefuseCancel(const OperationHooks& hooks, Phase phase);
    [[nodiscard]] bool CancelConfirmed(Operation operation, const OperationHooks& hooks);
    // Sends the page records one by one, each after its answer; Completed or the failure.
    [[nodiscard]] OperationResult SendRecords(Operation operation, Phase phase, bool withCommand,
                                              std::int32_t ticks, const OperationHooks& hooks);

    BoxLink m_link;
    Clock& m_clock;
    SessionTarget m_target;
    std::unique_ptr<PageImage> m_image;  // large: kept off the stack
    std::string m_imagePath;
    bool m_updateMode = false;
    bool m_open = false;
    bool m_announced = false;
};

}  // namespace o8r
