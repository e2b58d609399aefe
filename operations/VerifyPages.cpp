#include "operations/VerifyPages.h"

#include <array>
#include <cstdio>

#include "app/Ids.h"
#include "app/Messages.h"
#include "app/ProgrammerController.h"

namespace o8r {

namespace {

constexpr std::uint8_t kReadCommand = 0x52;  // 'R'

enum class PageWait { Ready, Late };

// The box holds CTS high while it reads the page and drops it when the 256
// bytes are ready; a failed status query reads as busy.
PageWait WaitForPage(Bridge& bridge, DeviceHandle handle, Clock& clock) {
    const std::uint64_t deadline = clock.Now() + kVerifyPageTicks * kTickAllowanceNs;
    for (;;) {
        clock.PollPause(0);
        std::uint8_t status = kModemCts;
        if (bridge.GetModemStatus(handle, status) != kBridgeOk) {
            status = kModemCts;
        }
        if ((status & kModemCts) == 0) {
            return PageWait::Ready;
        }
        if (clock.Now() >= deadline) {
            return PageWait::Late;
        }
    }
}

}  // namespace

VerifyOutcome VerifyPages(Bridge& bridge, DeviceHandle handle, Clock& clock,
                          const PageRecord* records, std::size_t count,
                          const std::function<void(int)>& progress) {
    VerifyOutcome outcome;
    for (std::size_t i = 0; i < count; ++i) {
        const PageRecord& record = records[i];
        const std::uint16_t page = PageRecordNumber(record);
        if (progress) {
            progress(static_cast<int>(i * 100 / count));
        }
        std::uint32_t written = 0;
        bridge.Write(handle, &kReadCommand, 1, written);
        const std::array<std::uint8_t, 2> pageBytes{static_cast<std::uint8_t>(page & 0xFF),
                                                    static_cast<std::uint8_t>(page >> 8)};
        bridge.Write(handle, pageBytes.data(), 2, written);

        outcome.address = static_cast<std::uint32_t>(page) << 8;
        if (WaitForPage(bridge, handle, clock) == PageWait::Late) {
            outcome.kind = VerifyOutcome::Kind::TimedOut;
            return outcome;
        }
        std::array<std::uint8_t, kPageSize> data{};
        std::uint32_t got = 0;
        if (bridge.Read(handle, data.data(), kPageSize, got) != kBridgeOk || got != kPageSize) {
            outcome.kind = VerifyOutcome::Kind::ShortPage;
            return outcome;
        }
        for (std::size_t k = 0; k < kPageSize; ++k) {
            if (data[k] != record[4 + k]) {
                outcome.kind = VerifyOutcome::Kind::Mismatch;
                outcome.address += static_cast<std::uint32_t>(k);
                outcome.expected = record[4 + k];
                outcome.actual = data[k];
                return outcome;
            }
        }
        ++outcome.pagesChecked;
    }
    outcome.address = 0;
    return outcome;
}

Message VerifyMessage(const VerifyOutcome& outcome) {
    switch (outcome.kind) {
        case VerifyOutcome::Kind::Match:
            return Message{kVerifyCompleted, text::kCaptionInfo, MsgIcon::None, MsgButtons::Ok,
                           Owner::MainWindow};
        case VerifyOutcome::Kind::Mismatch: {
            char detail[96];
            std::snprintf(detail, sizeof detail, "%05X reads 0x%02X, 0x%02X was programmed.",
                          static_cast<unsigned>(outcome.address), outcome.actual, outcome.expected);
            return Message{std::string(kVerifyMismatch) + detail, text::kCaptionError,
                           MsgIcon::Error, MsgButtons::Ok, Owner::MainWindow};
        }
        case VerifyOutcome::Kind::TimedOut:
        case VerifyOutcome::Kind::ShortPage:
            break;
    }
    return Message{text::kTimeOutError, text::kCaptionError, MsgIcon::Error, MsgButtons::Ok,
                   Owner::MainWindow};
}

bool RunVerifyPages(ProgrammerController& controller, Bridge& bridge, Clock& clock, MainView& view,
                    Prompts& prompts) {
    // Any operation type but Load takes the target path of the handshake.
    controller.m_operationType = OP_READ;
    if (!controller.ConnectProgrammer()) {
        return false;
    }
    controller.EnableCommandButtons(false);
    view.SetProgress(0);
    view.ShowControl(IDC_PROGRESS, true);
    view.ShowControl(IDC_STATUS, false);
    const VerifyOutcome outcome =
        VerifyPages(bridge, g_hDevice, clock, g_pageRecords.data(), g_pageCount,
                    [&view](int percent) { view.SetProgress(percent); });
    controller.ResetProgrammer();
    prompts.ShowMessage(VerifyMessage(outcome));
    return outcome.kind == VerifyOutcome::Kind::Match;
}

}  // namespace o8r
