#include "support/RecordingReadView.h"

#include <utility>

#include "core/model/Ids.h"
#include "core/window/SharedState.h"

#include <gtest/gtest.h>

namespace o8r::test {

void RecordingReadView::SetButtonIcon(IconId id) {
    icon = id;
}
void RecordingReadView::SetStatusText(const std::string& text) {
    statusText = text;
}
void RecordingReadView::ShowStatus(bool show) {
    statusShown = show;
}
void RecordingReadView::ShowProgress(bool show) {
    progressShown = show;
}

void RecordingReadView::SetProgress(int percent) {
    progress = percent;
    progressHistory.push_back(percent);
}

void RecordingReadView::StartTimer(TimerId timerId, int periodMs) {
    ++timerStarts;
    timerPeriodMs = periodMs;
    timers.Start(timerId, periodMs);
}

void RecordingReadView::StopTimer(TimerId timerId) {
    timers.Stop(timerId);
}

void RecordingReadView::RowsChanged(std::size_t firstChanged) {
    rowsChanged.push_back(firstChanged);
}

void RecordingReadView::Close(DialogResult result) {
    closedWith = result;
    timers.Stop(TIMER_READ);
}

bool RecordingReadView::RunTimer(ReadSession& session, std::uint64_t limitNs) {
    const auto outcome = timers.RunUntil(
        m_clock, [this] { return Closed(); }, [&session](TimerId id) { session.OnTimer(id); },
        limitNs);
    return outcome != TimerSchedule::RunEnd::LimitReached;
}

void RecordingReadView::RunTicks(ReadSession& session, int count) {
    int delivered = 0;
    timers.RunUntil(
        m_clock, [&] { return Closed() || delivered >= count; },
        [&](TimerId id) {
            ++delivered;
            session.OnTimer(id);
        });
}

ReadWindowRig::ReadWindowRig(SimOptions options) : h(std::move(options)), window(h.clock) {
    EXPECT_TRUE(h.StartWithPart(kPart));
    SetRange(0, 0);
    h.prompts.Clear();
}

void ReadWindowRig::SetRange(std::uint32_t start, std::uint32_t end) {
    g_rangeStart = start;
    g_rangeEnd = end;
    g_rangePageCount = static_cast<std::uint16_t>((end >> 8) - (start >> 8) + 1);
    g_currentPage = static_cast<std::uint16_t>(start >> 8);
    // The window's read, connected and given its range, as the Read button leaves it.
    BoxSession& session = ControllerTestAccess::m_session(h.controller);
    session.SetTarget(h.WindowTarget());
    session.Begin(Operation::Read, {});
    EXPECT_EQ(session.Step(), Pending::Question);
    EXPECT_EQ(session.AnswerRange(AddressRange{start, end}), Pending::Box);
    h.ClearTrace();
    m_session.emplace(session, h.prompts, AddressRange{start, end});
}

void ReadWindowRig::Fill(std::uint32_t start, std::uint32_t end,
                         const std::function<std::uint8_t(std::uint32_t)>& byteAt) {
    for (std::uint32_t a = start; a <= end; ++a)
        h.box.Target().Poke(a, byteAt(a));
}

bool ReadWindowRig::ReadAll() {
    Open();
    return window.RunTimer(Session());
}

std::vector<std::uint16_t> ReadWindowRig::RequestedPages() const {
    const auto lines = h.DataLines();
    std::vector<std::uint16_t> pages;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        const std::string& next = lines[i + 1];
        if (lines[i] != "write 1 52 -> 1" || next.rfind("write 2 ", 0) != 0)
            continue;
        const auto low = std::stoul(next.substr(8, 2), nullptr, 16);
        const auto high = std::stoul(next.substr(10, 2), nullptr, 16);
        pages.push_back(static_cast<std::uint16_t>(low | (high << 8)));
    }
    return pages;
}

Message ReadMsg(std::string text, std::string caption, MsgIcon icon, MsgButtons buttons) {
    return Msg(std::move(text), std::move(caption), icon, buttons, Owner::ReadData);
}

}  // namespace o8r::test
