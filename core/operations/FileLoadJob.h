#pragma once

// The "File loading" dialog (template 168) without widgets: run once from the
// dialog's 100 ms timer 115, it loads g_filePath into the memory image and the
// page records under the current memory map.

#include <functional>
#include <optional>
#include <string>

#include "core/operations/Prompts.h"

namespace o8r {

// What choosing an image file leads to before anything is read.
enum class ImageFileCheck { Load, ReuseLastLoad, TooLarge };
// A file whose status cannot be read goes on to loading, whose open then fails
// with its own message.
[[nodiscard]] ImageFileCheck CheckImageFile(const std::string& path);

// Loads the file into the memory image and the page records under the current
// memory map; nothing on success, else the loading dialog's message.
[[nodiscard]] std::optional<Message> LoadImageFile(const std::string& path,
                                                   const std::function<void(int)>& progress);

class FileLoadView {
  public:
    virtual ~FileLoadView() = default;
    virtual void SetText(const std::string& text) = 0;  // text 1055
    virtual void SetProgress(int percent) = 0;          // bar 1053
};

class FileLoadJob {
  public:
    explicit FileLoadJob(Prompts& prompts) : m_prompts(prompts) {}

    // Loads g_filePath; messages are owned by the loading dialog. True when loaded.
    [[nodiscard]] bool Run(FileLoadView& view);

  private:
    Prompts& m_prompts;
};

}  // namespace o8r
