#include "support/ControllerHarness.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "core/model/Ids.h"
#include "core/operations/AddressRangeEntry.h"
#include "core/operations/EraseBlockChoice.h"
#include "core/operations/FileLoadJob.h"
#include "core/window/SharedState.h"
#include "support/SRecordText.h"
#include "support/SimRig.h"
#include "support/TestData.h"

#include <gtest/gtest.h>

namespace o8r::test {

namespace {

class ProgressLoadView : public FileLoadView {
  public:
    explicit ProgressLoadView(std::vector<int>& progress) : m_progress(progress) {}
    void SetText(const std::string&) override {}
    void SetProgress(int percent) override { m_progress.push_back(percent); }

  private:
    std::vector<int>& m_progress;
};

SimOptions Prepared(SimOptions options) {
    // The shared state lives outside the harness; each harness starts afresh.
    ResetSharedState();
    return options;
}

std::string Hex(const std::uint8_t* bytes, std::uint32_t count) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (std::uint32_t i = 0; i < count; ++i) {
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 0x0F];
    }
    return text;
}

constexpr BridgeStatus kInjectedFailure = 1;

}  // namespace

FaultInjector::Match CallIs(std::string call) {
    return [call = std::move(call)](const std::string& c) { return c == call; };
}

FaultInjector::Match CallStartsWith(std::string prefix) {
    return [prefix = std::move(prefix)](const std::string& c) { return c.rfind(prefix, 0) == 0; };
}

bool FaultInjector::Enter(const std::string& call) {
    calls.push_back(call);
    if (holdCtsAfter && holdCtsAfter(call))
        m_holdingCts = true;
    if (replyAfter && replyAfter(call))
        m_replyArmed = true;
    return failWhen && failWhen(call);
}

BridgeStatus FaultInjector::GetDeviceCount(std::uint32_t& count) {
    if (Enter("count"))
        return kInjectedFailure;
    return m_inner.GetDeviceCount(count);
}

BridgeStatus FaultInjector::Open(std::uint32_t deviceIndex, DeviceHandle& handle) {
    if (Enter("open " + std::to_string(deviceIndex)))
        return kInjectedFailure;
    return m_inner.Open(deviceIndex, handle);
}

BridgeStatus FaultInjector::Close(DeviceHandle handle) {
    if (Enter("close"))
        return kInjectedFailure;
    return m_inner.Close(handle);
}

BridgeStatus FaultInjector::Read(DeviceHandle handle, std::uint8_t* buffer, std::uint32_t wanted,
                                 std::uint32_t& got) {
    const bool replace = m_replyArmed;
    if (Enter("read " + std::to_string(wanted)))
        return kInjectedFailure;
    const BridgeStatus status = m_inner.Read(handle, buffer, wanted, got);
    if (!replace)
        return status;
    m_replyArmed = false;
    got = static_cast<std::uint32_t>(std::min<std::size_t>(reply.size(), wanted));
    std::copy_n(reply.begin(), got, buffer);
    return kBridgeOk;
}

BridgeStatus FaultInjector::Write(DeviceHandle handle, const std::uint8_t* buffer,
                                  std::uint32_t count, std::uint32_t& written) {
    const std::string call = "write " + Hex(buffer, count);
    if (Enter(call))
        return kInjectedFailure;
    if (count > 0 && shortWriteWhen && shortWriteWhen(call)) {
        return m_inner.Write(handle, buffer, count - 1, written);
    }
    return m_inner.Write(handle, buffer, count, written);
}

BridgeStatus FaultInjector::FlushBuffers(DeviceHandle handle, std::uint8_t flushTransmit,
                                         std::uint8_t flushReceive) {
    if (Enter("flush " + std::to_string(flushTransmit) + " " + std::to_string(flushReceive))) {
        return kInjectedFailure;
    }
    return m_inner.FlushBuffers(handle, flushTransmit, flushReceive);
}

