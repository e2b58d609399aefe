#pragma once

// Everything a person answers: message boxes, file choosers and the modal
// dialogs. Each dialog runs over a core logic object that holds its rules.

#include <optional>
#include <string>

namespace o8r {

enum class MsgIcon { None, Error, Exclamation, Question };
enum class MsgButtons { Ok, YesNo };
enum class MsgAnswer { Ok, Yes, No };

// The window that owns a message box or a file chooser.
enum class Owner { MainWindow, FileLoading, ReadData, EraseSetting, AddressSetting, IdCode };

struct Message {
    std::string text;  // "\n" is a line break
    std::string caption;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
    Owner owner = Owner::MainWindow;

    friend bool operator==(const Message&, const Message&) = default;
};

struct FileDialogSpec {
    std::string title;             // "Select open file" / "Save file"
    std::string filterLabel;       // "Motorola Format(*.mot)"
    std::string pattern;           // "*.mot"
    std::string defaultExtension;  // ".mot" for saving, empty for opening
};

class IdCodeDialog;
class EraseSettingDialog;
class AddressSettingDialog;
class ReadSession;
class FileLoadJob;

// Dialog results as the windows report them.
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

class Prompts {
  public:
    virtual ~Prompts() = default;

    virtual MsgAnswer ShowMessage(const Message& message) = 0;
    virtual std::optional<std::string> ChooseOpenFile(Owner owner, const FileDialogSpec& spec) = 0;
    virtual std::optional<std::string> ChooseSaveFile(Owner owner, const FileDialogSpec& spec) = 0;

    // Each returns the dialog's result, IDOK or IDCANCEL.
    virtual int RunIdCodeDialog(IdCodeDialog& dialog) = 0;
    virtual int RunEraseDialog(EraseSettingDialog& dialog) = 0;
    virtual int RunAddressDialog(AddressSettingDialog& dialog) = 0;
    virtual int RunReadWindow(ReadSession& session) = 0;
    virtual int RunFileLoadDialog(FileLoadJob& job) = 0;
};

}  // namespace o8r
