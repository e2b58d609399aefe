#include "srec/FileLoadJob.h"

#include <fstream>

#include "app/Messages.h"
#include "app/SharedState.h"
#include "srec/LoadedFile.h"
#include "srec/SRecordLoader.h"
#include "srec/Utf8Path.h"

namespace o8r {

ImageFileCheck CheckImageFile(const std::string& path) {
    const FileStatus status = ReadFileStatus(path);
    if (!status.readable)
        return ImageFileCheck::Load;
    if (status.size > kMaxImageFileSize)
        return ImageFileCheck::TooLarge;
    if (CanReuseLastLoad(path, status, CurrentMemoryMap()))
        return ImageFileCheck::ReuseLastLoad;
    return ImageFileCheck::Load;
}

std::optional<Message> LoadImageFile(const std::string& path,
                                     const std::function<void(int)>& progress) {
    const FileStatus status = ReadFileStatus(path);
    // Line ends are handled by the parser, so CR LF and LF read alike everywhere.
    std::ifstream in;
    if (status.readable)
        in.open(PathFromUtf8(path), std::ios::in | std::ios::binary);
    if (!status.readable || !in.is_open()) {
        ForgetLastLoad();
        return Message{text::kCanNotOpenFile, text::kCaptionError, MsgIcon::Error, MsgButtons::Ok,
                       Owner::FileLoading};
    }
    const MemoryMap map = CurrentMemoryMap();
    const SRecordLoadResult result = LoadSRecordImage(in, status.size, map, progress);
    if (!result.ok) {
        ForgetLastLoad();
        return result.message;
    }
    RememberSuccessfulLoad(path, status, map);
    return std::nullopt;
}

bool FileLoadJob::Run(FileLoadView& view) {
    view.SetText(text::kLoadingFile);
    view.SetProgress(0);
    const auto failure =
        LoadImageFile(g_filePath, [&view](int percent) { view.SetProgress(percent); });
    if (failure)
        m_prompts.ShowMessage(*failure);
    return !failure;
}

}  // namespace o8r