BridgeStatus FaultInjector::SetTimeouts(std::uint32_t readMs, std::uint32_t writeMs) {
    if (Enter("timeouts " + std::to_string(readMs) + " " + std::to_string(writeMs))) {
        return kInjectedFailure;
    }
    return m_inner.SetTimeouts(readMs, writeMs);
}

BridgeStatus FaultInjector::CheckRxQueue(DeviceHandle handle, std::uint32_t& bytesQueued,
                                         std::uint32_t& queueStatus) {
    if (Enter("queue"))
        return kInjectedFailure;
    return m_inner.CheckRxQueue(handle, bytesQueued, queueStatus);
}

BridgeStatus FaultInjector::SetBaudRate(DeviceHandle handle, std::uint32_t baud) {
    if (Enter("baud " + std::to_string(baud)))
        return kInjectedFailure;
    return m_inner.SetBaudRate(handle, baud);
}

BridgeStatus FaultInjector::SetLineControl(DeviceHandle handle, std::uint16_t lineControl) {
    char word[8];
    std::snprintf(word, sizeof word, "%04X", static_cast<unsigned>(lineControl));
    if (Enter(std::string("line ") + word))
        return kInjectedFailure;
    return m_inner.SetLineControl(handle, lineControl);
}

BridgeStatus FaultInjector::SetFlowControl(DeviceHandle handle, std::uint8_t ctsMask,
                                           std::uint8_t rtsMask, std::uint8_t dtrMask,
                                           std::uint8_t dsrMask, std::uint8_t dcdMask,
                                           bool xonXoff) {
    const std::string call = "flow " + std::to_string(ctsMask) + " " + std::to_string(rtsMask) +
                             " " + std::to_string(dtrMask) + " " + std::to_string(dsrMask) + " " +
                             std::to_string(dcdMask) + " " + (xonXoff ? "1" : "0");
    if (dtrMask != 0)
        m_holdingCts = false;
    if (Enter(call))
        return kInjectedFailure;
    return m_inner.SetFlowControl(handle, ctsMask, rtsMask, dtrMask, dsrMask, dcdMask, xonXoff);
}

BridgeStatus FaultInjector::GetModemStatus(DeviceHandle handle, std::uint8_t& status) {
    if (Enter("modem"))
        return kInjectedFailure;
    const BridgeStatus result = m_inner.GetModemStatus(handle, status);
    if (m_holdingCts)
        status |= kModemCts;
    return result;
}

BridgeStatus FaultInjector::WaitForAnswer(DeviceHandle handle, AnswerSignal signal,
                                          std::uint64_t maxWaitNs) {
    // CTS held high here is no state of the box's: the caller looks again instead.
    if (m_holdingCts || cannotWait)
        return kBridgeNotSupported;
    return m_inner.WaitForAnswer(handle, signal, maxWaitNs);
}

std::vector<std::string> FaultInjector::TakeNewViolations() {
    auto* source = dynamic_cast<ViolationSource*>(&m_inner);
    return source != nullptr ? source->TakeNewViolations() : std::vector<std::string>{};
}

ControllerHarness::~ControllerHarness() {
    ExpectNoViolations(box);
}

ControllerHarness::ControllerHarness(SimOptions options)
    : box(clock, Prepared(std::move(options))),
      faults(box),
      bridge(faults, traceOut),
      view(clock),
      controller(bridge, clock, view, prompts) {
    prompts.fileLoadDialog = [this](FileLoadJob& job) {
        ++loadDialogRuns;
        ProgressLoadView loadView(loadProgress);
        return job.Run(loadView) ? DialogResult::Ok : DialogResult::Cancel;
    };
}

std::string ControllerHarness::ShippedDataDirectory() {
    return SourcePath("data/");
}

void ControllerHarness::InitWindow(const std::string& directory) {
    controller.OnInitDialog(directory);
}

void ControllerHarness::Start() {
    InitWindow();
    Poll();
}

