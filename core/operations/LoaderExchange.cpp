#include "core/operations/LoaderExchange.h"

#include <array>
#include <optional>

namespace o8r {

namespace {

using Failure = std::optional<Outcome>;

class Exchange {
  public:
    Exchange(BoxLink& link, const PageImage& image, const LoaderCallbacks& callbacks)
        : m_link(link), m_clock(link.GetClock()), m_image(image), m_callbacks(callbacks) {}

    Outcome Run() {
        if (Failure failure = Synchronise())
            return *failure;
        if (Failure failure = CheckId())
            return *failure;
        if (m_callbacks.erasing)
            m_callbacks.erasing();
        if (Failure failure = EraseBlock(loader::kBlock0Middle, Outcome::UpdateBlock0EraseError))
            return *failure;
        if (Failure failure = EraseBlock(loader::kBlock1Middle, Outcome::UpdateBlock1EraseError))
            return *failure;
        if (m_callbacks.programming)
            m_callbacks.programming();
        const int count = m_image.pageCount;
        for (int i = 0; i < count; ++i) {
            if (m_callbacks.progress)
                m_callbacks.progress(i * 100 / count);
            if (Failure failure = ProgramPage(m_image.pageRecords[static_cast<std::size_t>(i)]))
                return *failure;
        }
        return Outcome::Completed;
    }

  private:
    // The loader takes every byte in a write of its own.
    bool Send(std::uint8_t byte) { return m_link.Write(std::array{byte}); }

    bool WaitReady(int polls) { return m_link.WaitReady(polls, true); }

    // Both status bytes, or nothing: a status cut short is no status.
    bool ReadStatus(std::array<std::uint8_t, 2>& status) { return m_link.ReadExactly(status); }

    // Flush, 0x70, and the loader's answer after at most `polls` polls.
    // `pauseAfterCommand` lets a block erase finish before the polls start.
    Failure RequestStatus(std::chrono::nanoseconds pauseAfterCommand, int polls,
                          std::array<std::uint8_t, 2>& status) {
        m_link.Flush();
        if (!Send(loader::kReadStatus))
            return Outcome::ConnectionBroken;
        if (pauseAfterCommand.count() != 0)
            m_clock.Pause(pauseAfterCommand);
        if (!WaitReady(polls) || !ReadStatus(status))
            return Outcome::UpdateTimeOut;
        return std::nullopt;
    }

    Failure Synchronise() {
        for (int i = 0; i < loader::kSyncCount; ++i) {
            if (!Send(loader::kSync))
                return Outcome::ConnectionBroken;
            m_clock.Pause(loader::kAfterSync);
        }
        m_link.Flush();
        if (!Send(loader::kBaudCheck))
            return Outcome::ConnectionBroken;
        if (!WaitReady(loader::kShortWaitPolls))
            return Outcome::UpdateTimeOut;
        std::array<std::uint8_t, 1> echo{};
        if (!m_link.ReadExactly(echo))
            return Outcome::UpdateTimeOut;
        if (echo[0] != loader::kBaudCheck)
            return Outcome::UpdateCanNotConnect;
        return std::nullopt;
    }

    Failure CheckId() {
        m_clock.Pause(loader::kBeforeIdCheck);
        for (std::uint8_t byte : loader::kIdCheck) {
            if (!Send(byte))
                return Outcome::ConnectionBroken;
            m_clock.Pause(loader::kBetweenBytes);
        }
        m_clock.Pause(loader::kBeforeIdStatus);
        std::array<std::uint8_t, 2> status{};
        if (Failure failure = RequestStatus({}, loader::kShortWaitPolls, status))
            return failure;
        if ((status[1] & loader::kStatusIdAccepted) != loader::kStatusIdAccepted)
            return Outcome::UpdateIdCodeError;
        return std::nullopt;
    }

    Failure EraseBlock(std::uint8_t addressMiddle, Outcome eraseFailed) {
        for (std::uint8_t byte :
             {loader::kBlockErase, addressMiddle, loader::kBlockHigh, loader::kEraseConfirm}) {
            if (!Send(byte))
                return Outcome::ConnectionBroken;
            m_clock.Pause(loader::kBetweenBytes);
        }
        m_clock.Pause(loader::kEraseWait);
        std::array<std::uint8_t, 2> status{};
        if (Failure failure = RequestStatus(loader::kEraseWait, loader::kEraseWaitPolls, status))
            return failure;
        if (!(status[0] & loader::kStatusReady))
            return Outcome::UpdateTimeOut;
        if (status[0] & loader::kStatusEraseFailed)
            return eraseFailed;
        return std::nullopt;
    }

    // Page number (address bits 8-15, then 16-23) and the 256 data bytes; the
    // record's checksum is for the normal-mode box and is not sent.
    Failure ProgramPage(const PageRecord& record) {
        m_clock.Pause(loader::kBetweenBytes);
        if (!Send(loader::kPageProgram))
            return Outcome::ConnectionBroken;
        m_clock.Pause(loader::kBetweenBytes);
        for (std::size_t k = 0; k < 2; ++k) {
            if (!Send(record[k]))
                return Outcome::ConnectionBroken;
            m_clock.Pause(loader::kBetweenBytes);
        }
        for (std::size_t k = kPageRecordDataOffset; k < kPageRecordSize; ++k) {
            if (!Send(record[k]))
                return Outcome::ConnectionBroken;
            m_clock.Pause(loader::kBetweenBytes);
        }
        m_clock.Pause(loader::kProgramWait);
        m_link.Flush();
        if (!Send(loader::kReadStatus))
            return Outcome::ConnectionBroken;
        std::array<std::uint8_t, 2> status{};
        if (!WaitReady(loader::kShortWaitPolls) || !ReadStatus(status))
            return Outcome::TimeOut;
        if (!(status[0] & loader::kStatusReady))
            return Outcome::UpdateTimeOut;
        if (status[0] & loader::kStatusProgramFailed)
            return Outcome::UpdateProgramError;
        return std::nullopt;
    }

    BoxLink& m_link;
    Clock& m_clock;
    const PageImage& m_image;
    const LoaderCallbacks& m_callbacks;
};

}  // namespace

Outcome RunLoaderExchange(BoxLink& link, const PageImage& image, const LoaderCallbacks& callbacks) {
    return Exchange(link, image, callbacks).Run();
}

}  // namespace o8r
