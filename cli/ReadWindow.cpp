#include "cli/ReadWindow.h"

#include <ostream>

#include "app/Ids.h"
#include "app/Messages.h"
#include "app/TimerSchedule.h"
#include "cli/Interrupt.h"
#include "cli/ProgressBar.h"
#include "cli/TerminalPrompts.h"

namespace o8r::cli {

ReadWindow::ReadWindow(TimerSchedule& timers, Clock& clock, ProgressBar& bar,
                       TerminalPrompts& prompts, std::function<void(int)> mainDispatch,
                       std::ostream& dumpOut)
    : m_timers(timers),
      m_clock(clock),
      m_bar(bar),
      m_prompts(prompts),
      m_mainDispatch(std::move(mainDispatch)),
      m_dumpOut(dumpOut) {}

int ReadWindow::Run(ReadSession& session, const ReadActions& actions) {
    m_bar.SetLabel("Read");
    // The window opens with its progress bar shown.
    ShowProgress(true);
    session.Open(*this);
    m_timers.RunUntil(
        m_clock, [&] { return m_result.has_value() || session.ReadFinished(); },
        [&](int id) {
            if (Interrupted() && !session.ReadFinished()) {
                AcknowledgeInterrupt();
                m_prompts.nextAnswer = MsgAnswer::Yes;
                session.OnButton();  // the button cancels while reading
                return;
            }
            if (id == TIMER_READ) {
                session.OnTimer(id);
            } else {
                m_mainDispatch(id);
            }
        });
    m_timers.Stop(TIMER_READ);
    ShowProgress(false);
    if (m_result) {
        return *m_result;
    }
    if (m_completed) {
        if (actions.dump) {
            m_dumpOut << FormatDump(session.Rows()) << std::flush;
        }
        if (actions.save) {
            session.OnButton();  // the button saves once the read has finished
        }
    }
    return IDCANCEL;
}

void ReadWindow::SetStatusText(const std::string& text) {
    if (text == text::kReadCompleted) {
        m_completed = true;
    } else if (text == text::kReadCanceled) {
        // The window says so only in its status text; a terminal needs a line.
        m_bar.Suspend();
        m_dumpOut << text << '\n' << std::flush;
    }
}

void ReadWindow::ShowProgress(bool show) {
    if (show == m_progressShown) {
        return;
    }
    m_progressShown = show;
    if (show) {
        m_bar.Begin();
    } else {
        m_bar.End();
    }
}

void ReadWindow::SetProgress(int percent) {
    if (m_progressShown) {
        m_bar.Update(percent);
    }
}

void ReadWindow::StartTimer(int timerId, int periodMs) {
    m_timers.Start(timerId, periodMs);
}

void ReadWindow::StopTimer(int timerId) {
    m_timers.Stop(timerId);
}

std::string ReadWindow::FormatDump(const std::vector<ReadRow>& rows) {
    std::string out = "ADDRESS ";
    for (const char* digit = "0123456789ABCDEF"; *digit != '\0'; ++digit) {
        out += " +";
        out += *digit;
    }
    out += '\n';
    for (const ReadRow& row : rows) {
        std::string line = row[0] + " ";
        for (std::size_t k = 1; k < row.size(); ++k) {
            line += ' ';
            line += row[k].empty() ? std::string("  ") : row[k];
        }
        line.erase(line.find_last_not_of(' ') + 1);
        out += line + '\n';
    }
    return out;
}

}  // namespace o8r::cli
