#include "cli/TerminalPrompts.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <istream>
#include <ostream>

#include "cli/ProgressBar.h"
#include "cli/ProgressEvents.h"
#include "cli/RunRecord.h"
#include "core/model/Messages.h"
#include "core/operations/BaseAddressEntry.h"
#include "core/operations/FileLoadJob.h"

namespace o8r::cli {

namespace {

// The loading dialog's bar becomes the terminal's bar for the time of the load.
class TerminalFileLoadView : public FileLoadView {
  public:
    explicit TerminalFileLoadView(ProgressBar& bar) : m_bar(bar) {}
    void SetText(const std::string&) override {}
    void SetProgress(int percent) override { m_bar.Update(percent); }

  private:
    ProgressBar& m_bar;
};

std::string Lowered(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

TerminalPrompts::TerminalPrompts(std::ostream& out, std::ostream& err, std::istream& in,
                                 bool interactive, bool yes, ProgressBar& bar)
    : m_out(out), m_err(err), m_in(in), m_interactive(interactive), m_yes(yes), m_bar(bar) {}

MsgAnswer TerminalPrompts::ShowMessage(const Message& message) {
    m_shown.push_back(message);
    NoteMessage(message);
    if (message.buttons == MsgButtons::YesNo) {
        const MsgAnswer answer = Ask(message);
        MessageEvent(message, answer == MsgAnswer::Yes ? "yes" : "no");
        return answer;
    }
    MessageEvent(message, "");
    m_bar.Suspend();
    if (message.caption == text::kCaptionInfo) {
        m_out << message.text << '\n' << std::flush;
    } else {
        m_err << message.caption << ": " << message.text << '\n' << std::flush;
    }
    return MsgAnswer::Ok;
}

MsgAnswer TerminalPrompts::Ask(const Message& message) {
    m_bar.Suspend();
    m_err << message.caption << ": " << message.text << " [y/N] ";
    if (nextAnswer) {
        const MsgAnswer answer = *nextAnswer;
        nextAnswer.reset();
        m_err << (answer == MsgAnswer::Yes ? "y" : "n") << " (interrupted)\n" << std::flush;
        return answer;
    }
    if (m_yes) {
        m_err << "y (--yes)\n" << std::flush;
        return MsgAnswer::Yes;
    }
    if (!m_interactive) {
        m_err << "n (no terminal to ask; --yes answers Yes)\n" << std::flush;
        return MsgAnswer::No;
    }
    m_err << std::flush;
    std::string line;
    if (!std::getline(m_in, line)) {
        m_err << '\n' << std::flush;
        return MsgAnswer::No;
    }
    const std::string answer = Lowered(Trimmed(line));
    return answer == "y" || answer == "yes" ? MsgAnswer::Yes : MsgAnswer::No;
}

// o8rprog takes its files and choices on the command line and runs the
// operations API, which asks for none of these: each closes unanswered. Only
// the loading dialog runs, for o8rprog image.
std::optional<std::string> TerminalPrompts::ChooseOpenFile(Owner, const FileDialogSpec&) {
    return std::nullopt;
}

std::optional<std::string> TerminalPrompts::ChooseSaveFile(Owner, const FileDialogSpec&) {
    return std::nullopt;
}

DialogResult TerminalPrompts::RunIdCodeDialog(IdCodeEntry&) {
    return DialogResult::Cancel;
}

DialogResult TerminalPrompts::RunEraseDialog(EraseBlockChoice&) {
    return DialogResult::Cancel;
}

DialogResult TerminalPrompts::RunAddressDialog(AddressRangeEntry&) {
    return DialogResult::Cancel;
}

// A binary's base comes with --base on the command line.
DialogResult TerminalPrompts::RunBaseAddressDialog(BaseAddressEntry&) {
    return DialogResult::Cancel;
}

DialogResult TerminalPrompts::RunReadWindow(ReadSession&) {
    return DialogResult::Cancel;
}

DialogResult TerminalPrompts::RunFileLoadDialog(FileLoadJob& job) {
    const std::string label = m_bar.Label();
    m_bar.SetLabel("Loading");
    TerminalFileLoadView view(m_bar);
    m_bar.Begin();
    const bool ok = job.Run(view);
    m_bar.End();
    m_bar.SetLabel(label);
    return ok ? DialogResult::Ok : DialogResult::Cancel;
}

bool TerminalPrompts::WasShown(std::string_view text) const {
    return std::any_of(m_shown.begin(), m_shown.end(),
                       [&](const Message& m) { return m.text == text; });
}

}  // namespace o8r::cli
