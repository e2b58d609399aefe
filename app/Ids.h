#pragma once

// Resource numbers of the windows, their controls, timers and icons.

namespace o8r {

// Main window (dialog 102).
constexpr int IDC_PROGRAM = 1001;
constexpr int IDC_ERASE = 1002;
constexpr int IDC_READ = 1003;
constexpr int IDC_LOAD = 1004;
constexpr int IDC_BLANK_CHECK = 1005;
constexpr int IDC_PROGRESS = 1020;
constexpr int IDC_PICTURE = 1023;
constexpr int IDC_STATUS = 1024;
constexpr int IDC_PROGRAM_LABEL = 1027;
constexpr int IDC_ERASE_LABEL = 1028;
constexpr int IDC_READ_LABEL = 1029;
constexpr int IDC_BLANK_CHECK_LABEL = 1030;
constexpr int IDC_MCU_LIST = 1031;
constexpr int IDC_MCU_TREE = 1032;
constexpr int IDC_LOAD_LABEL = 1033;

// ID code dialog (139).
constexpr int IDC_ID_CHARACTER_INPUT = 1025;
constexpr int IDC_ID_EDIT = 1026;
// Erase setting dialog (131).
constexpr int IDC_ERASE_BLOCK_LIST = 1011;
constexpr int IDC_ERASE_SELECT_ALL = 1012;
// Address setting dialog (166).
constexpr int IDC_ADDR_START = 1046;
constexpr int IDC_ADDR_END = 1047;
constexpr int IDC_ADDR_PROMPT = 1048;
// Read data window (167).
constexpr int IDC_READ_LIST = 1049;
constexpr int IDC_READ_BUTTON = 1050;
constexpr int IDC_READ_PROGRESS = 1051;
constexpr int IDC_READ_STATUS = 1052;
// File loading dialog (168).
constexpr int IDC_LOAD_PROGRESS = 1053;
constexpr int IDC_LOAD_TEXT = 1055;

// Dialog templates.
constexpr int IDD_MAIN = 102;
constexpr int IDD_ERASE_SETTING = 131;
constexpr int IDD_ID_CODE = 139;
constexpr int IDD_ADDRESS_SETTING = 166;
constexpr int IDD_READ_DATA = 167;
constexpr int IDD_FILE_LOADING = 168;

// Timers.
constexpr int TIMER_DEVICE_POLL = 111;  // 200 ms, main window
constexpr int TIMER_OPERATION = 112;    // 1 ms, main window
constexpr int TIMER_READ = 114;         // 1 ms, read data window
constexpr int TIMER_FILE_LOAD = 115;    // 100 ms once, file loading dialog

// Icons and the background bitmap.
constexpr int IDI_APP = 128;
constexpr int IDI_PROGRAM = 155;
constexpr int IDI_READ = 156;
constexpr int IDI_ERASE = 157;
constexpr int IDI_BLANK_CHECK = 158;
constexpr int IDI_SAVE = 159;
constexpr int IDI_CANCEL = 160;
constexpr int IDI_SAVED = 162;
constexpr int IDI_LOAD = 165;
constexpr int IDB_BACKGROUND = 179;

// Operation types.
constexpr int OP_PROGRAM = 0;
constexpr int OP_ERASE = 1;
constexpr int OP_READ = 2;
constexpr int OP_LOAD = 3;
constexpr int OP_BLANK_CHECK = 4;

}  // namespace o8r
