// Choosing the image file for Program, Load and the firmware update, and
// loading it into the page records unless the last complete load still holds.

#include <fstream>
#include <optional>

#include "core/image/ImageFile.h"
#include "core/image/LoadedFile.h"
#include "core/model/Messages.h"
#include "core/operations/BaseAddressEntry.h"
#include "core/operations/FileLoadJob.h"
#include "core/window/ProgrammerController.h"
#include "core/window/SharedState.h"
#include "platform/Utf8Path.h"

namespace o8r {

bool ProgrammerController::SelectAndLoadFile() {
    const FileDialogSpec spec{text::kOpenFileTitle,
                              text::kMotFilterLabel,
                              text::kMotPattern,
                              "",
                              {{text::kIntelHexFilterLabel, text::kIntelHexPattern, ""},
                               {text::kBinaryFilterLabel, text::kBinaryPattern, ""},
                               {text::kAllFilesFilterLabel, "*", ""}},
                              m_updateMode ? FileKind::Firmware : FileKind::Image};
    const std::optional<std::string> chosen = m_prompts.ChooseOpenFile(Owner::MainWindow, spec);
    if (!chosen)
        return false;

    EnableCommandButtons(false);
    g_filePath = *chosen;

    // A binary file says nothing of where it goes: the user says it.
    std::optional<std::uint32_t> base;
    if (std::ifstream in(PathFromUtf8(g_filePath), std::ios::binary);
        in && DetectImageFormat(in) == ImageFormat::Binary) {
        BaseAddressEntry dialog(m_prompts, CurrentMemoryMap());
        if (m_prompts.RunBaseAddressDialog(dialog) != DialogResult::Ok)
            return false;
        base = dialog.Base();
    }

    switch (CheckImageFile(g_state.image, g_filePath, CurrentMemoryMap(), base)) {
        case ImageFileCheck::TooLarge:
            ShowOutcome(m_operation, Outcome::FileTooLarge);
            return false;
        case ImageFileCheck::ReuseLastLoad:
            return true;
        case ImageFileCheck::Load:
            break;
    }
    FileLoadJob job(m_prompts, g_state.image, g_filePath, CurrentMemoryMap(), base);
    return m_prompts.RunFileLoadDialog(job) == DialogResult::Ok;
}

}  // namespace o8r
