#pragma once

// Everything a person answers: message boxes, file choosers and the modal
// dialogs. Each dialog runs over a core logic object that holds its rules.

#include <optional>
#include <string>
#include <vector>

#include "core/model/Message.h"

namespace o8r {

// Which files a dialog picks: each kind starts in the folder of its own last file.
enum class FileKind { Image, Firmware, ReadData };

struct FileDialogSpec {
    std::string title;             // "Select open file" / "Save file"
    std::string filterLabel;       // "Motorola Format(*.mot)"
    std::string pattern;           // "*.mot"
    std::string defaultExtension;  // ".mot" for saving, empty for opening
    // Filters offered after the first, each with the extension a typed name
    // without one gets when it is chosen for saving.
    struct Filter {
        std::string label;  // "Intel HEX(*.hex *.ihex)"
        std::string pattern;
        std::string defaultExtension;
    };
    std::vector<Filter> otherFilters{};
    FileKind kind = FileKind::Image;
};

class IdCodeEntry;
class EraseBlockChoice;
class AddressRangeEntry;
class BaseAddressEntry;
class ReadSession;
class FileLoadJob;

// How a modal dialog ended: its OK button, or Cancel (the button, Escape or the close box).
enum class DialogResult { Ok = 1, Cancel = 2 };

class Prompts {
  public:
    virtual ~Prompts() = default;

    virtual MsgAnswer ShowMessage(const Message& message) = 0;
    virtual std::optional<std::string> ChooseOpenFile(Owner owner, const FileDialogSpec& spec) = 0;
    virtual std::optional<std::string> ChooseSaveFile(Owner owner, const FileDialogSpec& spec) = 0;

    // Each returns how the dialog ended.
    virtual DialogResult RunIdCodeDialog(IdCodeEntry& dialog) = 0;
    virtual DialogResult RunEraseDialog(EraseBlockChoice& dialog) = 0;
    virtual DialogResult RunAddressDialog(AddressRangeEntry& dialog) = 0;
    // Where a binary image file goes.
    virtual DialogResult RunBaseAddressDialog(BaseAddressEntry& dialog) = 0;
    virtual DialogResult RunReadWindow(ReadSession& session) = 0;
    virtual DialogResult RunFileLoadDialog(FileLoadJob& job) = 0;
};

}  // namespace o8r
