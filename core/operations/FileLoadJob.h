#pragma once

// The "File loading" dialog without widgets: run once from the dialog's 100 ms
// timer, it loads the chosen file into an image under a
// memory map.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/image/PageImage.h"
#include "core/model/MemoryMap.h"
#include "core/operations/Prompts.h"

namespace o8r {

// What choosing an image file leads to before anything is read.
enum class ImageFileCheck { Load, ReuseLastLoad, TooLarge };
// A file whose status cannot be read goes on to loading, whose open then fails
// with its own message.
// `base` is where a binary file loads; DefaultBinaryBase(map) when none is given.
[[nodiscard]] ImageFileCheck CheckImageFile(const PageImage& image, const std::string& path,
                                            const MemoryMap& map,
                                            std::optional<std::uint32_t> base = std::nullopt);

// Loads the file, in whichever format its content is, into the image under
// `map`; nothing on success, else the loading dialog's message.
[[nodiscard]] std::optional<Message> LoadImageFile(
    PageImage& image, const std::string& path, const MemoryMap& map,
    const std::function<void(int)>& progress, std::optional<std::uint32_t> base = std::nullopt);

class FileLoadView {
  public:
    virtual ~FileLoadView() = default;
    virtual void SetText(const std::string& text) = 0;  // the dialog's line of text
    virtual void SetProgress(int percent) = 0;          // its progress bar
};

class FileLoadJob {
  public:
    FileLoadJob(Prompts& prompts, PageImage& image, std::string path, const MemoryMap& map,
                std::optional<std::uint32_t> base = std::nullopt)
        : m_prompts(prompts), m_image(image), m_path(std::move(path)), m_map(map), m_base(base) {}

    // Loads the file; messages are owned by the loading dialog. True when loaded.
    [[nodiscard]] bool Run(FileLoadView& view);

  private:
    Prompts& m_prompts;
    PageImage& m_image;
    std::string m_path;
    MemoryMap m_map;
    std::optional<std::uint32_t> m_base;
};

}  // namespace o8r
