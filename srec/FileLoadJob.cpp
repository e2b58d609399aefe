#include "srec/FileLoadJob.h"

#include <fstream>

#include "app/Messages.h"
#include "app/SharedState.h"
#include "srec/LoadedFile.h"
#include "srec/SRecordLoader.h"
#include "srec/Utf8Path.h"

namespace o8r {

bool FileLoadJob::Run(FileLoadView& view) {
    const std::string path = g_filePath;
    const FileStatus status = ReadFileStatus(path);
    view.SetText(text::kLoadingFile);
    view.SetProgress(0);

    // Line ends are handled by the parser, so CR LF and LF read alike everywhere.
    std::ifstream in;
    if (status.readable)
        in.open(PathFromUtf8(path), std::ios::in | std::ios::binary);
    if (!status.readable || !in.is_open()) {
        ForgetLastLoad();
        m_prompts.ShowMessage(Message{text::kCanNotOpenFile, text::kCaptionError, MsgIcon::Error,
                                      MsgButtons::Ok, Owner::FileLoading});
        return false;
    }

    const MemoryMap map = CurrentMemoryMap();
    const SRecordLoadResult result =
        LoadSRecordImage(in, status.size, map, [&view](int percent) { view.SetProgress(percent); });
    if (!result.ok) {
        ForgetLastLoad();
        m_prompts.ShowMessage(result.message);
        return false;
    }
    RememberSuccessfulLoad(path, status, map);
    return true;
}

}  // namespace o8r
