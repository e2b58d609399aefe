#pragma once

// Prompts for the desktop program: message boxes with the exact texts,
// captions, icons and buttons, each owned by the window that asks; the open
// and save dialogs; and the modal dialogs, each run over its logic object.
//
// Tests replace what a person would do: a message hook answers each box in
// place of exec(), a file chooser stands in for the file dialogs, and a dialog
// hook is called once a dialog is up, inside its modal loop, to drive its real
// widgets. The program itself sets none of them.

#include <QPointer>
#include <QWidget>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "core/operations/Prompts.h"

class QDialog;
class QFileDialog;

namespace o8r {

class QtFileMemory;
class QtWindowTimers;

class QtPrompts : public Prompts {
  public:
    using MessageHook = std::function<MsgAnswer(const Message&)>;
    using FileChooser =
        std::function<std::optional<std::string>(Owner, const FileDialogSpec&, bool forSaving)>;
    using DialogHook = std::function<void(QDialog&)>;

    QtPrompts() = default;

    // The main window, owner of its own boxes and parent of the dialogs, and the
    // timers the dialogs run on.
    void Attach(QWidget* mainWindow, QtWindowTimers* timers);
    QtWindowTimers* Timers() const { return m_timers; }

    void SetMessageHook(MessageHook hook) { m_messageHook = std::move(hook); }
    void SetFileChooser(FileChooser chooser) { m_fileChooser = std::move(chooser); }
    void SetDialogHook(DialogHook hook) { m_dialogHook = std::move(hook); }
    // Where the file dialogs start; the user's settings unless another is given.
    void SetFileMemory(std::shared_ptr<QtFileMemory> memory) { m_fileMemory = std::move(memory); }
    QtFileMemory& FileMemory();

    // The window that owns boxes of `owner` while it is open; the main window
    // stands in for any window that is not open.
    QWidget* OwnerWindow(Owner owner) const;
    void SetOwnerWindow(Owner owner, QWidget* window);

    MsgAnswer ShowMessage(const Message& message) override;
    std::optional<std::string> ChooseOpenFile(Owner owner, const FileDialogSpec& spec) override;
    std::optional<std::string> ChooseSaveFile(Owner owner, const FileDialogSpec& spec) override;

    DialogResult RunIdCodeDialog(IdCodeEntry& dialog) override;
    DialogResult RunEraseDialog(EraseBlockChoice& dialog) override;
    DialogResult RunAddressDialog(AddressRangeEntry& dialog) override;
    DialogResult RunBaseAddressDialog(BaseAddressEntry& dialog) override;
    DialogResult RunReadWindow(ReadSession& session) override;
    DialogResult RunFileLoadDialog(FileLoadJob& job) override;

    // Runs a dialog modally as the owner of its boxes; DialogResult::Ok or DialogResult::Cancel.
    DialogResult RunModal(QDialog& dialog, Owner owner);

  private:
    std::optional<std::string> ChooseFile(Owner owner, const FileDialogSpec& spec, bool forSaving);

    QPointer<QWidget> m_mainWindow;
    QtWindowTimers* m_timers = nullptr;
    std::map<Owner, QPointer<QWidget>> m_owners;
    MessageHook m_messageHook;
    FileChooser m_fileChooser;
    DialogHook m_dialogHook;
    std::shared_ptr<QtFileMemory> m_fileMemory;
};

// Sets up a file dialog for `spec`: its filters, the start folder or file
// `start` (empty: the dialog's own), and a size that shows its columns whole.
void SetUpFileDialog(QFileDialog& dialog, const FileDialogSpec& spec, const QString& start,
                     bool forSaving);

// Texts between the core (bytes in the local 8-bit encoding, as file paths and
// the system's messages are) and Qt.
QString FromLocal(const std::string& text);
std::string ToLocal(const QString& text);

}  // namespace o8r
