#include "core/operations/FileLoadJob.h"

#include <fstream>

#include "core/image/LoadedFile.h"
#include "core/image/SRecordLoader.h"
#include "core/model/Messages.h"
#include "platform/Utf8Path.h"

namespace o8r {

ImageFileCheck CheckImageFile(const PageImage& image, const std::string& path,
                              const MemoryMap& map) {
    const FileStatus status = ReadFileStatus(path);
    if (!status.readable)
        return ImageFileCheck::Load;
    if (status.size > kMaxImageFileSize)
        return ImageFileCheck::TooLarge;
    if (CanReuseLastLoad(image.lastLoad, path, status, map))
        return ImageFileCheck::ReuseLastLoad;
    return ImageFileCheck::Load;
}

std::optional<Message> LoadImageFile(PageImage& image, const std::string& path,
                                     const MemoryMap& map,
                                     const std::function<void(int)>& progress) {
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
    const SRecordLoadResult result = LoadSRecordImage(image, in, status.size, map, progress);
    if (!result.ok) {
        ForgetLastLoad(image.lastLoad);
        return result.message;
    }
    RememberSuccessfulLoad(image.lastLoad, path, status, map);
    return std::nullopt;
}

bool FileLoadJob::Run(FileLoadView& view) {
    view.SetText(text::kLoadingFile);
    view.SetProgress(0);
    const auto failure =
        LoadImageFile(m_image, m_path, m_map, [&view](int percent) { view.SetProgress(percent); });
    if (failure)
        m_prompts.ShowMessage(*failure);
    return !failure;
}

}  // namespace o8r
