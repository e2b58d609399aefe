#pragma once

// Every text the system shows: message boxes, captions, status lines, labels,
// prompts and file-chooser filters. The desktop program, the command line and
// the tests all take their texts from here, so a spelling (odd ones included)
// is written once. "\n" is a line break inside a message box.

#include <cstdint>
#include <cstdio>
#include <string>

namespace o8r::text {

// Captions of message boxes.
inline constexpr char kCaptionError[] = "ERROR";
inline constexpr char kCaptionErrorMixedCase[] = "Error";  // only "Please reset programmer!"
inline constexpr char kCaptionWarning[] = "WARNING";
inline constexpr char kCaptionInfo[] = "INFO";

// Window captions.
inline constexpr char kMainWindowCaption[] = "Zovuroz O8R 2O/2V Oredorezev";
inline constexpr char kIdCodeCaption[] = "ID code";
inline constexpr char kEraseSettingCaption[] = "Erase setting";
inline constexpr char kAddressSettingCaption[] = "Address Setting";
inline constexpr char kReadDataCaption[] = "Read data";
inline constexpr char kFileLoadingCaption[] = "File loading";

// Command labels under the five buttons.
inline constexpr char kLabelProgram[] = "Program";
inline constexpr char kLabelErase[] = "Erase";
inline constexpr char kLabelRead[] = "Read";
inline constexpr char kLabelLoad[] = "Load";
inline constexpr char kLabelBlankCheck[] = "Blank Check";
inline constexpr char kLabelCancel[] = "Cancel";
inline constexpr char kLabelUpdate[] = "Update";

// Status line of the main window.
inline constexpr char kStatusSelectMcu[] = "Please select MCU";
inline constexpr char kStatusClickList[] = "Click MCU list to select. Double click to set ID code.";
inline constexpr char kStatusClickListAfterFailure[] =
    "Click MCU list to select. Double click to set power and ID.";
inline constexpr char kStatusSelectedPrefix[] = "You have selected ";
inline constexpr char kStatusSelectedSuffix[] = ".";
inline constexpr char kStatusClickToUpdate[] = "Click to update firmware";
inline constexpr char kStatusWaitErasing[] = "Please wait for erasing...";
inline constexpr char kStatusUpdateCompleted[] = "Update completed. Please reset Programmer";
// While the box is reset and the handshake runs, before an operation's first command.
inline constexpr char kStatusConnecting[] = "Connecting to the programmer...";

// Closing the main window while an operation runs.
inline constexpr char kCloseWhileRunning[] = "An operation is running. Stop it and close?";
// Added to the message of a failed firmware update: the box must start afresh.
inline constexpr char kReplugAfterUpdate[] =
    "Unplug the programmer and plug it in again, then update again.";

// Catalogue and programmer detection.
inline constexpr char kMcuFileMissing[] = "Can not find MCU file!";
inline constexpr char kMoreThanOneProgrammer[] = "More than 1 programmers are detected!";

// Connect sequence and the operation engine.
inline constexpr char kResetProgrammer[] = "Please reset programmer!";
inline constexpr char kCanNotOpenTarget[] = "Can not open target!";
inline constexpr char kTimeOutError[] = "Time out error!";
inline constexpr char kConnectionBroken[] = "Connection is broken!";
inline constexpr char kCanNotConnectTarget[] = "Can not connect with target!";
inline constexpr char kIdCodeError[] = "ID code error!";
inline constexpr char kCanNotConnectProgrammer[] = "Can not connect with programmer!";
inline constexpr char kNoMcuSelected[] = "You haven't selected MCU yet.";
inline constexpr char kNoMcuSelectedErase[] = "You haven't select MCU yet.";
inline constexpr char kVerifyError[] = "Verify error!";
inline constexpr char kEraseError[] = "Erase error!";

// Detection on the command line, where the window would simply show its start view.
inline constexpr char kNoProgrammer[] = "No programmer is detected!";
inline constexpr char kCanNotOpenProgrammer[] = "Can not open programmer!";
inline constexpr char kInUpdateMode[] =
    "The programmer is in firmware-update mode: only o8rprog update can be used.";
inline constexpr char kNotInUpdateMode[] =
    "The programmer is not in firmware-update mode: reset it into its loader first.";

// The read-back check after Program.
inline constexpr char kVerifyCompleted[] = "Verify successfully completed.";
inline constexpr char kVerifyMismatch[] = "Verify error!\nThe byte at 0x";

// Program.
inline constexpr char kProgramCompleted[] = "Program successfully completed.";
inline constexpr char kCancelOperationQuestion[] = "Are you sure to cancel operation?";
inline constexpr char kOperationCanceled[] = "Operating is canceled.\n";
inline constexpr char kPercentFinished[] = "% is finished.";

// Erase.
inline constexpr char kEraseCompleted[] = "Erase successfully completed.";
inline constexpr char kNoEraseBlock[] = "You haven't selected erase block.";

// Blank Check.
inline constexpr char kPromptCheckRange[] = "Please set check range";
inline constexpr char kCheckAreaEmpty[] = "Check area is empty.";
inline constexpr char kCheckAreaNotEmpty[] =
    "Check area is not empty.\nThe first filled address is 0x";
inline constexpr char kCancelCheckingQuestion[] = "Are you sure to cancel checking?";
inline constexpr char kCheckingCanceled[] = "Checking is canceled.\n";
inline constexpr char kPercentChecked[] = "% is checked.";

// Load.
inline constexpr char kLoadCompleted[] = "File load successfully completed.";
inline constexpr char kStoredFilePrefix[] = "The file \"";
inline constexpr char kStoredFileSuffix[] =
    "\" is in programmer.\nReload will erase this file!\nAre you sure to continue?";
inline constexpr char kCancelLoadingQuestion[] = "Are you sure to cancel loading?";
inline constexpr char kLoadingCanceled[] = "Loading is canceled.\n";

// Choosing and loading an S-record file.
inline constexpr char kOpenFileTitle[] = "Select open file";
inline constexpr char kSaveFileTitle[] = "Save file";
inline constexpr char kMotFilterLabel[] = "Motorola Format(*.mot)";
inline constexpr char kMotPattern[] = "*.mot";
inline constexpr char kMotDefaultExtension[] = ".mot";
// The other formats the file choosers offer after S-records.
inline constexpr char kIntelHexFilterLabel[] = "Intel HEX(*.hex *.ihex)";
inline constexpr char kIntelHexPattern[] = "*.hex *.ihex";
inline constexpr char kBinaryFilterLabel[] = "Binary(*.bin)";
inline constexpr char kBinaryPattern[] = "*.bin";
inline constexpr char kAllFilesFilterLabel[] = "All files(*)";
inline constexpr char kFileTooLarge[] = "Selected file is too large!";
inline constexpr char kLoadingFile[] = "Please wait for loading file...";
inline constexpr char kCanNotOpenFile[] = "Can not open file!";
inline constexpr char kErrorFormat[] = "Error format!";
inline constexpr char kLoadAddressOutOfMap[] = "Load file address is out of memory map!";
inline constexpr char kTooManyPages[] = "Load file has more than 512 pages!";

// ID code dialog.
inline constexpr char kIdCodePrompt[] = "Please input ID code";
inline constexpr char kIdCharacterInput[] = "Character input";
inline constexpr char kNoIdInput[] = "You haven't input ID yet!";
inline constexpr char kIdFillQuestion[] = "Input ID < 7 bytes.\nUse 0xFF to fill higher bytes?";
inline constexpr char kIdHexFormat[] = "Please input with HEX format!";
inline constexpr char kIdCompletedByte[] = "Please input with completed byte!";

// Address Setting dialog.
inline constexpr char kPromptReadRange[] = "Please set read range";
inline constexpr char kPromptBinaryBase[] = "Please set load address";
inline constexpr char kNoStartAddress[] = "You have not inputed start address yet!";
inline constexpr char kNoEndAddress[] = "You have not inputed end address yet!";
inline constexpr char kInputFormatError[] = "Input format error!";
inline constexpr char kAddressOutOfMap[] = "Input address is out of memory map!";
inline constexpr char kExchangeAddressesQuestion[] =
    "End address < Start address.\nExchange start address and end address?";

// Read data window and saving.
inline constexpr char kCancelReadingQuestion[] = "Are you sure to cancel reading?";
inline constexpr char kReadCanceled[] = "Read is canceled.";
inline constexpr char kReadCompleted[] = "Read completed.";
inline constexpr char kReadTimeOut[] = "Time out errot!";
inline constexpr char kUnsavedDataQuestion[] =
    "The data has not been saved. \nAre you sure to quit anyway without save?";
inline constexpr char kOverwriteQuestion[] =
    "Selected file is already exist.\nAre you sure to overwrite it?";
inline constexpr char kReadDataSavedStatus[] = "Read data is saved.";
inline constexpr char kReadDataSaved[] = "Read data is saved successfully.";
inline constexpr char kCanNotSaveFile[] = "Can not save file!\n";
inline constexpr char kNoDataToSave[] = "There is no data to save.";

// Firmware update of the box.
inline constexpr char kUpdateCanNotOpenTarget[] = "Can not open target! Please reset Programmer.";
inline constexpr char kUpdateTimeOut[] = "Time out error! Please reset Programmer.";
inline constexpr char kUpdateCanNotConnect[] =
    "Can not connect with Programmer! Please reset Programmer.";
inline constexpr char kUpdateIdCodeError[] = "ID code error! Please reset Programmer.";
inline constexpr char kUpdateBlock0EraseError[] = "Block 0 erase error! Please reset Programmer.";
inline constexpr char kUpdateBlock1EraseError[] = "Block 1 erase error! Please reset Programmer.";
inline constexpr char kUpdateProgramError[] = "Program error!";
inline constexpr char kUpdateCompleted[] = "Update completed. Please reset Programmer.";

// A percentage as "%2d" prints it: right-aligned in at least two characters.
inline std::string Percent2d(int percent) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%2d", percent);
    return buffer;
}

// "Operating is canceled.\n 7% is finished." and its relatives.
inline std::string CanceledText(const char* head, int percent, const char* tail) {
    return std::string(head) + Percent2d(percent) + tail;
}

// The question Load asks when the box already stores a file.
inline std::string StoredFileQuestion(const std::string& name) {
    return std::string(kStoredFilePrefix) + name + kStoredFileSuffix;
}

// The not-empty ending of a blank check: the rightmost five of at least five
// upper-case hexadecimal digits of the address.
inline std::string CheckAreaNotEmptyText(std::uint32_t address) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%05X", static_cast<unsigned>(address));
    std::string digits = buffer;
    return std::string(kCheckAreaNotEmpty) + digits.substr(digits.size() - 5) + ".";
}

// "You have selected " and the first eight characters of the part name.
inline std::string SelectedStatus(const std::string& part) {
    return std::string(kStatusSelectedPrefix) + part.substr(0, 8) + kStatusSelectedSuffix;
}

}  // namespace o8r::text
