#pragma once

// A message box as the system shows it: text, caption, icon, buttons and the
// window that owns it.

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

}  // namespace o8r
