#include "core/operations/VerifyPages.h"

#include "core/operations/RangePages.h"

namespace o8r {

namespace {

// The box holds CTS high while it reads the page and drops it when the 256
// bytes are ready; a failed status query reads as busy.
bool PageReady(BoxLink& link) {
    Clock& clock = link.GetClock();
    return link.AwaitAnswer(AnswerSignal::CtsLow,
                            clock.DeadlineAfter(TickAllowance(kReadPageTicks)));
}

}  // namespace

VerifyOutcome VerifyPages(BoxLink& link, const PageRecord* records, std::size_t count,
                          const std::function<void(int)>& progress) {
    VerifyOutcome outcome;
    for (std::size_t i = 0; i < count; ++i) {
        const PageRecord& record = records[i];
        const std::uint16_t page = PageRecordNumber(record);
        if (progress)
            progress(static_cast<int>(i * 100 / count));
        // A request the box did not take shows as its silence: the wait times out.
        (void)link.SendPageCommand(cmd::kReadPage, page);

        outcome.address = static_cast<std::uint32_t>(page) << 8;
        if (!PageReady(link)) {
            outcome.kind = VerifyOutcome::Kind::TimedOut;
            return outcome;
        }
        PageBytes data{};
        if (!link.ReadExactly(data)) {
            outcome.kind = VerifyOutcome::Kind::ShortPage;
            return outcome;
        }
        for (std::size_t k = 0; k < kPageSize; ++k) {
            const std::uint8_t expected = record[kPageRecordDataOffset + k];
            if (data[k] != expected) {
                outcome.kind = VerifyOutcome::Kind::Mismatch;
                outcome.address += static_cast<std::uint32_t>(k);
                outcome.expected = expected;
                outcome.actual = data[k];
                return outcome;
            }
        }
        ++outcome.pagesChecked;
    }
    outcome.address = 0;
    return outcome;
}

OperationResult VerifyResult(const VerifyOutcome& outcome) {
    OperationResult result{Operation::Verify, Outcome::Completed};
    switch (outcome.kind) {
        case VerifyOutcome::Kind::Match:
            break;
        case VerifyOutcome::Kind::Mismatch:
            result.outcome = Outcome::VerifyMismatch;
            result.address = outcome.address;
            result.expected = outcome.expected;
            result.actual = outcome.actual;
            break;
        case VerifyOutcome::Kind::TimedOut:
        case VerifyOutcome::Kind::ShortPage:
            result.outcome = Outcome::TimeOut;
            break;
    }
    return result;
}

}  // namespace o8r