bool ControllerHarness::SelectPart(const std::string& part) {
    for (const auto& group : view.tree) {
        for (const auto& series : group.series) {
            controller.OnTreeSelectionChanged(series);
            const auto& rows = controller.ListRows();
            for (std::size_t i = 0; i < rows.size(); ++i) {
                if (rows[i].part == part) {
                    controller.OnListClick(static_cast<int>(i));
                    return true;
                }
            }
        }
    }
    return false;
}

bool ControllerHarness::StartWithPart(const std::string& part) {
    Start();
    const bool found = SelectPart(part);
    ClearTrace();
    view.ClearLog();
    view.ClearProgressHistory();
    prompts.Clear();
    return found;
}

TimerSchedule::RunEnd ControllerHarness::RunUntilIdle(std::uint64_t limitNs) {
    return view.timers.RunUntil(
        clock, [this] { return !OperationTimerRunning(); },
        [this](TimerId id) { controller.OnTimer(id); }, limitNs);
}

void ControllerHarness::RunTicks(int count) {
    int ticks = 0;
    view.timers.RunUntil(
        clock, [&] { return ticks >= count || !OperationTimerRunning(); },
        [&](TimerId id) {
            if (id == TIMER_OPERATION)
                ++ticks;
            controller.OnTimer(id);
        });
}

void ControllerHarness::RunUntil(const std::function<bool()>& done) {
    view.timers.RunUntil(
        clock, [&] { return done() || !OperationTimerRunning(); },
        [this](TimerId id) { controller.OnTimer(id); });
}

std::vector<std::string> ControllerHarness::CancelAtPage(void (ProgrammerController::*button)(),
                                                         int index, MsgAnswer answer) {
    (controller.*button)();
    RunUntil([&] { return controller.PageIndex() == index; });
    std::vector<std::string> before = DataLines();
    prompts.answers.push_back(answer);
    (controller.*button)();
    return before;
}

std::string ControllerHarness::WriteImage(const std::string& name, std::uint32_t base,
                                          const std::vector<std::uint8_t>& data) {
    return scratch.Write(name, SRecordImage(base, data));
}

std::vector<std::uint8_t> ControllerHarness::ChoosePatternImage(std::uint32_t base,
                                                                std::size_t pages) {
    std::vector<std::uint8_t> image = PatternBytes(pages * 256);
    ChooseFile(WriteImage("image.mot", base, image));
    return image;
}

void ControllerHarness::ExpectIdleWindow(const std::string& status) const {
    constexpr ControlId kCommandControls[] = {
        IDC_PROGRAM,       IDC_ERASE,       IDC_READ,       IDC_LOAD,       IDC_BLANK_CHECK,
        IDC_PROGRAM_LABEL, IDC_ERASE_LABEL, IDC_READ_LABEL, IDC_LOAD_LABEL, IDC_BLANK_CHECK_LABEL};
    for (ControlId id : kCommandControls) {
        EXPECT_TRUE(view.Shown(id)) << "control " << IdNumber(id) << " shown";
        EXPECT_TRUE(view.Enabled(id)) << "control " << IdNumber(id) << " enabled";
    }
    EXPECT_EQ(view.Icon(IDC_PROGRAM), IDI_PROGRAM);
    EXPECT_EQ(view.Icon(IDC_LOAD), IDI_LOAD);
    EXPECT_EQ(view.Icon(IDC_BLANK_CHECK), IDI_BLANK_CHECK);
    EXPECT_EQ(view.Text(IDC_PROGRAM_LABEL), "Program");
    EXPECT_EQ(view.Text(IDC_LOAD_LABEL), "Load");
    EXPECT_EQ(view.Text(IDC_BLANK_CHECK_LABEL), "Blank Check");
    EXPECT_FALSE(view.Shown(IDC_PROGRESS));
    EXPECT_EQ(view.Progress(), 0);
    EXPECT_TRUE(view.Shown(IDC_STATUS));
    EXPECT_EQ(view.StatusText(), status);
    EXPECT_FALSE(ControllerTestAccess::m_operationRunning(controller));
    EXPECT_FALSE(OperationTimerRunning());
}

