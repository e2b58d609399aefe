#pragma once

// Resource numbers of the windows, their controls, timers and icons, and the
// operation types. Each kind is an enum of its own, so that a timer id never
// passes for a control id; the enumerators keep their resource names and are
// usable unqualified inside namespace o8r.

namespace o8r {

// Controls of the main window (dialog 102) and of the other dialogs.
enum class ControlId : int {
    IDC_PROGRAM = 1001,
    IDC_ERASE = 1002,
    IDC_READ = 1003,
    IDC_LOAD = 1004,
    IDC_BLANK_CHECK = 1005,
    IDC_PROGRESS = 1020,
    IDC_PICTURE = 1023,
    IDC_STATUS = 1024,
    IDC_PROGRAM_LABEL = 1027,
    IDC_ERASE_LABEL = 1028,
    IDC_READ_LABEL = 1029,
    IDC_BLANK_CHECK_LABEL = 1030,
    IDC_MCU_LIST = 1031,
    IDC_MCU_TREE = 1032,
    IDC_LOAD_LABEL = 1033,
    IDC_ID_CHARACTER_INPUT = 1025,
    IDC_ID_EDIT = 1026,
    IDC_ERASE_BLOCK_LIST = 1011,
    IDC_ERASE_SELECT_ALL = 1012,
    IDC_ADDR_START = 1046,
    IDC_ADDR_END = 1047,
    IDC_ADDR_PROMPT = 1048,
    IDC_READ_LIST = 1049,
    IDC_READ_BUTTON = 1050,
    IDC_READ_PROGRESS = 1051,
    IDC_READ_STATUS = 1052,
    IDC_LOAD_PROGRESS = 1053,
    IDC_LOAD_TEXT = 1055,
};
using enum ControlId;

// Dialog templates.
enum class DialogId : int {
    IDD_MAIN = 102,
    IDD_ERASE_SETTING = 131,
    IDD_ID_CODE = 139,
    IDD_ADDRESS_SETTING = 166,
    IDD_READ_DATA = 167,
    IDD_FILE_LOADING = 168,
};
using enum DialogId;

// Timers.
enum class TimerId : int {
    TIMER_DEVICE_POLL = 111,  // 200 ms, main window
    TIMER_OPERATION = 112,    // 1 ms, main window
    TIMER_READ = 114,         // 1 ms, read data window
    TIMER_FILE_LOAD = 115,    // 100 ms once, file loading dialog
};
using enum TimerId;

// Icons.
enum class IconId : int {
    IDI_APP = 128,
    IDI_PROGRAM = 155,
    IDI_READ = 156,
    IDI_ERASE = 157,
    IDI_BLANK_CHECK = 158,
    IDI_SAVE = 159,
    IDI_CANCEL = 160,
    IDI_SAVED = 162,
    IDI_LOAD = 165,
};
using enum IconId;

// The background bitmap.
enum class BitmapId : int {
    IDB_BACKGROUND = 179,
};
using enum BitmapId;

// The resource number of an id, for tables and traces.
template <typename Id>
constexpr int IdNumber(Id id) {
    return static_cast<int>(id);
}

}  // namespace o8r
