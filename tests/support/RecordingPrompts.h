#pragma once

// A Prompts fake: answers questions and file choosers from a script, runs the
// dialogs through callbacks the test supplies, and keeps every message box.

#include <deque>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "core/operations/Prompts.h"

namespace o8r::test {

class RecordingPrompts : public Prompts {
  public:
    // Every message shown, in order.
    std::vector<Message> messages;
    // Answers to Yes/No boxes, consumed in order; with none left the answer is No.
    std::deque<MsgAnswer> answers;
    // Results of the open and save choosers, consumed in order; none left = cancelled.
    std::deque<std::optional<std::string>> openFiles;
    std::deque<std::optional<std::string>> saveFiles;
    std::vector<FileDialogSpec> openSpecs;
    std::vector<FileDialogSpec> saveSpecs;

    // Dialog scripts; without one a dialog returns DialogResult::Cancel at once.
    std::function<DialogResult(IdCodeEntry&)> idCodeDialog;
    std::function<DialogResult(EraseBlockChoice&)> eraseDialog;
    std::function<DialogResult(AddressRangeEntry&)> addressDialog;
    // None: the base dialog is answered with OK on its initial text.
    std::function<DialogResult(BaseAddressEntry&)> baseDialog;
    std::function<DialogResult(ReadSession&)> readWindow;
    std::function<DialogResult(FileLoadJob&)> fileLoadDialog;
    // Called whenever a message box is shown, before it is answered (for
    // example to run the programmer poll inside the modal loop).
    std::function<void(const Message&)> onMessage;

    MsgAnswer ShowMessage(const Message& message) override;
    std::optional<std::string> ChooseOpenFile(Owner owner, const FileDialogSpec& spec) override;
    std::optional<std::string> ChooseSaveFile(Owner owner, const FileDialogSpec& spec) override;
    DialogResult RunIdCodeDialog(IdCodeEntry& dialog) override;
    DialogResult RunEraseDialog(EraseBlockChoice& dialog) override;
    DialogResult RunAddressDialog(AddressRangeEntry& dialog) override;
    DialogResult RunBaseAddressDialog(BaseAddressEntry& dialog) override;
    DialogResult RunReadWindow(ReadSession& session) override;
    DialogResult RunFileLoadDialog(FileLoadJob& job) override;

    // The texts of the messages shown, in order.
    std::vector<std::string> Texts() const;
    void Clear() { messages.clear(); }
};

// A message as the tests spell it: text, caption, icon, buttons, owner.
Message Msg(std::string text, std::string caption, MsgIcon icon,
            MsgButtons buttons = MsgButtons::Ok, Owner owner = Owner::MainWindow);

}  // namespace o8r::test

namespace o8r {
// So that EXPECT_EQ on messages prints something readable.
std::ostream& operator<<(std::ostream& os, const Message& m);
}  // namespace o8r
