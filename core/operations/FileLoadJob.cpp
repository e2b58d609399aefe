#include "core/operations/FileLoadJob.h"

#include <fstream>

#include "core/image/ImageFile.h"
#include "core/image/LoadedFile.h"
#include "core/model/Messages.h"
#include "platform/Utf8Path.h"

namespace o8r {

ImageFileCheck CheckImageFile(const PageImage& image, const std::string& path, const MemoryMap& map,
                              std::optional<std::uint32_t> base) {
    const FileStatus status = ReadFileStatus(path);
    if (!status.readable)
        return ImageFileCheck::Load;
    if (status.size > kMaxImageFileSize)
        return ImageFileCheck::TooLarge;
    if (CanReuseLastLoad(image.lastLoad, path, status, map) &&
        image.lastLoad.base == base.value_or(DefaultBinaryBase(map)))
        return ImageFileCheck::ReuseLastLoad;
    return ImageFileCheck::Load;
}

std::optional<Message> LoadImageFile(PageImage& image, const std::string& path,
                                     const MemoryMap& map, const std::function<void(int)>& progress,
                                     std::optional<std::uint32_t> base) {
    const FileStatus status = ReadFileStatus(path);
    // Line ends are handled by the parser, so CR LF and LF read alike everywhere.
    std::ifstream in;
    if (status.readable)
        in.open(PathFromUtf8(path), std::ios::in | std::ios::binary);
    if (!status.readable || !in.is_open()) {
        ForgetLastLoad(image.lastLoad);
        return Message{text::kCanNotOpenFile, text::kCaptionError, MsgIcon::Error, MsgButtons::Ok,
                       Owner::FileLoading};
    }
    const std::uint32_t origin = base.value_or(DefaultBinaryBase(map));
    const ImageLoadResult result = LoadAnyImage(image, in, status.size, origin, map, progress);
    if (!result.ok) {
        ForgetLastLoad(image.lastLoad);
        return result.message;
    }
    RememberSuccessfulLoad(image.lastLoad, path, status, map);
    image.lastLoad.base = origin;
    return std::nullopt;
}

bool FileLoadJob::Run(FileLoadView& view) {
    view.SetText(text::kLoadingFile);
    view.SetProgress(0);
    const auto failure = LoadImageFile(
        m_image, m_path, m_map, [&view](int percent) { view.SetProgress(percent); }, m_base);
    if (failure)
        m_prompts.ShowMessage(*failure);
    return !failure;
}

}  // namespace o8r
