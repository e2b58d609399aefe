// Choosing the image file for Program, Load and the firmware update, and
// loading it into the page records unless the last complete load still holds.

#include "core/image/LoadedFile.h"
#include "core/model/Messages.h"
#include "core/operations/FileLoadJob.h"
#include "core/window/ProgrammerController.h"
#include "core/window/SharedState.h"

namespace o8r {

bool ProgrammerController::SelectAndLoadFile() {
    // A binary loads at the part's first program-ROM address.
    const FileDialogSpec spec{text::kOpenFileTitle,
                              text::kMotFilterLabel,
                              text::kMotPattern,
                              "",
                              {{text::kIntelHexFilterLabel, text::kIntelHexPattern, ""},
                               {text::kBinaryFilterLabel, text::kBinaryPattern, ""},
                               {text::kAllFilesFilterLabel, "*", ""}}};
    const std::optional<std::string> chosen = m_prompts.ChooseOpenFile(Owner::MainWindow, spec);
    if (!chosen)
        return false;

    EnableCommandButtons(false);
    g_filePath = *chosen;

    switch (CheckImageFile(g_state.image, g_filePath, CurrentMemoryMap())) {
        case ImageFileCheck::TooLarge:
            ShowOutcome(m_operation, Outcome::FileTooLarge);
            return false;
        case ImageFileCheck::ReuseLastLoad:
            return true;
        case ImageFileCheck::Load:
            break;
    }
    FileLoadJob job(m_prompts, g_state.image, g_filePath, CurrentMemoryMap());
    return m_prompts.RunFileLoadDialog(job) == DialogResult::Ok;
}

}  // namespace o8r