void ControllerHarness::ExpectRunningWindow(ControlId button, ControlId label,
                                            std::initializer_list<ControlId> disabled) const {
    EXPECT_TRUE(ControllerTestAccess::m_operationRunning(controller));
    EXPECT_TRUE(OperationTimerRunning());
    EXPECT_EQ(view.Icon(button), IDI_CANCEL);
    EXPECT_EQ(view.Text(label), "Cancel");
    EXPECT_TRUE(view.Enabled(button));
    EXPECT_TRUE(view.Enabled(label));
    for (ControlId id : disabled) {
        EXPECT_FALSE(view.Enabled(id)) << "control " << IdNumber(id) << " disabled";
    }
    EXPECT_TRUE(view.Shown(IDC_PROGRESS));
    EXPECT_FALSE(view.Shown(IDC_STATUS));
}

std::string RecordWriteLine(std::size_t index) {
    const PageRecord& record = g_pageRecords.at(index);
    return "write 260 " + Hex(record.data(), static_cast<std::uint32_t>(record.size())) + " -> 260";
}

std::size_t CountStarting(const std::vector<std::string>& lines, const std::string& prefix) {
    return static_cast<std::size_t>(std::count_if(
        lines.begin(), lines.end(), [&](const auto& l) { return l.rfind(prefix, 0) == 0; }));
}

std::size_t ResetsIn(const std::vector<std::string>& lines) {
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), "flow 0 0 1 0 0 0"));
}

std::vector<std::string> RecordWrites(const std::vector<std::string>& lines) {
    std::vector<std::string> records;
    std::copy_if(lines.begin(), lines.end(), std::back_inserter(records),
                 [](const std::string& line) { return line.rfind("write 260 ", 0) == 0; });
    return records;
}

void ExpectRefusedWithoutPart(void (ProgrammerController::*button)(), const std::string& text) {
    ControllerHarness h;
    h.Start();
    h.ClearTrace();
    (h.controller.*button)();
    EXPECT_EQ(h.prompts.messages,
              std::vector<Message>{MainMsg(text, "WARNING", MsgIcon::Exclamation)});
    EXPECT_TRUE(h.TraceLines().empty());
}

std::vector<std::uint8_t> PatternBytes(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        // Varies within a page and from page to page, and is never all 0xFF.
        bytes[i] = static_cast<std::uint8_t>(seed + i + i / 256 * 7);
    }
    return bytes;
}

std::vector<std::string> ControllerHarness::TraceLines() const {
    std::vector<std::string> lines;
    std::istringstream in(traceOut.str());
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> ControllerHarness::DataLines() const {
    std::vector<std::string> lines;
    for (auto& line : TraceLines()) {
        if (line.rfind("write ", 0) == 0 || line.rfind("read ", 0) == 0)
            lines.push_back(line);
    }
    return lines;
}

void ControllerHarness::ClearTrace() {
    traceOut.str("");
    traceOut.clear();
}

void ControllerHarness::ScriptAddressRange(const std::string& start, const std::string& end) {
    prompts.addressDialog = [start, end](AddressRangeEntry& dialog) {
        std::string startText = start;
        std::string endText = end;
        return dialog.PressOk(startText, endText) ? DialogResult::Ok : DialogResult::Cancel;
    };
}

void ControllerHarness::ScriptEraseRows(const std::vector<std::size_t>& rows) {
    prompts.eraseDialog = [rows](EraseBlockChoice& dialog) {
        for (std::size_t row : rows)
            dialog.SetChecked(row, true);
        return dialog.PressOk() ? DialogResult::Ok : DialogResult::Cancel;
    };
}

void ControllerHarness::ScriptEraseAll() {
    prompts.eraseDialog = [](EraseBlockChoice& dialog) {
        dialog.SetSelectAll(true);
        return dialog.PressOk() ? DialogResult::Ok : DialogResult::Cancel;
    };
}

Message MainMsg(std::string text, std::string caption, MsgIcon icon, MsgButtons buttons) {
    return Message{std::move(text), std::move(caption), icon, buttons, Owner::MainWindow};
}

}  // namespace o8r::test
