#include "support/RecordingPrompts.h"

#include "core/operations/BaseAddressEntry.h"

#include <ostream>

namespace o8r::test {

MsgAnswer RecordingPrompts::ShowMessage(const Message& message) {
    messages.push_back(message);
    if (onMessage)
        onMessage(message);
    if (message.buttons == MsgButtons::Ok)
        return MsgAnswer::Ok;
    if (answers.empty())
        return MsgAnswer::No;
    MsgAnswer answer = answers.front();
    answers.pop_front();
    return answer;
}

std::optional<std::string> RecordingPrompts::ChooseOpenFile(Owner, const FileDialogSpec& spec) {
    openSpecs.push_back(spec);
    if (openFiles.empty())
        return std::nullopt;
    auto choice = openFiles.front();
    openFiles.pop_front();
    return choice;
}

std::optional<std::string> RecordingPrompts::ChooseSaveFile(Owner, const FileDialogSpec& spec) {
    saveSpecs.push_back(spec);
    if (saveFiles.empty())
        return std::nullopt;
    auto choice = saveFiles.front();
    saveFiles.pop_front();
    return choice;
}

DialogResult RecordingPrompts::RunIdCodeDialog(IdCodeEntry& dialog) {
    return idCodeDialog ? idCodeDialog(dialog) : DialogResult::Cancel;
}
DialogResult RecordingPrompts::RunEraseDialog(EraseBlockChoice& dialog) {
    return eraseDialog ? eraseDialog(dialog) : DialogResult::Cancel;
}
DialogResult RecordingPrompts::RunAddressDialog(AddressRangeEntry& dialog) {
    return addressDialog ? addressDialog(dialog) : DialogResult::Cancel;
}
DialogResult RecordingPrompts::RunBaseAddressDialog(BaseAddressEntry& dialog) {
    if (baseDialog)
        return baseDialog(dialog);
    return dialog.PressOk(dialog.InitialText()) ? DialogResult::Ok : DialogResult::Cancel;
}
DialogResult RecordingPrompts::RunReadWindow(ReadSession& session) {
    return readWindow ? readWindow(session) : DialogResult::Cancel;
}
DialogResult RecordingPrompts::RunFileLoadDialog(FileLoadJob& job) {
    return fileLoadDialog ? fileLoadDialog(job) : DialogResult::Cancel;
}

std::vector<std::string> RecordingPrompts::Texts() const {
    std::vector<std::string> texts;
    for (const auto& m : messages)
        texts.push_back(m.text);
    return texts;
}

Message Msg(std::string text, std::string caption, MsgIcon icon, MsgButtons buttons, Owner owner) {
    return Message{std::move(text), std::move(caption), icon, buttons, owner};
}

}  // namespace o8r::test

namespace o8r {

std::ostream& operator<<(std::ostream& os, const Message& m) {
    static const char* icons[] = {"none", "error", "exclamation", "question"};
    static const char* owners[] = {"main",          "file-loading",    "read-data",
                                   "erase-setting", "address-setting", "id-code"};
    return os << "{\"" << m.text << "\", \"" << m.caption << "\", "
              << icons[static_cast<int>(m.icon)] << ", "
              << (m.buttons == MsgButtons::Ok ? "ok" : "yes/no") << ", "
              << owners[static_cast<int>(m.owner)] << "}";
}

}  // namespace o8r
