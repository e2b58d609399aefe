#pragma once

// Message boxes and dialogs on a terminal. Completion notices go to stdout,
// errors, warnings and questions to stderr as `CAPTION: text`. Questions are
// asked when stdin is a terminal; --yes answers Yes; otherwise the answer is No.
// The dialogs are run from what the command line already holds (the file
// argument, --range, --blocks, -o), through hooks the command sets.

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/operations/Prompts.h"

namespace o8r::cli {

class ProgressBar;

class TerminalPrompts : public Prompts {
  public:
    TerminalPrompts(std::ostream& out, std::ostream& err, std::istream& in, bool interactive,
                    bool yes, ProgressBar& bar);

    // Answers the next question from the program itself (a cancel asked for by
    // Ctrl-C) instead of from the person.
    std::optional<MsgAnswer> nextAnswer;

    MsgAnswer ShowMessage(const Message& message) override;
    std::optional<std::string> ChooseOpenFile(Owner owner, const FileDialogSpec& spec) override;
    std::optional<std::string> ChooseSaveFile(Owner owner, const FileDialogSpec& spec) override;
    DialogResult RunIdCodeDialog(IdCodeEntry& dialog) override;
    DialogResult RunEraseDialog(EraseBlockChoice& dialog) override;
    DialogResult RunAddressDialog(AddressRangeEntry& dialog) override;
    DialogResult RunBaseAddressDialog(BaseAddressEntry& dialog) override;
    DialogResult RunReadWindow(ReadSession& session) override;
    DialogResult RunFileLoadDialog(FileLoadJob& job) override;

    // Every message shown, in order.
    const std::vector<Message>& Shown() const { return m_shown; }
    bool WasShown(std::string_view text) const;

  private:
    MsgAnswer Ask(const Message& message);

    std::ostream& m_out;
    std::ostream& m_err;
    std::istream& m_in;
    bool m_interactive;
    bool m_yes;
    ProgressBar& m_bar;
    std::vector<Message> m_shown;
};

}  // namespace o8r::cli
